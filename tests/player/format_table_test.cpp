// The table of formats: each file is known by its content (the first test that passes, MPEG audio
// for anything else), the source it gets is its format's (the clip and gapless playback only
// MPEG audio's), an Ogg stream of another codec is refused without being offered, and the lists
// made for people name every format once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "audio_source_factory.h"
#include "flac_source.h"
#include "format_table.h"
#include "gapless_mpeg_source.h"
#include "memory_source.h"
#include "mpeg_source.h"
#include "opus_source.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "vorbis_source.h"
#include "wav_source.h"

namespace zirvak::test {
namespace {

// The first page of an Ogg stream whose first packet starts with `packet`.
Bytes OggPage(std::string_view packet) {
    const size_t length = std::max<size_t>(packet.size(), 30);
    Bytes page(27 + 1 + length, 0);
    std::copy_n("OggS", 4, page.begin());
    page[5] = 2;   // the first page of its stream
    page[26] = 1;  // one segment
    page[27] = uint8_t(length);
    std::copy(packet.begin(), packet.end(), page.begin() + 28);
    return page;
}

std::string NameOf(const FileFormat& format) {
    return format.names.size() ? std::string(*format.names.begin()) : "(refused)";
}

TEST(FormatTable, EachFileIsKnownByItsContent) {
    const Bytes tag = [] {
        Bytes t = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0};
        t.resize(10 + 128, 0);
        return t;
    }();
    const Bytes flac = {'f', 'L', 'a', 'C', 0, 0, 0, 34};
    Bytes shortOgg = OggPage("\x01vorbis");
    shortOgg.resize(27 + 1 + 5);
    const struct {
        const char* what;
        Bytes bytes;
        const char* format;
    } cases[] = {
        {"WAV", MakeWav({}, Pcm16Pattern(100, 2)), "WAV"},
        {"RIFF of another kind", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, "MP3"},
        {"FLAC", flac, "FLAC"},
        {"FLAC after two ID3v2 tags", Concat({tag, tag, flac}), "FLAC"},
        {"Ogg Vorbis", OggPage("\x01vorbis"), "Ogg Vorbis"},
        {"Opus after an ID3v2 tag", Concat({tag, OggPage("OpusHead")}), "Opus"},
        {"Ogg Speex", OggPage("Speex   "), "(refused)"},
        {"Ogg whose first packet is cut too short to name its codec", shortOgg, "(refused)"},
        {"a picture", ReadFileBytes(RepoPath("res/about.png")), "MP3"},
        {"nothing", Bytes{}, "MP3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.bytes);
        EXPECT_EQ(NameOf(FormatOf(source)), c.format);
    }
}

// The engine's factory gives each file its format's source; only an MPEG stream played from its
// start is played gapless.
TEST(FormatTable, TheSourceIsTheFormatsAndOnlyMpegHasAClip) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(44100 / 4, 2));
    const std::string mp3 = EncodeMp3(dir, "song", wav, "-b 128");
    const std::string flac = EncodeFlac(dir, "song", wav);
    const std::string vorbis = EncodeVorbis(dir, "song", wav);
    const std::string opus = EncodeOpus(dir, "song", wav);
    const std::string wave = WriteBytes(dir.Path("song.wav"), wav);
    const auto made = [](const std::string& path, uint32_t startMs, bool gapless) {
        InputFile file;
        EXPECT_EQ(file.Open(path), FileProblem::kNone);
        const std::unique_ptr<AudioSource> source =
            MakeAudioSource(file, startMs, kDefaultEndMs, gapless);
        const AudioSource& s = *source;
        return std::string(dynamic_cast<const GaplessMpegSource*>(&s) ? "gapless MPEG"
                           : dynamic_cast<const MpegSource*>(&s)      ? "MPEG"
                           : dynamic_cast<const WavSource*>(&s)       ? "WAV"
                           : dynamic_cast<const FlacSource*>(&s)      ? "FLAC"
                           : dynamic_cast<const VorbisSource*>(&s)    ? "Vorbis"
                           : dynamic_cast<const OpusSource*>(&s)      ? "Opus"
                                                                      : "other");
    };
    EXPECT_EQ(made(mp3, 0, true), "gapless MPEG");
    EXPECT_EQ(made(mp3, 0, false), "MPEG");
    EXPECT_EQ(made(mp3, 100, true), "MPEG");
    for (const bool gapless : {false, true}) {
        EXPECT_EQ(made(wave, 0, gapless), "WAV");
        EXPECT_EQ(made(flac, 0, gapless), "FLAC");
        EXPECT_EQ(made(vorbis, 0, gapless), "Vorbis");
        EXPECT_EQ(made(opus, 100, gapless), "Opus");
    }
}

TEST(FormatTable, AnOggStreamOfAnotherCodecIsRefusedAndOfferedToNobody) {
    TempDir dir;
    const std::string path = WriteBytes(dir.Path("speex.ogg"), OggPage("Speex   "));
    InputFile file;
    ASSERT_EQ(file.Open(path), FileProblem::kNone);
    const FileFormat& format = FormatOf(file);
    EXPECT_EQ(format.names.size() + format.extensions.size() + format.mimeTypes.size(), 0u);
    EXPECT_EQ(format.tags, TagLayout::kNone);
    const RunStart run = format.makeSource(file, {})->Start(std::nullopt);
    EXPECT_EQ(run.problem, FileProblem::kUnsupported);
    EXPECT_EQ(run.detail, "an Ogg stream of neither Vorbis nor Opus");
}

// The lists for people hold every entry's names, extensions and MIME types in the table's order,
// the names joined as a sentence joins them.
TEST(FormatTable, TheListsHoldEveryEntrysWordsInTheTablesOrder) {
    std::vector<std::string_view> names, extensions, types;
    for (const FileFormat* format : AllFormats()) {
        names.insert(names.end(), format->names.begin(), format->names.end());
        extensions.insert(extensions.end(), format->extensions.begin(), format->extensions.end());
        types.insert(types.end(), format->mimeTypes.begin(), format->mimeTypes.end());
    }
    ASSERT_GE(names.size(), 3u);
    std::string words;
    for (size_t i = 0; i + 1 < names.size(); ++i) words += std::string(names[i]) + ", ";
    words.resize(words.size() - 2);
    EXPECT_EQ(FormatNamesInWords("or"), words + " or " + std::string(names.back()));
    EXPECT_EQ(FormatNamesInWords("and"), words + " and " + std::string(names.back()));
    EXPECT_EQ(PlayableExtensions(), extensions);
    EXPECT_EQ(PlayableMimeTypes(), types);
    // MPEG audio, which a file no other format recognises is taken for, comes first.
    EXPECT_EQ(AllFormats().front()->recognises, nullptr);
    EXPECT_EQ(names.front(), "MP3");
}

// A file each format's test takes for its own that cannot play is refused by its source, and
// refused the same way when a run is asked for again (as a restart after a failure asks): an
// MPEG source once looked for its frame walk there, which a stream never found does not have.
TEST(FormatTable, AFileRefusedIsRefusedAgainTheSameWay) {
    TempDir dir;
    const struct {
        const char* format;
        Bytes bytes;
    } cases[] = {
        {"MP3", Bytes(4000, 'n')},
        {"MP3", Bytes{'I', 'D', '3', 4, 0, 0x40, 0, 0, 4, 0, 0, 0, 0, 0}},
        {"WAV", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"FLAC", Concat({Bytes{'f', 'L', 'a', 'C'}, Bytes(200, 0xFF)})},
        {"Ogg Vorbis", OggPage("\x01vorbis")},
        {"Opus", OggPage("OpusHead")},
        {"(refused)", OggPage("Speex   ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        InputFile file;
        ASSERT_EQ(file.Open(WriteBytes(dir.Path("refused"), c.bytes)), FileProblem::kNone);
        const FileFormat& format = FormatOf(file);
        EXPECT_EQ(NameOf(format), c.format);
        for (const bool gapless : {false, true}) {
            const std::unique_ptr<AudioSource> source =
                format.makeSource(file, {0, kWholeStreamMs, gapless});
            const RunStart first = source->Start(std::nullopt);
            EXPECT_NE(first.problem, FileProblem::kNone);
            for (const std::optional<uint32_t> seekMs : {std::optional<uint32_t>(), {500u}}) {
                const RunStart again = source->Start(seekMs);
                EXPECT_EQ(again.problem, first.problem);
                EXPECT_EQ(again.detail, first.detail);
            }
        }
    }
}

}  // namespace
}  // namespace zirvak::test
