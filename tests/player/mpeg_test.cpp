// MPEG playback: the clip plan, where the audio lies between tags and junk, and what the engine
// plays compared with zirvak-cli decode of the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "mpeg_source.h"
#include "player_fixtures.h"

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
        {"under 64 frames",
         {16000, 128, 0, 417, kFrameMs, 0, kDefaultEndMs},
         {0, 1000, 1000, 0, 38, 39, 0}},
        {"exactly 128 frames",
         {73152, 192, 0, 576, 24.0f, 0, kDefaultEndMs},
         {0, 3048, 3048, 0, 127, 64, 1}},
        {"129 frames",
         {73728, 192, 0, 576, 24.0f, 0, kDefaultEndMs},
         {0, 3072, 3072, 0, 128, 64, 2}},
        {"over 100 minutes",
         {200000000, 128, 0, 417, kFrameMs, 0, kDefaultEndMs},
         {0, 6000000, 12500000, 0, 229687, 64, 3588}},
        {"small endMs", {16000, 128, 0, 417, kFrameMs, 0, 500}, {0, 500, 1000, 0, 19, 20, 0}},
        {"VBR frame count",
         {50000, 0, 100, 0, kFrameMs, 0, kDefaultEndMs},
         {0, 2612, 2612, 0, 99, 64, 1}},
    };
    for (const auto& c : cases) {
        const ClipPlan p = PlanClip(c.in);
        EXPECT_EQ(Plan({p.startMs, p.endMs, p.lengthMs, p.startFrame, p.endFrame, p.framesPerBuffer,
                        p.lastBufferIndex}),
                  c.want)
            << c.name;
    }
}

Bytes Id3v2() {  // 0x85 bytes of tag after its 10-byte header
    Bytes tag(0x85 + 10, 0x20);
    std::memcpy(tag.data(), "ID3\3\0\0\0\0\0\x85", 10);
    return tag;
}

// 300 bytes with things that look like frame syncs but are not valid headers.
Bytes Junk() {
    Bytes junk(300, 0x00);
    const uint8_t notHeaders[][4] = {{0xFF, 0xFB, 0xF0, 0x00},
                                     {0xFF, 0xE0, 0x00, 0x00},
                                     {0xFF, 0xFF, 0xFF, 0xFF},
                                     {0xFF, 0xFD, 0xAC, 0x00}};
    for (size_t i = 0; i < 4; ++i) std::memcpy(&junk[40 + 50 * i], notHeaders[i], 4);
    return junk;
}

struct EngineRun {
    Bytes pcm;
    ClipPlan clip;
    AudioFormat format;
};

EngineRun PlayFile(const std::string& path, uint32_t startMs = 0, uint32_t endMs = kDefaultEndMs) {
    SteppedAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(path, startMs, endMs), kOpenStarted) << path;
    EngineRun run{{}, engine.clip(), device.format};
    device.CompleteAll();
    run.pcm = device.AllBytes();
    return run;
}

// True when `played` is the start of `decoded`.
bool IsStartOf(const Bytes& played, const Bytes& decoded) {
    return played.size() <= decoded.size() &&
           std::equal(played.begin(), played.end(), decoded.begin());
}

TEST(MpegClip, TagsAreLeftOutAndJunkBeforeTheFirstFrameCounts) {
    const Bytes sample = Sample();
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MpegAudioBounds bounds;
    Bytes id3v1(128, 0x20);
    std::memcpy(id3v1.data(), "TAG", 3);
    const Bytes file = Concat({Id3v2(), Junk(), sample, id3v1});
    ASSERT_TRUE(LocateMpegAudio(*decoder, file, bounds));
    EXPECT_EQ(bounds.audioStart, 0x85u + 10);
    EXPECT_EQ(bounds.firstFrame, 0x85u + 10 + 300);
    EXPECT_EQ(bounds.audioBytes, 300 + sample.size());

    // Junk before the first frame counts in D.
    TempDir dir;
    const EngineRun junk = PlayFile(WriteBytes(dir.Path("j.mp2"), Concat({Junk(), sample})));
    EXPECT_EQ(junk.clip.lengthMs, uint32_t((sample.size() + 300) / 160 * 8));
}

TEST(MpegPlayback, RenderAndTheEngineAreTheDecodedStream) {
    for (const std::string& path : {Files().mp2, Files().mp3}) {
        SCOPED_TRACE(path);
        const Bytes rendered = Render(Files().dir, path);
        const Bytes decoded = Decode(Files().dir, path);
        EXPECT_TRUE(IsStartOf(rendered, decoded));
        EXPECT_GT(rendered.size() + 2 * 1152 * 4, decoded.size());  // short by under two frames
        const EngineRun run = PlayFile(path);
        EXPECT_TRUE(run.pcm == rendered);
        EXPECT_EQ(run.format.sampleRateHz, 44100);
        EXPECT_EQ(run.format.channels, 2);
    }
}

TEST(MpegPlayback, ClipBoundsCutTheDecodedStream) {
    const Bytes decoded = Decode(Files().dir, Files().mp2);
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
        EXPECT_TRUE(std::equal(run.pcm.begin(), run.pcm.end(), decoded.begin() + begin));
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
