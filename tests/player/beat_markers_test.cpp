// Beat marking: which rises become markers (learning span, level floor, 6 % rise, the skip
// after a beat, the 50-marker cap), what a marker records, and how the engine times markers
// across the buffers of a run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "player_fixtures.h"

namespace zirvak::test {
namespace {

using Samples = std::vector<int16_t>;

// A sample rate of 1000 Hz makes a marker's time its sample index.
std::vector<BeatMarker> Mark(const Samples& s, int channels = 1, uint32_t rate = 1000,
                             uint32_t analysed = 0) {
    Bytes pcm(s.size() * 2);
    std::memcpy(pcm.data(), s.data(), pcm.size());
    BeatMarker markers[kMaxBeatMarkers];
    const uint32_t n =
        MarkBeats(pcm.data(), uint32_t(pcm.size()), channels, rate, analysed, markers);
    return std::vector<BeatMarker>(markers, markers + n);
}

// `from` onwards: a sine of `amplitude`, period 100 samples, peaks at 25 + 100k.
void Tone(Samples& s, size_t from, double amplitude, size_t to = SIZE_MAX) {
    for (size_t i = from; i < std::min(to, s.size()); ++i)
        s[i] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * double(i - from) / 100)));
}

// `from` onwards: +amplitude for 50 samples, then -amplitude for 50.
void Square(Samples& s, size_t from, int16_t amplitude, size_t to = SIZE_MAX) {
    for (size_t i = from; i < std::min(to, s.size()); ++i)
        s[i] = (i - from) % 100 < 50 ? amplitude : int16_t(-amplitude);
}

TEST(BeatMarkers, QuietOrShortBuffersHaveNoMarkers) {
    Samples loud(1100);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = int16_t(i % 7 == 0 ? 30000 : i * 13);
    EXPECT_TRUE(Mark(loud).empty()) << "1100 sample frames are only learned";
    loud.insert(loud.end(), {0, 0, 32000});
    EXPECT_EQ(Mark(loud).size(), 1u) << "looked at once the learning has ended";

    EXPECT_TRUE(Mark(Samples(50000, 0)).empty());
    Samples quiet(50000, 0);
    Tone(quiet, 0, 500);
    EXPECT_TRUE(Mark(quiet).empty());
    // Quiet sound after silence: the level has fallen to nothing, yet no rise to 500 is a beat.
    Samples fadeIn(50000, 0);
    Tone(fadeIn, 3000, 300, 10000);
    Tone(fadeIn, 10000, 490);
    EXPECT_TRUE(Mark(fadeIn).empty());
}

TEST(BeatMarkers, ToneMarksItsOnsetAndStepsAboveSixPercent) {
    Samples steady(60000);
    Tone(steady, 0, 10000);
    EXPECT_TRUE(Mark(steady).empty());

    // From silence: one marker at the first sample above the floor, on the first half-wave.
    Samples onset(60000, 0);
    Tone(onset, 3000, 10000);
    const std::vector<BeatMarker> m = Mark(onset);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].timeMs, 3001);  // 10000 × sin(2π/100) = 628
    EXPECT_EQ(m[0].value, 10000);
    EXPECT_EQ(m[0].width, 25);  // from the crest at 3025 to the zero at 3050

    // A square wave of 10000, then louder: 1.06 in single precision is a little below 1.06.
    for (const int16_t to : {10599, 10600, 16000}) {
        Samples s(60000);
        Square(s, 0, 10000, 30000);
        Square(s, 30000, to);
        const std::vector<BeatMarker> found = Mark(s);
        ASSERT_EQ(found.size(), to >= 10600 ? 1u : 0u) << "step to " << to;
        if (to >= 10600) {
            EXPECT_EQ(found[0].timeMs, 30000);
            EXPECT_EQ(found[0].value, to);
            EXPECT_EQ(found[0].width, 50);
        }
    }
    // A sine whose level grows by less than 6 % from one sample to the next only raises the
    // level.
    Samples swell(60000);
    Tone(swell, 0, 10000, 30000);
    Tone(swell, 30000, 16000);
    EXPECT_EQ(Mark(swell).size(), 1u);
}

TEST(BeatMarkers, BeatsAreAtLeast1601SampleFramesApart) {
    for (size_t gap : {1600u, 1601u, 1700u}) {
        Samples s(20000, 0);
        s[5000] = 20000;
        s[5000 + 1599] = 600;  // learned after the beat: the level to rise above
        s[5000 + gap] = 20000;
        const std::vector<BeatMarker> m = Mark(s);
        ASSERT_EQ(m.size(), gap > 1600 ? 2u : 1u) << gap;
        EXPECT_EQ(m[0].timeMs, 5000);
        EXPECT_EQ(m[0].width, 1);
        if (m.size() == 2) {
            EXPECT_EQ(m[1].timeMs, int32_t(5000 + gap));
        }
    }
}

TEST(BeatMarkers, AtMostFiftyPerBuffer) {
    // A mono chunk with a click every 2000 sample frames: 73 beats, 50 recorded.
    Samples s(kWavChunkBytes / 2, 0);
    for (size_t i = 2000; i < s.size(); i += 2000) s[i] = 15000;
    const std::vector<BeatMarker> m = Mark(s);
    ASSERT_EQ(m.size(), kMaxBeatMarkers);
    for (size_t i = 0; i < m.size(); ++i) EXPECT_EQ(m[i].timeMs, int32_t(2000 * (i + 1)));
}

TEST(BeatMarkers, TimeCountsEarlierBuffersAndUsesTheRate) {
    Samples s(20000, 0);
    s[5000] = 20000;
    struct Case {
        uint32_t rate, analysed;
        int32_t timeMs;
    };
    for (const Case c : {Case{1000, 0, 5000}, Case{44100, 0, 113}, Case{44100, 441000, 10113},
                         Case{22050, 147456, 6914}}) {
        const std::vector<BeatMarker> m = Mark(s, 1, c.rate, c.analysed);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].timeMs, c.timeMs) << c.rate << " Hz after " << c.analysed;
    }
}

TEST(BeatMarkers, OnlyTheFirstChannelCounts) {
    Samples stereo(40000, 0);
    stereo[2 * 5000 + 1] = 20000;  // right channel only
    EXPECT_TRUE(Mark(stereo, 2).empty());
    stereo[2 * 7000] = 20000;
    const std::vector<BeatMarker> m = Mark(stereo, 2);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].timeMs, 7000);
}

TEST(BeatMarkers, EngineTimesMarkersFromTheStartOfTheRun) {
    // Mono at 1000 Hz: chunk 0 holds 147456 sample frames; one click in each chunk.
    const uint32_t chunkFrames = kWavChunkBytes / 2;
    Samples s(chunkFrames * 2, 0);
    s[3000] = 20000;
    s[chunkFrames + 4000] = 20000;
    Bytes pcm(s.size() * 2);
    std::memcpy(pcm.data(), s.data(), pcm.size());
    WavParams params;
    params.channels = 1;
    params.sampleRate = 1000;
    TempDir dir;
    WriteBytes(dir.Path("clicks.wav"), MakeWav(params, pcm));

    SteppedAudioDevice device;
    PlayerEngine engine(device);
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(
            run == 0 ? engine.Open(dir.Path("clicks.wav"), 0, kDefaultEndMs) : engine.Restart(),
            kOpenStarted);
        BeatMarker m[kMaxBeatMarkers];
        ASSERT_EQ(engine.ReadBeatMarkers(0, m), 1u);
        EXPECT_EQ(m[0].timeMs, 3000);
        ASSERT_EQ(engine.ReadBeatMarkers(1, m), 1u);
        EXPECT_EQ(m[0].timeMs, int32_t(chunkFrames + 4000));
        EXPECT_EQ(engine.samplesAnalysed(), chunkFrames * 2);
        device.CompleteAll();
    }
}

}  // namespace
}  // namespace zirvak::test
