// MPEG playback: the clip plan, the buffers and frames it is cut in, and what the engine plays
// compared with zirvak-cli decode of the same file and with mpg123.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "engine_run.h"
#include "memory_source.h"
#include "mpeg_stream.h"
#include "playable_file.h"
#include "player_fixtures.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

TEST(MpegClip, PlanTurnsBoundsIntoFramesAndBuffers) {
    constexpr float kFrameMs = 1152 * 1000.0f / 44100;
    using Plan = std::array<uint32_t, 7>;  // startMs, endMs, D, start/end frame, per buffer, last
    const struct {
        const char* name;
        ClipInput in;
        Plan want;
    } cases[] = {
        // slots, frames of sound, frame duration, startMs, endMs
        {"under 64 frames", {39, 39, kFrameMs, 0, kDefaultEndMs}, {0, 1018, 1018, 0, 38, 39, 0}},
        {"exactly 128 frames", {128, 128, 24.0f, 0, kDefaultEndMs}, {0, 3072, 3072, 0, 127, 64, 1}},
        {"129 frames", {129, 129, 24.0f, 0, kDefaultEndMs}, {0, 3096, 3096, 0, 128, 64, 2}},
        {"over 100 minutes",
         {300000, 300000, kFrameMs, 0, kDefaultEndMs},
         {0, 6000000, 7836734, 0, 229687, 64, 3588}},
        {"small endMs", {39, 39, kFrameMs, 0, 500}, {0, 500, 1018, 0, 19, 20, 0}},
        {"no bounds", {39, 39, kFrameMs, 0, 0}, {0, 1018, 1018, 0, 38, 39, 0}},
        {"start after end", {129, 129, 24.0f, 900, 600}, {0, 3096, 3096, 0, 128, 64, 2}},
        {"start past the stream", {39, 39, kFrameMs, 5000, 6000}, {0, 1018, 1018, 0, 38, 39, 0}},
        {"a start inside", {129, 129, 24.0f, 1000, 2000}, {1000, 2000, 3096, 41, 83, 43, 0}},
        // A VBR header's own frame plays (silent) before the frames it counts.
        {"VBR header frame",
         {101, 100, kFrameMs, 0, kDefaultEndMs},
         {0, 2612, 2612, 0, 100, 64, 1}},
    };
    for (const auto& c : cases) {
        const ClipPlan p = PlanClip(c.in);
        EXPECT_EQ(Plan({p.startMs, p.endMs, p.lengthMs, p.startFrame, p.endFrame, p.framesPerBuffer,
                        p.lastBufferIndex}),
                  c.want)
            << c.name;
    }  // The byte position of a time: x = bytes per ms × t, plus trunc(x) mod trunc(bytes per ms).
    const struct {
        uint32_t t, rate;
        int32_t channels;
        uint32_t bytes;
    } positions[] = {{1000, 44100, 2, 176448},
                     {500, 44100, 2, 88224},
                     {3, 22050, 1, 132},
                     {1000, 48000, 2, 192000}};
    for (const auto& p : positions)
        EXPECT_EQ(BytePosition(p.t, p.rate, p.channels), p.bytes) << p.t << " ms at " << p.rate;
}

// True when `played` is the start of `decoded`.
bool IsStartOf(const Bytes& played, const Bytes& decoded) {
    return played.size() <= decoded.size() &&
           std::equal(played.begin(), played.end(), decoded.begin());
}

// What one output buffer holds and how long a frame lasts for each kind of stream: 64 frames
// of 1152 (MPEG-1) or 576 (MPEG-2) samples; and a WAV chunk of 0x48000 bytes.
TEST(MpegClip, BufferSizesAndFrameDurations) {
    TempDir dir;
    const struct {
        const char* lameArgs;
        uint32_t rate;
        uint16_t channels;
        double frameMs;
        size_t bufferBytes;
    } cases[] = {
        {"-b 128 --resample 44.1", 44100, 2, 26.12245, 64 * 1152 * 4},
        {"-b 64 --resample 32", 32000, 1, 36.0, 64 * 1152 * 2},
        {"-b 64 --resample 22.05", 22050, 2, 26.12245, 64 * 576 * 4},
        {"-b 64 --resample 24", 24000, 2, 24.0, 64 * 576 * 4},
        {"-b 32 --resample 16", 16000, 1, 36.0, 64 * 576 * 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lameArgs);
        WavParams params;
        params.sampleRate = c.rate, params.channels = c.channels;
        const std::string path = EncodeMp3(dir, std::to_string(c.rate),
                                           MakeWav(params, Pcm16Pattern(c.rate * 4, c.channels)),
                                           std::string("-t ") + c.lameArgs);
        const size_t frames = FrameOffsets(ReadFileBytes(path)).size() - 1;
        const EngineRun run = PlayFile(path);
        EXPECT_EQ(run.format.sampleRateHz, int32_t(c.rate));
        EXPECT_NEAR(double(run.clip.lengthMs), double(frames) * c.frameMs, 1.0);
        EXPECT_EQ(run.firstBufferBytes, c.bufferBytes);
    }
    // 300000 stereo sample frames: four whole chunks of 0x48000 bytes and a part.
    const std::string wav = WriteBytes(dir.Path("long.wav"), MakeWav({}, Pcm16Pattern(300000, 2)));
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(wav, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(PlayerEngineTestPeer(engine).lastBufferIndex(), 4u);
    device.CompleteAll();
    ASSERT_EQ(device.written.size(), 5u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(device.written[i].bytes.size(), 0x48000u);
    EXPECT_EQ(device.written[4].bytes.size(), 300000u * 4 - 4 * 0x48000);
}

// A stream 2.5 GiB into a file, after a hole that reads as zeros: offsets past 2 and 4 GiB.
TEST(MpegPlayback, StreamsPastTwoGibibytesPlay) {
    TempDir dir;
    const Bytes sample = Sample();
    const std::string path = dir.Path("far.mp2");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, sample.data(), sample.size(), off_t(5) << 29), ssize_t(sample.size()));
    ASSERT_EQ(ftruncate(fd, off_t(9) << 29), 0);  // and zeros after it, to 4.5 GiB
    close(fd);
    const Bytes decoded = Decode(dir, WriteBytes(dir.Path("near.mp2"), sample));
    EXPECT_TRUE(PlayFile(path).pcm == decoded);
    EXPECT_TRUE(Decode(dir, path) == decoded);
}

// The engine, render and decode against mpg123 on the same file. lame's "Info" frame is one
// silent frame for us and nothing for mpg123.
TEST(MpegPlayback, RenderAndTheEngineAreTheDecodedStream) {
    for (const std::string& path : {Files().mp2, Files().mp3}) {
        SCOPED_TRACE(path);
        constexpr size_t kFrameBytes = 1152 * 4;
        const std::vector<int16_t> reference = Mpg123Samples(path);
        const size_t frames = FrameOffsets(ReadFileBytes(path)).size() - 1;
        ASSERT_EQ(reference.size() % (kFrameBytes / 2), 0u);
        const size_t tagFrames = frames - reference.size() / (kFrameBytes / 2);
        ASSERT_LE(tagFrames, 1u);
        const Bytes rendered = Render(Files().dir, path);
        const Bytes decoded = Decode(Files().dir, path);
        EXPECT_EQ(decoded.size(), frames * kFrameBytes);
        EXPECT_GT(rendered.size() + 2 * kFrameBytes, decoded.size());  // short by under two frames
        for (const Bytes* out : {&rendered, &decoded}) {
            const auto audio = std::span(*out).subspan(tagFrames * kFrameBytes);
            EXPECT_LE(MaxDifference(audio, reference), 1);
            EXPECT_TRUE(std::all_of(out->begin(),
                                    out->begin() + ptrdiff_t(audio.data() - out->data()),
                                    [](uint8_t b) { return b == 0; }));
        }
        const EngineRun run = PlayFile(path);
        EXPECT_TRUE(run.pcm == rendered);
        EXPECT_EQ(run.format.sampleRateHz, 44100);
        EXPECT_EQ(run.format.channels, 2);
    }
}

TEST(MpegPlayback, ClipBoundsCutTheDecodedStream) {
    const std::vector<int16_t> reference = Mpg123Samples(Files().mp2);
    const std::pair<uint32_t, uint32_t> bounds[] = {
        {0, 1000}, {0, 3000}, {500, 3500}, {1000, 1600}};
    for (const auto& [startMs, endMs] : bounds) {
        SCOPED_TRACE(std::to_string(startMs) + " to " + std::to_string(endMs));
        const EngineRun run = PlayFile(Files().mp2, startMs, endMs);
        const uint32_t begin = BytePosition(startMs, 44100, 2) / 4 * 4;
        // P(endMs), or the end of the clip's last frame when that comes first.
        const uint32_t end =
            std::min(BytePosition(endMs, 44100, 2), (run.clip.endFrame + 1) * 1152 * 4) / 4 * 4;
        ASSERT_EQ(run.pcm.size(), end - begin);
        EXPECT_LE(MaxDifference(run.pcm, reference, begin / 2), 1);
    }
}

TEST(MpegPlayback, RefusedFrameIsSilenceNotStaleAudio) {
    // Twice the sample: five buffers, so buffer 3 reuses the slots of buffer 1. Frame 197
    // (buffer 3, slot 5) gets an invalid layer and is refused.
    Bytes twice = Concat({Sample(), Sample()});
    const std::vector<size_t> offsets = FrameOffsets(twice);
    ASSERT_EQ(offsets.size(), 309u);
    twice[offsets[197] + 1] &= 0xF9;
    TempDir dir;
    const std::string path = WriteBytes(dir.Path("broken.mp2"), twice);
    const EngineRun run = PlayFile(path);
    const size_t slot = 1152 * 4;
    ASSERT_GE(run.pcm.size(), 198 * slot);
    EXPECT_TRUE(std::all_of(run.pcm.begin() + ptrdiff_t(197 * slot),
                            run.pcm.begin() + ptrdiff_t(198 * slot),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(IsStartOf(run.pcm, Decode(dir, path)));
}

}  // namespace
}  // namespace zirvak::test
