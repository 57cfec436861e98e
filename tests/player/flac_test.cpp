// FLAC playback against Debian's `flac` as the reference: files encoded at test time from PCM
// made here, decoded by `flac -d` and by the engine. 16-bit files bit-exact, deeper ones within
// the dither's 1 LSB of the reference rounded, more channels mixed to stereo; the exact length;
// damaged files. Seeks, restarts, files cut short and memory refused: source_contract_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "flac_source.h"
#include "input_file.h"
#include "playable_file.h"
#include "player_fixtures.h"
#include "shaped_songs.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// What `flac -d` makes of `path`: the interleaved samples at the file's own depth.
std::vector<int32_t> ReferenceDecode(const TempDir& dir, const std::string& path, uint32_t bits) {
    const std::string out = dir.Path("reference.raw");
    RunTool("flac --silent --force --decode --force-raw-format --endian=little --sign=signed -o '" +
            out + "' '" + path + "'");
    return SamplesFromRaw(ReadFileBytes(out), bits);
}

TEST(FlacPlayback, MatchesTheReferenceDecoder) {
    const struct {
        FlacShape shape;
        int tolerance;  // LSB: 0 where no dither is added
    } cases[] = {
        {{1, 8000, 16, 8000 * 3 + 11}, 0},
        {{2, 44100, 16, 44100 * 2 + 77}, 0},
        {{2, 48000, 16, 48000 * 3}, 0},
        {{6, 48000, 16, 48000 * 2 + 5}, 0},  // mixed down: rounded, never dithered
        {{2, 44100, 24, 44100 * 2 + 3}, 1},
        {{1, 96000, 24, 96000 + 1}, 1},
        {{6, 48000, 24, 48000 + 9}, 1},
        {{2, 44100, 32, 44100 + 3}, 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const FlacShape& s = c.shape;
        SCOPED_TRACE(testing::Message()
                     << s.channels << " channels, " << s.rate << " Hz, " << s.bits << " bits");
        const std::string path = EncodeRawFlac(dir, "case", s, FlacSignal(s));
        const std::vector<int16_t> want = AsPlayed(ReferenceDecode(dir, path, s.bits), s);
        ASSERT_EQ(want.size(), size_t(s.frames) * (s.channels == 1 ? 1 : 2));

        TestAudioDevice device;
        PlayerEngine engine(device);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        EXPECT_EQ(device.format.sampleRateHz, int32_t(s.rate));
        EXPECT_EQ(device.format.channels, s.channels == 1 ? 1 : 2);
        EXPECT_EQ(engine.songLengthMs(), uint64_t(s.frames) * 1000 / s.rate);
        device.CompleteAll();
        const std::vector<int16_t> got = AsSamples(device.AllBytes());
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), c.tolerance);
        if (c.tolerance > 0) {
            // The dither is there (some samples are off the rounded value), and repeatable.
            EXPECT_NE(got, want);
            EXPECT_TRUE(PlayToTheEnd(path) == device.AllBytes());
        }
    }
}

// The length comes from STREAMINFO; where the encoder wrote to a pipe and left it out, from
// the frames counted.
TEST(FlacPlayback, LengthIsExactWithOrWithoutTheSampleCount) {
    TempDir dir;
    const FlacShape s{2, 44100, 16, 44100 + 4097};
    const std::vector<int32_t> samples = FlacSignal(s);
    const std::string known = EncodeRawFlac(dir, "known", s, samples);
    const std::string piped = EncodePipedFlac(dir, "piped", s, samples);
    const Bytes reference = PlayToTheEnd(known);
    for (const std::string& path : {known, piped}) {
        SCOPED_TRACE(path);
        InputFile file;
        ASSERT_EQ(file.Open(path), FileProblem::kNone);
        FlacSource source(file);
        const RunStart run = source.Start(std::nullopt);
        ASSERT_EQ(run.problem, FileProblem::kNone);
        EXPECT_EQ(source.totalFrames(), s.frames);
        EXPECT_EQ(source.lengthMs(), uint32_t(uint64_t(s.frames) * 1000 / s.rate));
        EXPECT_TRUE(PlayToTheEnd(path) == reference);
    }
}

// Damage plays what decodes, without a crash or a hang (a file cut short, in its header too, in
// source_contract_test.cpp): bit flips and overwritten bytes in the audio leave silence in
// place of the frames they spoil, keep the length, and are counted. A file whose metadata libFLAC
// cannot read to its end (as `flac -d` cannot either) is refused as damaged rather than opened
// to play nothing.
TEST(FlacPlayback, DamagedFilesPlayWhatDecodes) {
    TempDir dir;
    const FlacShape s{2, 44100, 16, 44100 * 3};
    const std::string path = EncodeRawFlac(dir, "good", s, FlacSignal(s), "--blocksize=4096");
    const Bytes good = ReadFileBytes(path);
    const Bytes whole = PlayToTheEnd(path);
    Bytes flipped = good;
    for (size_t at = good.size() / 5; at < good.size(); at += good.size() / 7) flipped[at] ^= 0x24;
    Bytes garbage = good;  // a run of bytes overwritten in the middle
    std::fill(garbage.begin() + ptrdiff_t(good.size() / 2),
              garbage.begin() + ptrdiff_t(good.size() / 2 + 20000), uint8_t(0xFF));
    const DamagedFile files[] = {
        {"flipped.flac", flipped, true},
        {"overwritten.flac", garbage, true},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::optional<std::string> damaged = PlayDamaged(dir, f, whole, 4096 * 4);
        ASSERT_TRUE(damaged.has_value());
        // The source counts the damage it met.
        InputFile file;
        ASSERT_EQ(file.Open(*damaged), FileProblem::kNone);
        FlacSource source(file);
        const RunStart run = source.Start(std::nullopt);
        for (uint32_t i = 1; i <= run.lastBufferIndex; ++i)
            if (source.Fill(uint8_t(i % 2), i).cameShort) break;
        EXPECT_GT(source.decodeErrors(), 0u);
    }
    // STREAMINFO says it is 12 bytes longer than its 34: the next block header would be read
    // from inside the seek table. Refused as damaged, as the reference decoder refuses it.
    Bytes longInfo = good;
    ASSERT_EQ(longInfo[7], 34);
    longInfo[7] = 46;
    const std::string misread = WriteBytes(dir.Path("metadata-misread.flac"), longInfo);
    TestAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_NE(engine.Open(misread, 0, kDefaultEndMs), kOpenStarted);
    InputFile file;
    ASSERT_EQ(file.Open(misread), FileProblem::kNone);
    FlacSource source(file);
    EXPECT_EQ(source.Start(std::nullopt).problem, FileProblem::kDamaged);
}

}  // namespace
}  // namespace zirvak::test
