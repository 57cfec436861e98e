// zirvak-cli info on several files at once, on the tags it shows, and on damaged streams: where
// the stream broke off, what was skipped and how much audio that cost.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "tag_builder.h"

namespace zirvak::test {
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The blocks of `out`, split at the blank lines between them.
std::vector<std::string> Blocks(const std::string& out) {
    std::vector<std::string> blocks;
    size_t start = 0;
    for (size_t blank; (blank = out.find("\n\n", start)) != std::string::npos; start = blank + 2)
        blocks.push_back(out.substr(start, blank + 1 - start));
    blocks.push_back(out.substr(start));
    return blocks;
}

TEST(CliInfo, EachFileHasItsBlockAndOneThatFailsItsMessage) {
    TempDir dir;
    const std::string mp3 = WriteBytes(dir.Path("a.mp3"), DemoAudio(20));
    const std::string wav = WriteBytes(dir.Path("b.wav"), MakeWav({}, Pcm16Pattern(4410, 2)));
    const std::string missing = dir.Path("missing.mp3");
    // A name is bytes: a line break, an escape sequence and a byte that is not UTF-8 are shown,
    // never acted on by the terminal, and keep the block's lines apart.
    const std::string strange = WriteBytes(dir.Path("new\nline\x1b[2J\xff.mp3"), DemoAudio(20));
    const std::string strangeShown = dir.Path("new\\x0aline\\x1b[2J\\xff.mp3");

    const CliResult r = Cli("info " + Quote(mp3) + " " + Quote(missing) + " " + Quote(strange) +
                            " " + Quote(wav) + " " + Quote(dir.Path("gone\n.mp3")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zirvak-cli: " + missing + ": no such file\nzirvak-cli: " +
                         dir.Path("gone\\x0a.mp3") + ": no such file\n");
    const std::vector<std::string> blocks = Blocks(r.out);
    ASSERT_EQ(blocks.size(), 3u) << r.out;
    EXPECT_EQ(blocks[0].rfind("file:        " + mp3 + "\nformat:      MPEG-1 Layer III\n", 0), 0u);
    EXPECT_EQ(blocks[1].rfind("file:        " + strangeShown + "\nformat:      MPEG-1", 0), 0u)
        << blocks[1];
    EXPECT_EQ(blocks[2].rfind("file:        " + wav + "\nformat:      WAV, 16-bit PCM\n", 0), 0u);
    for (const std::string& block : blocks) EXPECT_TRUE(Has(block, "duration:    0:00.")) << block;
    EXPECT_FALSE(Has(r.out, "\x1b") || Has(r.err, "\x1b"));

    const CliResult good = Cli("info " + Quote(mp3) + " " + Quote(wav));
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.err, "");
    EXPECT_EQ(Blocks(good.out).size(), 2u) << good.out;

    // Output that cannot be written is a failure, not a success.
    const std::string err = dir.Path("err");
    const int raw = std::system(
        (Quote(ZIRVAK_CLI) + " info " + Quote(mp3) + " >/dev/full 2>" + Quote(err) + " </dev/null")
            .c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
    const Bytes said = ReadFileBytes(err);
    EXPECT_EQ(std::string(said.begin(), said.end()),
              "zirvak-cli: cannot write to standard output (No space left on device)\n");
}

// `wav` made into `dir`/`name`.wv by wavpack with `args`.
std::string WavPacked(const TempDir& dir, const std::string& name, const Bytes& wav,
                      const std::string& args) {
    const std::string in = WriteBytes(dir.Path(name + ".wav"), wav), out = dir.Path(name + ".wv");
    RunTool("wavpack -q -y " + args + " '" + in + "' -o '" + out + "'");
    return out;
}

// `wav` made into `dir`/`name`.m4a by ffmpeg's AAC encoder with `args`.
std::string AacEncoded(const TempDir& dir, const std::string& name, const Bytes& wav,
                       const std::string& args) {
    const std::string in = WriteBytes(dir.Path(name + ".wav"), wav), out = dir.Path(name + ".m4a");
    RunTool("ffmpeg -v error -y -i '" + in + "' -c:a aac " + args + " '" + out + "'");
    return out;
}

// FLAC, Vorbis, Opus, WavPack and AAC files say their kind, depth, rate, channels, bit rate and
// exact length, whatever their names.
TEST(CliInfo, CompressedFilesSayWhatTheyAre) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(44100 * 2, 2));
    const struct {
        std::string path;
        std::string lines;
    } files[] = {
        {EncodeFlac(dir, "a", wav),
         "format:      FLAC, 16 bits\nsample rate: 44100 Hz\nchannels:    2\nbit rate:    "},
        {EncodeVorbis(dir, "b", wav),
         "format:      Ogg Vorbis\nsample rate: 44100 Hz\nchannels:    2\nbit rate:    "},
        {EncodeOpus(dir, "c", wav),
         "format:      Ogg Opus\nsample rate: 48000 Hz\nchannels:    2\nbit rate:    "},
        {WavPacked(dir, "d", wav, ""),
         "format:      WavPack, 16 bits, lossless\nsample rate: 44100 Hz\nchannels:    2\n"},
        // Renamed, it is without its correction file.
        {WavPacked(dir, "e", wav, "-b3 -c"),
         "format:      WavPack hybrid, 16 bits, lossy\nsample rate: 44100 Hz\nchannels:    2\n"},
        {AacEncoded(dir, "f", wav, "-movie_timescale 44100"),
         "format:      AAC in MP4\nsample rate: 44100 Hz\nchannels:    2\n"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.path);
        const std::string renamed = f.path + ".mp3";
        ASSERT_EQ(std::rename(f.path.c_str(), renamed.c_str()), 0);
        const CliResult r = Cli("info " + Quote(renamed));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Has(r.out, f.lines)) << r.out;
        EXPECT_TRUE(Has(r.out, "kbit/s on average\nduration:    0:02.000\n")) << r.out;
    }
    // Where an AAC file's gap was learned.
    const struct {
        std::string args;
        std::string gap;
    } gaps[] = {
        {"-movie_timescale 44100",
         "encoder gap: 1024 samples before the song, 888 after (edit list)"},
        {"-use_editlist 0",
         "encoder gap: 2112 samples before the song, 888 after (the usual priming)"},
    };
    for (const auto& g : gaps) {
        const CliResult r = Cli("info " + Quote(AacEncoded(dir, "g", wav, g.args)));
        EXPECT_TRUE(Has(r.out, g.gap + "\n")) << r.out;
    }
}

// The silence an encoder put around the song, as its LAME tag says: the frames hold exactly the
// samples encoded with the delay before them and the padding after.
TEST(CliInfo, TheEncoderGapOfALameTag) {
    TempDir dir;
    constexpr int kSamples = 44100 * 2 + 2511;
    const Bytes wav = MakeWav({}, Pcm16Pattern(kSamples, 2));
    const struct {
        std::string args;
        int audioFrames;  // the frames of sound, without the tag's own
        bool tagged;
    } cases[] = {{"-b 128", 80, true}, {"-V 2", 80, true}, {"-b 128 -t", 80, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliResult r = Cli("info " + Quote(EncodeMp3(dir, "song", wav, c.args)));
        EXPECT_EQ(r.status, 0) << r.err;
        const size_t at = r.out.find("encoder gap: ");
        ASSERT_EQ(at != std::string::npos, c.tagged) << r.out;
        if (!c.tagged) continue;
        int delay = 0, padding = 0;
        ASSERT_EQ(
            std::sscanf(r.out.c_str() + at, "encoder gap: %d samples before the song, %d after",
                        &delay, &padding),
            2);
        EXPECT_EQ(delay, 576);
        EXPECT_EQ(c.audioFrames * 1152 - delay - padding, kSamples);
    }
}

TEST(CliInfo, TagsShowYearGenreTrackAndDisc) {
    const struct {
        const char* name;
        Bytes file;
        std::vector<std::string> shown, notShown;
    } cases[] = {
        {"id3v2.mp3",
         Concat({Id3v2Tag({.version = 4}, {{"TIT2", Utf8Text("Gece")},
                                           {"TPE1", Utf8Text("Kelebek")},
                                           {"TDRC", Utf8Text("2004-05-06")},
                                           {"TCON", Utf8Text("17")},
                                           {"TRCK", Utf8Text("3/12")},
                                           {"TPOS", Utf8Text("1/2")}}),
                 DemoAudio(20)}),
         {"title:       Gece\nartist:      Kelebek\nyear:        2004\ngenre:       Rock\n"
          "track:       3/12\ndisc:        1/2\n"},
         {}},
        {"ape.mp3",
         Concat({DemoAudio(20), ApeTag({{"Genre", ApeValue("Ambient")}, {"Disc", ApeValue("2")}})}),
         {"genre:       Ambient\n", "disc:        2\n"},
         {"year:", "track:"}},
        {"info.wav",
         WithRiffInfo(MakeWav({}, Pcm16Pattern(4410, 2)),
                      {{"INAM", "Dalga"}, {"ICRD", "1999"}, {"IGNR", "Folk"}, {"ITRK", "2"}}),
         {"title:       Dalga\nyear:        1999\ngenre:       Folk\ntrack:       2\n"},
         {"disc:"}},
        {"untagged.mp3", DemoAudio(20), {}, {"title:", "year:", "genre:", "track:", "disc:"}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = Cli("info " + Quote(WriteBytes(dir.Path(c.name), c.file)));
        EXPECT_EQ(r.status, 0) << r.err;
        for (const std::string& part : c.shown) EXPECT_TRUE(Has(r.out, part)) << part << r.out;
        for (const std::string& part : c.notShown) EXPECT_FALSE(Has(r.out, part)) << part;
    }
}

// Each kind of damage in 40 frames of 128 kbit/s audio (26 ms a frame): what the line says, or
// that there is no line at all.
TEST(CliInfo, DamageIsCountedInGapsBytesAndLostAudio) {
    const Bytes audio = DemoAudio(40);
    const std::vector<size_t> at = FrameOffsets(audio);
    ASSERT_EQ(at.size(), 41u);
    const auto frameBytes = [&](size_t i) { return at[i + 1] - at[i]; };
    const auto without = [&](size_t from, size_t to) {
        Bytes cut = audio;
        cut.erase(cut.begin() + ptrdiff_t(from), cut.begin() + ptrdiff_t(to));
        return cut;
    };
    const auto zeroed = [&](Bytes bytes, size_t from, size_t to) {
        std::fill(bytes.begin() + ptrdiff_t(from), bytes.begin() + ptrdiff_t(to), 0);
        return bytes;
    };
    const Bytes junk(160, 'j');  // no byte of it could start a frame
    const auto withJunk = [&](const Bytes& bytes, size_t where) {
        return Concat({{bytes.data(), where}, junk, {bytes.data() + where, bytes.size() - where}});
    };
    // Bytes lost from inside frame 10 into frame 12: frame 10 runs into frame 13, and is lost.
    const size_t cutFrom = at[10] + 50, cutTo = at[12] + 150;
    const std::string n10 = std::to_string(frameBytes(10));
    const struct {
        const char* name;
        Bytes file;
        std::string says;  // "" for no damage line
    } cases[] = {
        {"clean", audio, ""},
        {"a header destroyed", zeroed(audio, at[10], at[10] + 4),
         "1 gap in the stream (" + n10 + " bytes skipped), 0.026 s of audio lost"},
        {"three frames zeroed from the middle of one", zeroed(audio, at[10] + 100, at[13] + 100),
         "1 gap in the stream (" + std::to_string(at[14] - at[11]) +
             " bytes skipped), 0.078 s of audio lost"},
        {"bytes lost across frames", without(cutFrom, cutTo),
         "1 gap in the stream (" + std::to_string(at[13] - (cutTo - cutFrom) - at[10]) +
             " bytes skipped), 0.026 s of audio lost"},
        {"junk between frames", withJunk(audio, at[20]), "1 gap in the stream (160 bytes skipped)"},
        {"two gaps", withJunk(zeroed(audio, at[10], at[10] + 4), at[30]),
         "2 gaps in the stream (" + std::to_string(frameBytes(10) + 160) +
             " bytes skipped), 0.026 s of audio lost"},
        // Zeros after the last frame are not damage, nor are whole frames cut out.
        {"zeros at the end", Concat({audio, Bytes(1000, 0)}), ""},
        {"whole frames cut out", without(at[10], at[15]), ""},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = Cli("info " + Quote(WriteBytes(dir.Path("song.mp3"), c.file)));
        EXPECT_EQ(r.status, 0) << r.err;
        if (c.says.empty())
            EXPECT_FALSE(Has(r.out, "damage:")) << r.out;
        else
            EXPECT_TRUE(Has(r.out, "\ndamage:      " + c.says + "\n")) << r.out;
        EXPECT_FALSE(Has(r.out, "sync") || Has(r.out, "header")) << r.out;
    }
}

}  // namespace
}  // namespace zirvak::test
