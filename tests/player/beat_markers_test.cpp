// Beat marking: which rises become markers, what a marker records, and how the engine times
// markers across the buffers of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "player_fixtures.h"

namespace zirvak::test {
namespace {

using Samples = std::vector<int16_t>;

// At 1000 Hz a marker's time is its sample index.
std::vector<BeatMarker> Mark(const Samples& s, int channels = 1, uint32_t rate = 1000,
                             uint32_t analysed = 0) {
    BeatMarker markers[kMaxBeatMarkers];
    const uint32_t n = MarkBeats(reinterpret_cast<const uint8_t*>(s.data()), uint32_t(s.size() * 2),
                                 channels, rate, analysed, markers);
    return std::vector<BeatMarker>(markers, markers + n);
}

// +amplitude for 50 samples, then -amplitude for 50, from `from` to `to`.
void Square(Samples& s, size_t from, int16_t amplitude, size_t to) {
    for (size_t i = from; i < to; ++i)
        s[i] = (i - from) % 100 < 50 ? amplitude : int16_t(-amplitude);
}

TEST(BeatMarkers, ShortQuietOrSilentBuffersHaveNoMarkers) {
    Samples loud(1100);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = int16_t(i % 7 == 0 ? 30000 : i * 13);
    EXPECT_TRUE(Mark(loud).empty()) << "1100 sample frames are only learned";
    loud.insert(loud.end(), {0, 0, 32000});
    EXPECT_EQ(Mark(loud).size(), 1u) << "looked at once the learning has ended";
    EXPECT_TRUE(Mark(Samples(50000, 0)).empty());
    Samples quiet(50000, 0);
    Square(quiet, 3000, 500, quiet.size());
    EXPECT_TRUE(Mark(quiet).empty());
}

TEST(BeatMarkers, AStepAboveSixPercentIsABeat) {
    // A square wave of 10000, then louder: 1.06 in single precision is a little below 1.06.
    for (const int16_t to : {10599, 10600, 16000}) {
        Samples s(60000);
        Square(s, 0, 10000, 30000);
        Square(s, 30000, to, s.size());
        const std::vector<BeatMarker> m = Mark(s);
        ASSERT_EQ(m.size(), to >= 10600 ? 1u : 0u) << "step to " << to;
        if (m.empty()) continue;
        EXPECT_EQ(m[0].timeMs, 30000);
        EXPECT_EQ(m[0].value, to);
        EXPECT_EQ(m[0].width, 50);
    }
}

TEST(BeatMarkers, BeatsAreAtLeast1601SampleFramesApart) {
    for (size_t gap : {1600u, 1601u}) {
        Samples s(20000, 0);
        s[5000] = s[5000 + gap] = 20000;
        s[5000 + 1598] = 600;  // learned after the beat: the level to rise above
        const std::vector<BeatMarker> m = Mark(s);
        ASSERT_EQ(m.size(), gap == 1601 ? 2u : 1u) << gap;
        EXPECT_EQ(m.back().timeMs, int32_t(gap == 1601 ? 6601 : 5000));
    }
}

// Where the first look at the signal starts: the first 1100 sample frames are learned, the
// next only ends the learning, and the one after that is compared with the level re-established
// over the last 1100 (which includes it). So a lone click in silence is a beat from 1102 on.
TEST(BeatMarkers, TheFirstLearningSpanIs1100SampleFrames) {
    for (const size_t click : {1099u, 1100u, 1101u, 1102u, 1103u}) {
        Samples s(5000, 0);
        s[click] = 20000;
        const std::vector<BeatMarker> m = Mark(s);
        ASSERT_EQ(m.size(), click >= 1102 ? 1u : 0u) << click;
        if (!m.empty()) {
            EXPECT_EQ(m[0].timeMs, int32_t(click));
        }
    }
}

// The level ages: once the loudest sample is 1100 frames old it is taken again from the last
// 1100, so a fading sound lets a later, quieter hit through. Without it the first peak would
// mask everything after it.
TEST(BeatMarkers, TheLevelFollowsAFadingSound) {
    Samples s(14000);
    for (size_t i = 0; i < s.size(); ++i) {
        const auto a = int16_t(20000 * std::pow(0.9998, double(i)));  // 3370 by 8900
        s[i] = i % 100 < 50 ? a : int16_t(-a);
    }
    for (size_t i = 10050; i < 10060; ++i) s[i] = 6000;  // in a negative half-wave
    const std::vector<BeatMarker> m = Mark(s);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].timeMs, 10050);
    EXPECT_EQ(m[0].value, 6000);
    EXPECT_EQ(m[0].width, 10);
    // The re-established level is the loudest of the window: after a single peak of 10000 that
    // ages out, a plateau of 3000 is the level, and only a rise above 3000 × 1.06 is a beat.
    for (const int16_t probe : {3179, 3180}) {  // 1.06f is a little below 1.06
        Samples p(3000, 0);
        p[100] = 10000;
        std::fill(p.begin() + 1101, p.end(), int16_t(3000));
        p[1250] = probe;
        ASSERT_EQ(Mark(p).size(), probe == 3180 ? 1u : 0u) << probe;
    }
}

TEST(BeatMarkers, AtMostFiftyPerBuffer) {
    Samples s(0x48000 / 2, 0);  // a WAV chunk of mono: a click every 2000 frames, 73 beats
    for (size_t i = 2000; i < s.size(); i += 2000) s[i] = 15000;
    const std::vector<BeatMarker> m = Mark(s);
    ASSERT_EQ(m.size(), 50u);
    EXPECT_EQ(m.back().timeMs, 2000 * 50);
}

TEST(BeatMarkers, TimeCountsEarlierBuffersAndOnlyTheFirstChannelCounts) {
    Samples s(20000, 0);
    s[5000] = 20000;
    const struct {
        uint32_t rate, analysed;
        int32_t timeMs;
    } cases[] = {{1000, 0, 5000}, {44100, 441000, 10113}, {22050, 147456, 6914}};
    for (const auto& c : cases) {
        const std::vector<BeatMarker> m = Mark(s, 1, c.rate, c.analysed);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].timeMs, c.timeMs) << c.rate << " Hz after " << c.analysed;
    }
    Samples stereo(40000, 0);
    stereo[2 * 5000 + 1] = 20000;  // right channel only
    stereo[2 * 7000] = 20000;
    const std::vector<BeatMarker> m = Mark(stereo, 2);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].timeMs, 7000);
}

TEST(BeatMarkers, EngineTimesMarkersFromTheStartOfTheRun) {
    // Mono at 1000 Hz, one click in each of two chunks.
    const uint32_t chunkFrames = kWavChunkBytes / 2;
    Samples s(chunkFrames * 2, 0);
    s[3000] = s[chunkFrames + 4000] = 20000;
    WavParams params;
    params.channels = 1;
    params.sampleRate = 1000;
    TempDir dir;
    const Bytes pcm(reinterpret_cast<const uint8_t*>(s.data()),
                    reinterpret_cast<const uint8_t*>(s.data() + s.size()));
    const std::string path = WriteBytes(dir.Path("clicks.wav"), MakeWav(params, pcm));
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    BeatMarker m[kMaxBeatMarkers];
    ASSERT_EQ(engine.ReadBeatMarkers(0, m), 1u);
    EXPECT_EQ(m[0].timeMs, 3000);
    ASSERT_EQ(engine.ReadBeatMarkers(1, m), 1u);
    EXPECT_EQ(m[0].timeMs, int32_t(chunkFrames + 4000));
}

}  // namespace
}  // namespace zirvak::test
