// MPEG playback: the clip plan (stream length, frames, buffers), byte positions of times,
// where the audio lies between tags and junk, and what the engine plays compared with the
// command-line decoder's output for the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mpeg_source.h"
#include "player_fixtures.h"

namespace zirvak::test {
namespace {

constexpr float kFrameMs44k = 1152 * 1000.0f / 44100;  // 26.12245 ms

TEST(MpegClip, PlanTurnsBoundsIntoFramesAndBuffers) {
    struct Case {
        const char* name;
        ClipInput in;
        ClipPlan want;  // startMs, endMs, lengthMs, startFrame, endFrame, framesPerBuffer, last
    };
    const Case cases[] = {
        {"under 64 frames",
         {16000, 128, 0, 417, kFrameMs44k, 0, kDefaultEndMs},
         {0, 1000, 1000, 0, 38, 39, 0}},
        {"exactly 128 frames",
         {73152, 192, 0, 576, 24.0f, 0, kDefaultEndMs},
         {0, 3048, 3048, 0, 127, 64, 1}},
        {"129 frames",
         {73728, 192, 0, 576, 24.0f, 0, kDefaultEndMs},
         {0, 3072, 3072, 0, 128, 64, 2}},
        {"longer than 100 minutes",
         {200000000, 128, 0, 417, kFrameMs44k, 0, kDefaultEndMs},
         {0, 6000000, 12500000, 0, 229687, 64, 3588}},
        {"end before the stream's end",
         {16000, 128, 0, 417, kFrameMs44k, 0, 500},
         {0, 500, 1000, 0, 19, 20, 0}},
        {"start inside",
         {16000, 128, 0, 417, kFrameMs44k, 100, 600},
         {100, 600, 1000, 3, 22, 20, 0}},
        {"start after end",
         {16000, 128, 0, 417, kFrameMs44k, 5000, 100},
         {0, 1000, 1000, 0, 38, 39, 0}},
        {"start past the stream",
         {16000, 128, 0, 417, kFrameMs44k, 2000, 3000},
         {0, 1000, 1000, 0, 38, 39, 0}},
        {"no bounds: whole frames",
         {16000, 128, 0, 417, kFrameMs44k, 0, 0},
         {0, 984, 1000, 0, 37, 38, 0}},
        {"VBR header frame count",
         {50000, 0, 100, 0, kFrameMs44k, 0, kDefaultEndMs},
         {0, 2612, 2612, 0, 99, 64, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClipPlan got = PlanClip(c.in);
        EXPECT_EQ(got.startMs, c.want.startMs);
        EXPECT_EQ(got.endMs, c.want.endMs);
        EXPECT_EQ(got.lengthMs, c.want.lengthMs);
        EXPECT_EQ(got.startFrame, c.want.startFrame);
        EXPECT_EQ(got.endFrame, c.want.endFrame);
        EXPECT_EQ(got.framesPerBuffer, c.want.framesPerBuffer);
        EXPECT_EQ(got.lastBufferIndex, c.want.lastBufferIndex);
    }
}

TEST(MpegClip, BytePositionRoundsAsTheBuffersAreCut) {
    struct Case {
        uint32_t t, rate;
        int32_t channels;
        uint32_t want;
    };
    const Case cases[] = {
        {0, 44100, 2, 0},   {10, 44100, 2, 1768},     {7, 44100, 2, 1236},    {5, 44100, 1, 442},
        {3, 22050, 1, 132}, {1000, 48000, 2, 192000}, {333, 32000, 1, 21312},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BytePosition(c.t, c.rate, c.channels), c.want)
            << c.t << " ms at " << c.rate << " Hz x" << c.channels;
    }
}

// An ID3v2 tag of `size` bytes in all (its size bytes used whole), or an ID3v1 block.
Bytes Id3v2(uint8_t sizeLow) {
    Bytes tag(size_t(sizeLow) + 10, 0x20);
    std::memcpy(tag.data(), "ID3\x03\x00\x00\x00\x00\x00", 9);
    tag[9] = sizeLow;
    return tag;
}

Bytes Id3v1() {
    Bytes tag(128, 0x20);
    std::memcpy(tag.data(), "TAG", 3);
    return tag;
}

// Junk with things that look like frame syncs but are not valid headers.
Bytes Junk() {
    Bytes junk(300, 0x00);
    const uint8_t notHeaders[][4] = {{0xFF, 0xFB, 0xF0, 0x00},
                                     {0xFF, 0xE0, 0x00, 0x00},
                                     {0xFF, 0xFF, 0xFF, 0xFF},
                                     {0xFF, 0xFD, 0xAC, 0x00}};
    for (size_t i = 0; i < std::size(notHeaders); ++i)
        std::memcpy(&junk[40 + 50 * i], notHeaders[i], 4);
    return junk;
}

TEST(MpegSource, TagsAreLeftOutAndJunkIsCounted) {
    const Bytes sample = Sample();
    const Bytes file = Concat({Id3v2(0x85), Junk(), sample, Id3v1()});
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MpegAudioBounds bounds;
    ASSERT_TRUE(LocateMpegAudio(*decoder, file, bounds));
    EXPECT_EQ(bounds.audioStart, 0x85u + 10);
    EXPECT_EQ(bounds.firstFrame, 0x85u + 10 + 300);
    EXPECT_EQ(bounds.audioBytes, 300 + sample.size());

    // A tag that claims more than the file holds, or no frame at all: nothing to play.
    Bytes overlong = Concat({Id3v2(0x85), sample});
    overlong[6] = 0x7F;
    EXPECT_FALSE(LocateMpegAudio(*decoder, overlong, bounds));
    EXPECT_FALSE(LocateMpegAudio(*decoder, Concat({Id3v2(0x85), Junk(), Id3v1()}), bounds));
}

// The engine's output for `path`, played to the end on the stepped device.
struct EngineRun {
    Bytes pcm;
    ClipPlan clip;
    uint32_t framesPerBuffer = 0;
    uint32_t lastBufferIndex = 0;
    size_t buffers = 0;
    AudioFormat format;
};

EngineRun PlayFile(const std::string& path, uint32_t startMs = 0, uint32_t endMs = kDefaultEndMs) {
    SteppedAudioDevice device;
    PlayerEngine engine(device);
    EngineRun run;
    EXPECT_EQ(engine.Open(path, startMs, endMs), kOpenStarted) << path;
    run.clip = engine.clip();
    run.framesPerBuffer = engine.framesPerBuffer();
    run.lastBufferIndex = engine.lastBufferIndex();
    device.CompleteAll();
    run.pcm = device.AllBytes();
    run.buffers = device.written.size();
    run.format = device.format;
    for (const SteppedAudioDevice::Written& w : device.written)
        EXPECT_EQ(w.bytes.size() % size_t(2 * run.format.channels), 0u) << "part of a sample frame";
    return run;
}

// True when `played` is `decoded` over the played length.
bool PlaysAsDecoded(const Bytes& played, const Bytes& decoded) {
    return played.size() <= decoded.size() &&
           std::equal(played.begin(), played.end(), decoded.begin());
}

TEST(MpegPlayback, RenderIsTheDecodedStream) {
    struct Case {
        std::string path;
        int32_t rate, channels;
    };
    const Case cases[] = {
        {Files().mp2(), 44100, 2},    {Files().mp2Short(), 44100, 2}, {Files().mp3(), 44100, 2},
        {Files().mp3Vbr(), 44100, 2}, {Files().mp3Low(), 8000, 1},
    };
    for (const Case& c : cases) {
        const std::string& path = c.path;
        SCOPED_TRACE(path);
        const Bytes rendered = Render(Files().dir, path);
        const Bytes decoded = Decode(Files().dir, path);
        EXPECT_TRUE(PlaysAsDecoded(rendered, decoded));
        // Short of the decoded stream by less than two frames.
        EXPECT_GT(rendered.size() + 2 * 1152 * 4, decoded.size());
        const EngineRun run = PlayFile(path);
        EXPECT_TRUE(run.pcm == rendered);
        EXPECT_EQ(run.format.sampleRateHz, c.rate);
        EXPECT_EQ(run.format.channels, c.channels);
    }
}

TEST(MpegPlayback, ClipOfFewerThan64FramesIsOneBuffer) {
    // 40 frames: D = 1040 ms, so frames 0 to 39 in one buffer, cut at P(1040).
    const EngineRun run = PlayFile(Files().mp2Short());
    EXPECT_EQ(run.clip.endMs, 1040u);
    EXPECT_EQ(run.framesPerBuffer, 40u);
    EXPECT_EQ(run.lastBufferIndex, 0u);
    EXPECT_EQ(run.buffers, 1u);
    EXPECT_EQ(run.pcm.size(), BytePosition(1040, 44100, 2));
    EXPECT_TRUE(PlaysAsDecoded(run.pcm, Decode(Files().dir, Files().mp2Short())));
}

TEST(MpegPlayback, TagsDoNotChangeWhatPlaysAndJunkLengthensTheClip) {
    const Bytes sample = Sample();
    TempDir dir;
    WriteBytes(dir.Path("tagged.mp2"), Concat({Id3v2(0x85), sample, Id3v1()}));
    WriteBytes(dir.Path("junk.mp2"), Concat({Junk(), sample}));
    const EngineRun plain = PlayFile(Files().mp2());
    const EngineRun tagged = PlayFile(dir.Path("tagged.mp2"));
    EXPECT_EQ(tagged.clip.lengthMs, plain.clip.lengthMs);
    EXPECT_TRUE(tagged.pcm == plain.pcm);

    const EngineRun junk = PlayFile(dir.Path("junk.mp2"));
    EXPECT_EQ(junk.clip.lengthMs, uint32_t((sample.size() + 300) / 160 * 8));
    EXPECT_GT(junk.clip.lengthMs, plain.clip.lengthMs);
    EXPECT_TRUE(PlaysAsDecoded(plain.pcm, junk.pcm));
}

TEST(MpegPlayback, EndMsCutsTheClip) {
    // The first 1000 ms or 3000 ms of the stream, in one buffer or in two.
    for (uint32_t endMs : {1000u, 3000u}) {
        const EngineRun run = PlayFile(Files().mp2(), 0, endMs);
        EXPECT_EQ(run.lastBufferIndex, endMs / 1700);
        EXPECT_EQ(run.pcm.size(), BytePosition(endMs, 44100, 2));
        EXPECT_TRUE(PlaysAsDecoded(run.pcm, Decode(Files().dir, Files().mp2())));
    }
}

TEST(MpegPlayback, ClipStartingInsideTheStreamPlaysFromItsStartToItsEnd) {
    const Bytes decoded = Decode(Files().dir, Files().mp2());
    struct Case {
        uint32_t startMs, endMs;
    };
    for (const Case c : {Case{500, 3500}, Case{1000, 1600}, Case{200, 4000}}) {
        SCOPED_TRACE(std::to_string(c.startMs) + " to " + std::to_string(c.endMs));
        const EngineRun run = PlayFile(Files().mp2(), c.startMs, c.endMs);
        const uint32_t begin = BytePosition(c.startMs, 44100, 2) / 4 * 4;
        // The end is P(endMs), or the end of the clip's last frame when that comes first.
        const uint32_t end =
            std::min(BytePosition(c.endMs, 44100, 2), (run.clip.endFrame + 1) * 1152 * 4) / 4 * 4;
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
    WriteBytes(dir.Path("broken.mp2"), twice);
    const EngineRun run = PlayFile(dir.Path("broken.mp2"));
    ASSERT_EQ(run.lastBufferIndex, 4u);
    const size_t slot = 1152 * 4;
    ASSERT_GE(run.pcm.size(), 198 * slot);
    EXPECT_TRUE(std::all_of(run.pcm.begin() + ptrdiff_t(197 * slot),
                            run.pcm.begin() + ptrdiff_t(198 * slot),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(PlaysAsDecoded(run.pcm, Decode(dir, dir.Path("broken.mp2"))));
}

}  // namespace
}  // namespace zirvak::test
