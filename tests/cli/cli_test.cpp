// zirvak-cli run as a user runs it: what `info` reports, what `decode` writes, and how it fails
// (status 1 and one line on stderr for a file it cannot play, status 2 for bad usage).
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

const std::string kDir =
    (std::filesystem::temp_directory_path() / ("zirvak_cli_test_" + std::to_string(getpid())))
        .string();

const struct Cleanup {
    ~Cleanup() { std::filesystem::remove_all(kDir); }
} kCleanup;

std::string Scratch(const std::string& name) {
    std::filesystem::create_directories(kDir);
    return Quote(kDir + "/" + name);
}

std::string Fixture(const std::string& name) {
    return Quote(RepoPath("tests/fixtures/mp3/" + name));
}

std::string Text(const std::string& quoted) {
    const std::vector<uint8_t> bytes = ReadFileBytes(quoted.substr(1, quoted.size() - 2));
    return {bytes.begin(), bytes.end()};
}

using Result = CliResult;

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes = 4) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + size_t(i)];
    return v;
}

TEST(ZirvakCli, InfoDescribesTheStream) {
    const struct {
        const char* fixture;
        std::vector<std::string> lines;  // each must appear in the output
    } cases[] = {
        {"mpeg1_44100_joint_vbr.mp3",
         {"MPEG-1 Layer III", "44100 Hz", "variable", "32 frames, 10592 bytes"}},
        {"mpeg1_48000_joint_cbr160.mp3", {"MPEG-1 Layer III", "48000 Hz", "160 kbit/s"}},
        {"mpeg25_8000_mono_cbr16.mp3", {"MPEG-2.5 Layer III", "1 (single channel)", "16 kbit/s"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const Result r = Cli("info " + Fixture(c.fixture));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        for (const std::string& w : c.lines) EXPECT_NE(r.out.find(w), std::string::npos) << w;
    }
}

// Without its VBR header, a VBR stream's length and average rate come from its frames.
TEST(ZirvakCli, InfoOfAVbrStreamWithoutHeaderCountsItsFrames) {
    TempDir dir;
    const Bytes file = ReadFileBytes(RepoPath("tests/fixtures/mp3/mpeg1_44100_joint_vbr.mp3"));
    const std::vector<size_t> frames = FrameOffsets(file);  // the VBR header's frame first
    ASSERT_EQ(frames.size(), 34u);
    const std::string path = WriteBytes(dir.Path("headless.mp3"),
                                        Bytes(file.begin() + ptrdiff_t(frames[1]), file.end()));
    const CliResult r = Cli("info " + Quote(path));
    EXPECT_EQ(r.status, 0);
    for (const std::string line :
         {"bit rate:    variable (no VBR header; ", "frames:      32\n", "duration:    0:00.836\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

TEST(ZirvakCli, DecodeWritesAWavFileAndTheSameSamplesRaw) {
    for (const char* name : {"mpeg1_44100_stereo_cbr128.mp3", "mpeg1_48000_mono_vbr.mp3"}) {
        SCOPED_TRACE(name);
        const DecodedStream expected =
            DecodeFile(RepoPath(std::string("tests/fixtures/mp3/") + name));
        // Every frame, as the stream holds them.
        ASSERT_EQ(Cli("decode --no-gapless " + Fixture(name) + " " + Scratch("out.wav")).status, 0);
        ASSERT_EQ(Cli("decode --no-gapless " + Fixture(name) + " " + Scratch("out.pcm")).status, 0);
        const std::string wavText = Text(Scratch("out.wav"));
        const std::vector<uint8_t> wav(wavText.begin(), wavText.end());
        const std::string raw = Text(Scratch("out.pcm"));
        EXPECT_TRUE(std::vector<uint8_t>(raw.begin(), raw.end()) == expected.pcm);
        ASSERT_GE(wav.size(), 44u);
        const uint32_t channels = uint32_t(expected.info.outputChannels);
        const uint32_t rate = uint32_t(expected.info.sampleRate);
        EXPECT_EQ(wavText.substr(0, 4) + wavText.substr(8, 8) + wavText.substr(36, 4),
                  "RIFFWAVEfmt data");
        const std::vector<uint32_t> fields = {Le(wav, 4),     Le(wav, 16),    Le(wav, 20, 2),
                                              Le(wav, 22, 2), Le(wav, 24),    Le(wav, 28),
                                              Le(wav, 32, 2), Le(wav, 34, 2), Le(wav, 40)};
        const std::vector<uint32_t> want = {
            uint32_t(wav.size() - 8), 16, 1, channels, rate, rate * channels * 2, channels * 2, 16,
            uint32_t(raw.size())};
        EXPECT_EQ(fields, want);
        EXPECT_EQ(wavText.substr(44), raw);
    }
}

Bytes LeBytes(uint32_t v, int bytes) {
    Bytes out;
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

Bytes Chunk(const char* id, const Bytes& body) {
    Bytes chunk = Concat({Bytes(id, id + 4), LeBytes(uint32_t(body.size()), 4), body});
    if (body.size() % 2) chunk.push_back(0);
    return chunk;
}

Bytes FormatChunk(uint32_t channels, uint32_t rate) {
    return Chunk("fmt ", Concat({LeBytes(1, 2), LeBytes(channels, 2), LeBytes(rate, 4),
                                 LeBytes(rate * channels * 2, 4), LeBytes(channels * 2, 2),
                                 LeBytes(16, 2)}));
}

Bytes Riff(std::initializer_list<std::span<const uint8_t>> chunks) {
    const Bytes body = Concat(chunks);
    return Concat({Bytes{'R', 'I', 'F', 'F'}, LeBytes(uint32_t(body.size() + 4), 4),
                   Bytes{'W', 'A', 'V', 'E'}, body});
}

// Each header layout and sample format: `info` describes it, and `decode` writes the 16-bit
// PCM that `render` plays, whatever chunks lie around the samples.
TEST(ZirvakCli, WavFilesAreDescribedAndDecodedAsTheyPlay) {
    TempDir dir;
    const Bytes pcm = Pcm16Pattern(33075, 2);  // 0.75 s at 44100 Hz
    WavParams fact56, fact58, bytes8, float48;
    fact56.dataStart = 56;
    fact58.dataStart = 58;
    bytes8.bits = 8, bytes8.channels = 1, bytes8.sampleRate = 8000;
    float48.formatTag = 3, float48.bits = 32, float48.sampleRate = 48000;
    const Bytes odd = {'x', 'y', 'z'};
    const struct {
        const char* name;
        Bytes file;
        std::string format, rate, channels, duration;
    } cases[] = {
        {"plain", MakeWav({}, pcm), "16-bit PCM", "44100", "2", "0:00.750"},
        {"fact at 36", MakeWav(fact56, pcm), "16-bit PCM", "44100", "2", "0:00.750"},
        {"fact at 38", MakeWav(fact58, pcm), "16-bit PCM", "44100", "2", "0:00.750"},
        {"8-bit mono", MakeWav(bytes8, Bytes(8000, 0x90)), "8-bit PCM", "8000", "1", "0:01.000"},
        {"float", MakeWav(float48, Bytes(48000 * 8, 0)), "32-bit float", "48000", "2", "0:01.000"},
        {"fact, junk, data",
         Riff({FormatChunk(2, 44100), Chunk("fact", LeBytes(33075, 4)),
               Chunk("junk", Bytes(8, 'j')), Chunk("data", pcm)}),
         "16-bit PCM", "44100", "2", "0:00.750"},
        {"list before the format, odd chunk",
         Riff({Chunk("LIST", Bytes(21, 'l')), FormatChunk(2, 44100), Chunk("odd ", odd),
               Chunk("data", pcm)}),
         "16-bit PCM", "44100", "2", "0:00.750"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteBytes(dir.Path("in.wav"), c.file);
        const CliResult info = Cli("info " + Quote(path));
        EXPECT_EQ(info.status, 0) << info.err;
        for (const std::string& line :
             {"format:      WAV, " + c.format + "\n", "sample rate: " + c.rate + " Hz\n",
              "channels:    " + c.channels + "\n", "duration:    " + c.duration + "\n"})
            EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
        ASSERT_EQ(Cli("decode " + Quote(path) + " " + Quote(dir.Path("out.raw"))).status, 0);
        const Bytes rendered = Render(dir, path);
        EXPECT_GT(rendered.size(), 0u);
        EXPECT_TRUE(ReadFileBytes(dir.Path("out.raw")) == rendered);
    }
    // The samples themselves, not the chunks around them.
    EXPECT_TRUE(Render(dir, WriteBytes(dir.Path("in.wav"), cases[5].file)) == pcm);
    EXPECT_TRUE(Render(dir, WriteBytes(dir.Path("in.wav"), cases[6].file)) == pcm);
}

TEST(ZirvakCli, BadUsageExitsWithStatusTwo) {
    const std::string mp3 = Fixture("mpeg2_16000_mono_cbr32.mp3");
    const struct {
        std::string args;
        const char* says;  // on the first line of stderr
    } cases[] = {
        {"", "no command given"},
        {"decode " + mp3, "wrong number of arguments for decode"},
        {"info", "wrong number of arguments for info"},
        {"play", "wrong number of arguments for play"},
        {"render " + mp3, "wrong number of arguments for render"},
        {"frobnicate " + mp3, "unknown command 'frobnicate'"},
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"info --raw " + mp3, "unknown option '--raw' for info"},
        {"play " + mp3 + " -x", "unknown option '-x' for play"},
        {"play --replaygain=loud " + mp3,
         "'--replaygain=loud': the mode is off, track, album or auto"},
        {"decode --replaygain=track " + mp3 + " x.wav",
         "unknown option '--replaygain=track' for decode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = Cli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind(std::string("zirvak-cli: ") + c.says + "\nusage: zirvak-cli", 0), 0u)
            << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// render --replaygain: each song at the gain its tags give, each sample round(s × gain), the gain
// changing exactly where the songs meet; the tags ignored without it.
TEST(ZirvakCli, RenderPlaysAtTheGainTheTagsGive) {
    TempDir dir;
    const Bytes pcm = Pcm16Pattern(44100, 2);
    const std::string wav = WriteBytes(dir.Path("in.wav"), MakeWav({}, pcm));
    const double trackDb[] = {-6.5, 2.25};
    std::string songs;
    for (int i = 0; i < 2; ++i) {
        const std::string flac = dir.Path("song" + std::to_string(i) + ".flac");
        const std::string command =
            "flac --silent -f -T REPLAYGAIN_TRACK_GAIN=" + std::to_string(trackDb[i]) +
            " -T REPLAYGAIN_ALBUM_GAIN=-1 -o '" + flac + "' '" + wav + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        songs += Quote(flac) + " ";
    }
    for (const char* mode : {"", "--replaygain=off ", "--replaygain=track "}) {
        SCOPED_TRACE(mode);
        const std::string out = dir.Path("out.wav");
        const Result r = Cli("render " + std::string(mode) + songs + Quote(out));
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes rendered = ReadFileBytes(out);
        ASSERT_EQ(rendered.size(), 2 * pcm.size() + 44);
        for (int song = 0; song < 2; ++song) {
            const double g =
                std::string(mode) == "--replaygain=track " ? std::pow(10.0, trackDb[song] / 20) : 1;
            const size_t at = 44 + size_t(song) * pcm.size();
            for (size_t i = 0; i < pcm.size(); i += 2) {
                const auto s = int16_t(pcm[i] | pcm[i + 1] << 8);
                const auto want = int16_t(std::clamp(std::round(s * g), -32768.0, 32767.0));
                ASSERT_EQ(int16_t(rendered[at + i] | rendered[at + i + 1] << 8), want) << i;
            }
        }
    }
}

// An album cut into three tracks at sample positions that are no frame's edge, as FLAC: the
// render of the queue is the source, sample for sample. A track of another rate is left out with
// its message; one that cannot be played too; the others follow one another without a gap.
TEST(ZirvakCli, RenderOfAQueueIsTheAlbumWithoutGaps) {
    TempDir dir;
    const Bytes source = Pcm16Pattern(44100 * 3 + 1234, 2);
    const size_t cuts[] = {0, 4 * 40000 + 4 * 17, 4 * 97651, source.size()};
    std::vector<std::string> tracks;
    for (int t = 0; t < 3; ++t) {
        const Bytes part(source.begin() + ptrdiff_t(cuts[t]),
                         source.begin() + ptrdiff_t(cuts[t + 1]));
        tracks.push_back(EncodeFlac(dir, "track" + std::to_string(t), MakeWav({}, part)));
    }
    WavParams at48k;
    at48k.sampleRate = 48000;
    const std::string other = EncodeFlac(dir, "other", MakeWav(at48k, Pcm16Pattern(4800, 2)));
    const std::string missing = dir.Path("missing.flac");
    const std::string out = dir.Path("album.wav");
    const Result r =
        Cli("render " + Quote(tracks[0]) + " " + Quote(other) + " " + Quote(tracks[1]) + " " +
            Quote(missing) + " " + Quote(tracks[2]) + " " + Quote(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zirvak-cli: " + other +
                         " has another rate or channel count than the songs before it: left "
                         "out\nzirvak-cli: " +
                         missing + ": no such file\n");
    const Bytes rendered = ReadFileBytes(out);
    ASSERT_EQ(rendered.size(), source.size() + 44);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), rendered.begin() + 44));
}

// The same album as lame MP3 tracks and as Opus tracks: the render is as long as the source,
// to the sample; each MP3 track is what mpg123 plays gapless, within 1 LSB.
TEST(ZirvakCli, RenderOfLossyTracksIsAsLongAsTheAlbum) {
    TempDir dir;
    for (const bool mp3 : {true, false}) {
        SCOPED_TRACE(mp3 ? "mp3" : "opus");
        WavParams params;
        params.sampleRate = mp3 ? 44100 : 48000;
        const uint32_t rate = params.sampleRate;
        const Bytes source = Pcm16Pattern(rate * 4 + 1234, 2);
        const size_t cuts[] = {0, 4 * (rate + 17), 4 * (rate * 2 + 651), source.size()};
        std::vector<std::string> tracks;
        std::vector<std::vector<int16_t>> want;
        std::string args;
        for (int t = 0; t < 3; ++t) {
            const Bytes wav = MakeWav(params, Bytes(source.begin() + ptrdiff_t(cuts[t]),
                                                    source.begin() + ptrdiff_t(cuts[t + 1])));
            const std::string name = "track" + std::to_string(t);
            tracks.push_back(mp3 ? EncodeMp3(dir, name, wav, "-b 192")
                                 : EncodeOpus(dir, name, wav));
            args += Quote(tracks.back()) + " ";
            if (!mp3) continue;
            RunTool("mpg123 -q -s " + Quote(tracks.back()) + " > " + Quote(dir.Path("ref.raw")));
            want.push_back(AsSamples(ReadFileBytes(dir.Path("ref.raw"))));
        }
        const std::string out = dir.Path("album.wav");
        const Result r = Cli("render " + args + Quote(out));
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes rendered = ReadFileBytes(out);
        ASSERT_EQ(rendered.size(), source.size() + 44);
        const std::vector<int16_t> got = AsSamples(std::span(rendered).subspan(44));
        for (size_t t = 0; t < want.size(); ++t) {
            const auto from = got.begin() + ptrdiff_t(cuts[t] / 2);
            ASSERT_EQ(want[t].size(), (cuts[t + 1] - cuts[t]) / 2);
            EXPECT_LE(MostDifference({from, from + ptrdiff_t(want[t].size())}, want[t]), 1);
        }
    }
}

TEST(ZirvakCli, HelpAndVersionGoToStandardOutput) {
    const struct {
        std::string args;
        std::vector<std::string> says;
    } cases[] = {
        {"--help",
         {"usage: zirvak-cli [--help | --version]\n",
          "zirvak-cli play [--replaygain=MODE] [--no-gapless] FILE|FOLDER...\n", "COMMAND --help"}},
        {"-h", {"usage: zirvak-cli [--help | --version]\n"}},
        {"--version", {"zirvak-cli " ZIRVAK_EXPECTED_VERSION "\n"}},
        {"-v", {"zirvak-cli " ZIRVAK_EXPECTED_VERSION "\n"}},
        {"info --help", {"usage: zirvak-cli info FILE...\n", "title, artist, album, year"}},
        {"decode --help",
         {"usage: zirvak-cli decode [--no-gapless] FILE OUT\n", ".wav gets a WAV header"}},
        {"play x.mp3 --help",
         {"usage: zirvak-cli play [--replaygain=MODE] [--no-gapless] FILE|FOLDER...\n",
          "Left/Right seek"}},
        {"render -h",
         {"usage: zirvak-cli render [--replaygain=MODE] [--no-gapless] FILE... OUT.wav\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = Cli(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind(c.says.front(), 0), 0u) << r.out;
        for (const std::string& part : c.says)
            EXPECT_NE(r.out.find(part), std::string::npos) << part;
    }
    // After "--" a name is a file, whatever it looks like.
    TempDir dir;
    std::filesystem::copy_file(RepoPath("res/sample.mp2"), dir.Path("--help.mp3"));
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.dir);
    const Result info = Cli("info -- --help.mp3");
    std::filesystem::current_path(before);
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("format:      MPEG-1 Layer II"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace zirvak::test
