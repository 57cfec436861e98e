// MPEG audio without the encoder's delay and padding, against mpg123's default (gapless)
// output as the reference: as many samples as were encoded, within 1 LSB; seeks onto the exact
// sample frame of the song.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "gapless_mpeg_source.h"
#include "input_file.h"
#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// mpg123's gapless output of `path`, 16-bit.
std::vector<int16_t> Mpg123Gapless(const TempDir& dir, const std::string& path) {
    const std::string raw = dir.Path("mpg123.raw");
    RunTool("mpg123 -q -s '" + path + "' > '" + raw + "'");
    return AsSamples(ReadFileBytes(raw));
}

// Every sample the source plays from a run started at `seekMs` (none: the start).
std::pair<std::vector<int16_t>, uint64_t> PlaySource(const std::string& path,
                                                     std::optional<uint32_t> seekMs) {
    InputFile file;
    EXPECT_EQ(file.Open(path), FileProblem::kNone);
    GaplessMpegSource source(file, kDefaultEndMs);
    if (seekMs) {
        EXPECT_EQ(source.Start(std::nullopt).problem, FileProblem::kNone);
    }
    const RunStart run = source.Start(seekMs);
    EXPECT_EQ(run.problem, FileProblem::kNone);
    Bytes bytes(run.first.data, run.first.data + run.first.length);
    bool ended = run.first.cameShort;
    for (uint32_t i = 1; i <= run.lastBufferIndex && !ended; ++i) {
        const SourceBuffer b = source.Fill(uint8_t(i % 2), i);
        bytes.insert(bytes.end(), b.data, b.data + b.length);
        ended = b.cameShort;
    }
    return {AsSamples(bytes), run.startFrame};
}

TEST(GaplessMpeg, AsManySamplesAsWereEncodedAsMpg123PlaysThem) {
    TempDir dir;
    const struct {
        const char* lame;
        uint32_t rate;
        int channels;
        uint32_t frames;
    } cases[] = {
        {"-b 128", 44100, 2, 44100 * 2 + 2511},
        {"-V 2", 44100, 2, 44100 + 7},
        {"-b 64", 22050, 1, 22050 * 2 + 100},  // MPEG-2, 576 samples a frame
        {"-b 32", 8000, 1, 8000 * 3 + 1},      // MPEG-2.5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lame);
        WavParams params;
        params.sampleRate = c.rate;
        params.channels = uint16_t(c.channels);
        const std::string mp3 =
            EncodeMp3(dir, "song", MakeWav(params, Pcm16Pattern(c.frames, c.channels)), c.lame);
        const std::vector<int16_t> want = Mpg123Gapless(dir, mp3);
        ASSERT_EQ(want.size(), size_t(c.frames) * size_t(c.channels));
        const auto [got, start] = PlaySource(mp3, std::nullopt);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), 1);
        // Seeks land on the song's sample frame of that millisecond.
        const uint32_t lengthMs = c.frames * 1000 / c.rate;
        for (const uint32_t t : {0u, 1u, 26u, lengthMs / 2, lengthMs - 1}) {
            SCOPED_TRACE(t);
            const auto [from, frame] = PlaySource(mp3, t);
            ASSERT_EQ(frame, uint64_t(t) * c.rate / 1000);
            const size_t at = size_t(frame) * size_t(c.channels);
            ASSERT_EQ(from.size(), got.size() - at);
            const std::vector<int16_t> rest(got.begin() + ptrdiff_t(at), got.end());
            EXPECT_EQ(MostDifference(from, rest), 0);
        }
    }
}

// An ID3v2 tag holding one comment frame described "iTunSMPB" with `fields`: version 3 in
// Latin-1, version 4 in UTF-16 with a byte order mark.
Bytes ITunesTag(int version, const std::string& fields) {
    Bytes body = {uint8_t(version == 4 ? 1 : 0), 'e', 'n', 'g'};
    const auto text = [&](const std::string& t) {
        if (version != 4) {
            body.insert(body.end(), t.begin(), t.end());
            body.push_back(0);
            return;
        }
        body.insert(body.end(), {0xff, 0xfe});
        for (const char c : t) body.insert(body.end(), {uint8_t(c), 0});
        body.insert(body.end(), {0, 0});
    };
    text("iTunSMPB");
    text(fields);
    const auto size = uint32_t(body.size());
    Bytes frame = {'C', 'O', 'M', 'M'};
    for (int byte = 3; byte >= 0; --byte)  // version 4 sizes are syncsafe: 7 bits a byte
        frame.push_back(uint8_t(version == 4 ? (size >> (7 * byte)) & 0x7f : size >> (8 * byte)));
    frame.insert(frame.end(), {0, 0});
    frame.insert(frame.end(), body.begin(), body.end());
    Bytes tag = {'I', 'D', '3', uint8_t(version), 0, 0};
    const auto total = uint32_t(frame.size());
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(uint8_t((total >> shift) & 0x7f));
    tag.insert(tag.end(), frame.begin(), frame.end());
    return tag;
}

// Where the gap is told otherwise: a LAME tag under another encoder's name or with its fields
// zero (read as mpg123 reads them), no tag frame at all (the stream plays whole, as in mpg123),
// and an iTunSMPB comment in place of the tag frame (the same song as the LAME tag gives).
TEST(GaplessMpeg, TheGapAsEachKindOfTagTellsIt) {
    TempDir dir;
    const uint32_t frames = 44100 * 2 + 2511;
    const std::string lame = EncodeMp3(dir, "song", MakeWav({}, Pcm16Pattern(frames, 2)), "-b 128");
    const Bytes original = ReadFileBytes(lame);
    const std::string_view lameName = "LAME";
    const size_t lameAt =
        size_t(std::search(original.begin(), original.end(), lameName.begin(), lameName.end()) -
               original.begin());
    const size_t tagFrame = FrameOffsets(original).at(1);
    const auto without = [&](size_t at, size_t n, uint8_t by) {
        Bytes b = original;
        std::fill(b.begin() + ptrdiff_t(at), b.begin() + ptrdiff_t(at + n), by);
        return b;
    };
    const Bytes noTagFrame(original.begin() + ptrdiff_t(tagFrame), original.end());
    const std::vector<int16_t> song = Mpg123Gapless(dir, lame);
    ASSERT_EQ(song.size(), size_t(frames) * 2);
    // 576 samples of delay (0x240), and the padding that makes the frames whole.
    const uint32_t padding = uint32_t((FrameOffsets(noTagFrame).size() - 1) * 1152 - 576 - frames);
    char fields[128];
    std::snprintf(fields, sizeof fields, " 00000000 00000240 %08X %016llX 00000000", padding,
                  static_cast<unsigned long long>(frames));
    char countAlone[128];
    std::snprintf(countAlone, sizeof countAlone, " 00000000 00000240 00000000 %016llX",
                  static_cast<unsigned long long>(frames));
    const struct {
        const char* name;
        Bytes file;
        bool likeMpg123;  // else: the LAME tag's song
    } cases[] = {
        {"another encoder's name", without(lameAt, 4, 'X'), true},
        {"zero fields", without(lameAt, 36, 0), true},
        {"no tag frame", noTagFrame, true},
        {"iTunSMPB, ID3v2.3", Concat({ITunesTag(3, fields), noTagFrame}), false},
        {"iTunSMPB, ID3v2.4 UTF-16", Concat({ITunesTag(4, fields), noTagFrame}), false},
        // No padding told: the count of samples ends the song.
        {"iTunSMPB, the count alone", Concat({ITunesTag(3, countAlone), noTagFrame}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteBytes(dir.Path("case.mp3"), c.file);
        const std::vector<int16_t> want = c.likeMpg123 ? Mpg123Gapless(dir, path) : song;
        const auto [got, start] = PlaySource(path, std::nullopt);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), 1);
    }
}

}  // namespace
}  // namespace zirvak::test
