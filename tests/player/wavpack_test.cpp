// WavPack playback against the samples encoded and against Debian's `wvunpack`: files encoded
// at test time by `wavpack` from PCM made here. Lossless files, and hybrid ones with their
// correction file, play the samples encoded (16 bits and less exactly, deeper ones within the
// dither's 1 LSB of them rounded, floats too); a hybrid file alone plays what wvunpack decodes;
// `info` says which it is. Seeks, restarts, files cut short and memory refused:
// source_contract_test.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>

#include "input_file.h"
#include "pcm_reduce.h"
#include "playable_file.h"
#include "player_fixtures.h"
#include "shaped_songs.h"
#include "support/fixtures.h"
#include "wavpack_source.h"

namespace zirvak::test {
namespace {

// The dither off while a test compares with samples rounded without it.
struct NoDither {
    NoDither() { ditherOff = true; }
    ~NoDither() { ditherOff = false; }
};

std::vector<int16_t> Played(const std::string& path, const FlacShape& shape) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted) << path;
    EXPECT_EQ(device.format.sampleRateHz, int32_t(shape.rate));
    EXPECT_EQ(device.format.channels, shape.channels == 1 ? 1 : 2);
    EXPECT_EQ(engine.songLengthMs(), uint64_t(shape.frames) * 1000 / shape.rate);
    device.CompleteAll();
    return AsSamples(device.AllBytes());
}

// What `wvunpack` makes of `path`: raw samples at the file's depth.
std::vector<int32_t> Unpacked(const TempDir& dir, const std::string& path, uint32_t bits) {
    const std::string out = dir.Path("reference.raw");
    RunTool("wvunpack -q -y --raw '" + path + "' -o '" + out + "'");
    return SamplesFromRaw(ReadFileBytes(out), bits);
}

// What the file holds as `zirvak-cli info` and the source say it.
struct Said {
    std::string kind;  // "lossless", "lossy"
    bool hybrid = false;
    bool corrected = false;
};

Said SaidOf(const std::string& path) {
    InputFile file;
    EXPECT_EQ(file.Open(path), FileProblem::kNone);
    WavPackSource source(file);
    EXPECT_EQ(source.Start(std::nullopt).problem, FileProblem::kNone);
    return {source.isHybrid() && !source.corrected() ? "lossy" : "lossless", source.isHybrid(),
            source.corrected()};
}

TEST(WavPackPlayback, PlaysWhatWasEncoded) {
    const struct {
        FlacShape shape;
        std::string args;
        int tolerance;  // LSB: 0 where no dither is added
    } cases[] = {
        {{2, 44100, 16, 44100 * 2 + 77}, "", 0},  {{1, 8000, 8, 8000 * 3 + 11}, "", 0},
        {{6, 48000, 16, 48000 + 5}, "", 0},  // mixed down: rounded, never dithered
        {{2, 44100, 24, 44100 + 3}, "-h", 1},     {{1, 96000, 32, 96000 / 2 + 1}, "", 1},
        {{2, 48000, 16, 48000 + 1}, "-b3 -c", 0},  // hybrid, with its correction file
        {{2, 44100, 24, 44100 + 9}, "-b4 -c", 1},
    };
    TempDir dir;
    const NoDither noDither;
    for (const auto& c : cases) {
        const FlacShape& s = c.shape;
        SCOPED_TRACE(testing::Message() << s.channels << " channels, " << s.rate << " Hz, "
                                        << s.bits << " bits, " << c.args);
        const std::vector<int32_t> samples = FlacSignal(s);
        const std::string path = EncodeWavPack(dir, "case", s, samples, c.args);
        const std::vector<int16_t> got = Played(path, s);
        const std::vector<int16_t> want = AsPlayed(samples, s);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), c.tolerance);
        EXPECT_EQ(SaidOf(path).kind, "lossless");
        std::filesystem::remove(path + "c");
    }
}

// Without its correction file a hybrid file is lossy, and plays what wvunpack decodes; the
// correction file alone is refused in plain words.
TEST(WavPackPlayback, AHybridFileAlonePlaysWhatTheReferenceDecodes) {
    TempDir dir;
    const NoDither noDither;
    for (const FlacShape s : {FlacShape{2, 44100, 16, 44100 * 2}, FlacShape{1, 48000, 24, 48000}}) {
        SCOPED_TRACE(s.bits);
        const std::vector<int32_t> samples = FlacSignal(s);
        const std::string path = EncodeWavPack(dir, "hybrid", s, samples, "-b2.5 -c");
        // Its correction file alone is no song.
        std::string detail;
        EXPECT_EQ(CheckPlayable(path + "c", &detail), FileProblem::kUnsupported);
        EXPECT_EQ(detail, "a WavPack correction file, which plays beside its hybrid file");
        std::filesystem::remove(path + "c");
        const std::vector<int16_t> got = Played(path, s);
        const std::vector<int16_t> want = AsPlayed(Unpacked(dir, path, s.bits), s);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), s.bits > 16 ? 1 : 0);
        EXPECT_GT(MostDifference(got, AsPlayed(samples, s)), 8) << "not lossy at all";
        const Said said = SaidOf(path);
        EXPECT_EQ(said.kind, "lossy");
        EXPECT_TRUE(said.hybrid);
        EXPECT_FALSE(said.corrected);
    }
}

// Float samples, which wavpack keeps as they are: within the dither's LSB of them rounded.
TEST(WavPackPlayback, FloatSamplesPlayAsTheyWere) {
    TempDir dir;
    const NoDither noDither;
    const uint32_t frames = 44100;
    std::vector<float> floats;
    Bytes raw;
    for (uint32_t i = 0; i < frames * 2; ++i) {
        const float v = float(0.7 * std::sin(i * 0.013) + 0.2 * std::sin(i * 0.37));
        floats.push_back(v);
        const auto bits = std::bit_cast<uint32_t>(v);
        for (int b = 0; b < 4; ++b) raw.push_back(uint8_t(bits >> (8 * b)));
    }
    const std::string in = WriteBytes(dir.Path("float.raw"), raw);
    const std::string path = dir.Path("float.wv");
    RunTool("wavpack -q -y --raw-pcm=44100,32f,2,le '" + in + "' -o '" + path + "'");
    const std::vector<int16_t> got = Played(path, {2, 44100, 32, frames});
    ASSERT_EQ(got.size(), floats.size());
    std::vector<int16_t> want;
    for (const float v : floats) want.push_back(Rounded(double(v) * 32768.0));
    EXPECT_LE(MostDifference(got, want), 1);
}

}  // namespace
}  // namespace zirvak::test
