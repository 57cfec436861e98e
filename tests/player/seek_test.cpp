// Seeking and the volume in the engine: a run that starts at a time plays exactly what an
// unbroken run plays from there (MPEG from the frame holding that time, once the decoder is
// primed; WAV from that time's sample frame), its beats are timed from the song's start, and
// the volume scales what is heard without touching what is marked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine_run.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "volume.h"

namespace zirvak::test {
namespace {

void ExpectSeeksMatchTheUnbrokenRun(const std::string& path, uint32_t frameMs) {
    SCOPED_TRACE(path);
    const Bytes whole = PlayToTheEnd(path);
    TestAudioDevice probe;
    PlayerEngine engine(probe);
    ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    const uint32_t length = engine.songLengthMs();
    const uint32_t rate = engine.sampleRate();
    const uint32_t blockAlign = uint32_t(engine.channels()) * 2;
    // The start; inside the first frame; past the nine priming frames; on a frame's edge; the
    // middle; the last millisecond.
    const uint32_t times[] = {0,          1,         9 * frameMs + frameMs / 2, 20 * frameMs,
                              length / 2, length - 1};
    for (const uint32_t t : times) {
        if (t >= length) continue;  // a short file
        SCOPED_TRACE(t);
        const SeekRun run = PlayFrom(path, t);
        // The run starts at t's sample frame, or up to a millisecond after it: the buffers are
        // cut at byte positions rounded up by up to a millisecond's bytes.
        const uint64_t tFrame = uint64_t(t) * rate / 1000;
        EXPECT_GE(run.startFrame, tFrame);
        EXPECT_LE(run.startFrame, tFrame + rate / 1000 + 1);
        const Bytes expected = Tail(whole, run.startFrame, int32_t(blockAlign));
        ASSERT_EQ(run.bytes.size(), expected.size());
        EXPECT_TRUE(run.bytes == expected)
            << "first difference at byte "
            << std::mismatch(run.bytes.begin(), run.bytes.end(), expected.begin()).first -
                   run.bytes.begin();
    }
}

TEST(EngineSeek, MpegPlaysWhatTheUnbrokenRunPlaysFromThatTime) {
    const struct {
        std::string path;
        uint32_t frameMs;
    } files[] = {
        {RepoPath("tests/fixtures/mp3/mpeg1_44100_joint_cbr128_transient.mp3"), 26},  // 1 III
        {RepoPath("tests/fixtures/mp3/mpeg1_48000_mono_vbr.mp3"), 24},
        {RepoPath("tests/fixtures/mp3/mpeg2_22050_joint_cbr48_id3v1.mp3"), 26},  // 2 III
        {RepoPath("tests/fixtures/mp3/mpeg25_11025_joint_cbr32.mp3"), 52},       // 2.5 III
        {RepoPath("res/sample.mp2"), 26},                                        // 1 II
    };
    for (const auto& f : files) ExpectSeeksMatchTheUnbrokenRun(f.path, f.frameMs);
}

// An MPEG-2 Layer I stream (no encoder at hand makes one): 24 kHz mono at 64 kbit/s, frames of
// 128 bytes whose first twelve subbands carry random allocations, scale factors and samples.
Bytes Mpeg2LayerOne(uint32_t frames) {
    Bytes out;
    uint32_t seed = 12345;
    auto random = [&seed](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (uint32_t f = 0; f < frames; ++f) {
        Bytes frame = {0xFF, 0xF7, 0x44, 0xC0};  // MPEG-2, Layer I, no CRC, 64 kbit/s, mono
        frame.resize(128, 0);
        size_t bit = 32;
        auto put = [&frame, &bit](uint32_t value, int bits) {
            for (int i = bits - 1; i >= 0; --i, ++bit)
                if (value >> i & 1) frame[bit / 8] |= uint8_t(0x80 >> (bit % 8));
        };
        uint32_t allocation[32] = {};
        for (int sb = 0; sb < 12; ++sb) allocation[sb] = random(5);
        for (uint32_t a : allocation) put(a, 4);
        for (uint32_t a : allocation)
            if (a) put(random(63), 6);
        for (int s = 0; s < 12; ++s)
            for (uint32_t a : allocation)
                if (a) put(random((1u << (a + 1)) - 1), int(a + 1));  // never all ones
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

TEST(EngineSeek, MpegTwoLayerOne) {
    TempDir dir;
    const std::string path = WriteBytes(dir.Path("l1.mp1"), Mpeg2LayerOne(400));
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(engine.sampleRate(), 24000u);
    EXPECT_EQ(engine.songLengthMs(), 6400u);  // 400 frames of 384 samples
    const Bytes whole = PlayToTheEnd(path);
    EXPECT_GT(std::count_if(whole.begin(), whole.end(), [](uint8_t b) { return b != 0; }),
              ptrdiff_t(whole.size() / 2));  // sound, not silence
    ExpectSeeksMatchTheUnbrokenRun(path, 16);
}

TEST(EngineSeek, ConformanceLayersIAndIIOfBothVersions) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    ExpectSeeksMatchTheUnbrokenRun(dir + "/l1-fl2.bit", 8);      // MPEG-1 Layer I
    ExpectSeeksMatchTheUnbrokenRun(dir + "/l2-test32.bit", 48);  // MPEG-2 Layer II
}

TEST(EngineSeek, WavStartsAtTheSampleFrameOfThatTimeInEverySampleFormat) {
    TempDir dir;
    const struct {
        uint16_t formatTag, bits, channels;
    } formats[] = {{1, 8, 1}, {1, 16, 2}, {1, 16, 1}, {1, 24, 2}, {1, 32, 1}, {3, 32, 2}};
    for (const auto& f : formats) {
        SCOPED_TRACE(testing::Message() << f.bits << "-bit, " << f.channels << " channel(s)");
        WavParams params;
        params.formatTag = f.formatTag;
        params.bits = f.bits;
        params.channels = f.channels;
        params.sampleRate = 22050;
        // Two and a half chunks of 16-bit output, in the file's own sample size.
        const uint32_t frames = kWavChunkBytes * 5 / 2 / (2u * f.channels);
        Bytes samples(size_t(frames) * f.channels * (f.bits / 8));
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7 + i / 251);
        if (f.formatTag == 3)  // floats within ±1
            for (size_t i = 3; i < samples.size(); i += 4) samples[i] = 0x3e;
        const std::string path = WriteBytes(dir.Path("f.wav"), MakeWav(params, samples));
        const Bytes whole = PlayToTheEnd(path);
        const uint32_t chunkFrames = kWavChunkBytes / (2u * f.channels);
        const uint32_t lengthMs = uint32_t(uint64_t(frames) * 1000 / 22050);
        // The start, the first millisecond, one frame short of a chunk's edge, the edge
        // itself, the last millisecond.
        const uint32_t times[] = {0, 1, uint32_t(uint64_t(chunkFrames - 1) * 1000 / 22050),
                                  uint32_t(uint64_t(chunkFrames) * 1000 / 22050) + 1, lengthMs - 1};
        for (const uint32_t t : times) {
            SCOPED_TRACE(t);
            const SeekRun run = PlayFrom(path, t);
            EXPECT_EQ(run.startFrame, uint64_t(t) * 22050 / 1000);
            EXPECT_TRUE(run.bytes == Tail(whole, run.startFrame, run.blockAlign))
                << run.bytes.size() << " bytes played";
        }
    }
}

// The beats of a run after a seek line up, within one tick, with those of the unbroken run.
TEST(EngineSeek, BeatsAreTimedFromTheSongsStart) {
    const std::string path = RepoPath("res/demo.mp3");
    auto markersFrom = [&path](std::optional<uint32_t> seekMs) {
        TestAudioDevice device;
        PlayerEngine engine(device);
        EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        if (seekMs) {
            EXPECT_EQ(engine.Seek(*seekMs), kOpenStarted);
        }
        std::vector<int32_t> times;
        BeatMarker list[kMaxBeatMarkers];
        auto take = [&](int32_t buffer) {
            const uint32_t n = engine.ReadBeatMarkers(buffer, list);
            for (uint32_t i = 0; i < n; ++i) times.push_back(list[i].timeMs);
        };
        take(0);
        take(1);
        const PlayerEngineTestPeer pipeline(engine);
        uint32_t queued = pipeline.buffersQueued();
        while (device.CompleteOldest()) {
            if (pipeline.buffersQueued() != queued) take(engine.currentBuffer());
            queued = pipeline.buffersQueued();
        }
        return times;
    };
    const std::vector<int32_t> unbroken = markersFrom(std::nullopt);
    for (const uint32_t seekMs : {7000u, 15333u}) {
        SCOPED_TRACE(seekMs);
        const std::vector<int32_t> seeked = markersFrom(seekMs);
        ASSERT_GE(seeked.size(), 10u);
        size_t matched = 0;
        for (const int32_t t : seeked) {
            EXPECT_GE(t, int32_t(seekMs));
            const bool near = std::any_of(unbroken.begin(), unbroken.end(),
                                          [t](int32_t u) { return std::abs(u - t) < 75; });
            matched += near;
        }
        // A buffer begins by learning the level, so the few beats next to where the buffers
        // now begin may differ; the rest are the same beats.
        EXPECT_GE(matched * 10, seeked.size() * 9) << matched << " of " << seeked.size();
    }
}

TEST(EngineSeek, APausedRunStaysPausedAtItsNewPlace) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenStarted);
    ASSERT_EQ(engine.TogglePause(), Paused);
    ASSERT_EQ(engine.Seek(1000), kOpenStarted);
    EXPECT_EQ(engine.state(), Paused);
    EXPECT_TRUE(device.paused);
    EXPECT_FALSE(device.CompleteOldest());  // nothing plays while paused
    EXPECT_EQ(engine.TogglePause(), Playing);
    EXPECT_TRUE(device.CompleteOldest());
    // A stopped run plays from there.
    engine.Stop();
    ASSERT_EQ(engine.Seek(2000), kOpenStarted);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(engine.runStartMs(), 2000u);
    EXPECT_TRUE(device.misuse().empty());
}

// The volume and a song's ReplayGain: each sample times both, rounded half away from zero and
// clipped; the beats marked as at full volume and no gain; full volume bit for bit what it
// always was.
TEST(EngineVolume, ScalesWhatIsHeardAndNothingElse) {
    const std::string path = RepoPath("res/demo.mp3");
    auto play = [&path](std::optional<uint32_t> percent, double gain) {
        TestAudioDevice device;
        PlayerEngine engine(device);
        if (percent) engine.SetVolume(*percent);
        engine.SetGain(gain);
        EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        std::vector<int32_t> beats;
        BeatMarker list[kMaxBeatMarkers];
        for (int i = 0; i < 4 && device.CompleteOldest(); ++i) {
            const uint32_t n = engine.ReadBeatMarkers(engine.currentBuffer(), list);
            for (uint32_t k = 0; k < n; ++k) beats.push_back(list[k].timeMs);
        }
        return std::make_pair(device.AllBytes(), beats);
    };
    const auto [plain, plainBeats] = play(std::nullopt, 1.0);
    ASSERT_FALSE(plainBeats.empty());
    const struct {
        uint32_t percent;
        double gain;
    } cases[] = {{100, 1}, {95, 1}, {50, 1}, {5, 1}, {0, 1}, {100, 0.5}, {60, 0.708}, {100, 3.1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.percent << "% at a gain of " << c.gain);
        const auto [bytes, beats] = play(c.percent, c.gain);
        EXPECT_EQ(beats, plainBeats);
        ASSERT_EQ(bytes.size(), plain.size());
        size_t wrong = 0;
        for (size_t i = 0; i + 1 < plain.size(); i += 2) {
            const auto s = int16_t(plain[i] | plain[i + 1] << 8);
            const double scaled = c.gain == 1 ? std::lround(s * double(c.percent) / 100.0)
                                              : std::round(s * (c.gain * c.percent / 100.0));
            const auto expected = int16_t(std::clamp(scaled, -32768.0, 32767.0));
            const auto got = int16_t(bytes[i] | bytes[i + 1] << 8);
            wrong += got != expected;
        }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST(EngineVolume, EdgeSamplesRoundHalfAwayFromZero) {
    const struct {
        int16_t in;
        uint32_t percent;
        int16_t out;
    } cases[] = {{32767, 100, 32767},  {-32768, 100, -32768},
                 {32767, 50, 16384},   {-32768, 50, -16384},
                 {-32767, 50, -16384}, {1, 50, 1},
                 {-1, 50, -1},         {1, 49, 0},
                 {-1, 49, 0},          {100, 0, 0},
                 {-32768, 5, -1638},   {32767, 95, 31129},
                 {5, 150, 5}};  // beyond full: left as it is
    for (const auto& c : cases) {
        uint8_t pcm[2];
        pcm[0] = uint8_t(uint16_t(c.in));
        pcm[1] = uint8_t(uint16_t(c.in) >> 8);
        ApplyVolume(pcm, 2, c.percent);
        EXPECT_EQ(int16_t(pcm[0] | pcm[1] << 8), c.out) << c.in << " at " << c.percent << "%";
    }
}

}  // namespace
}  // namespace zirvak::test
