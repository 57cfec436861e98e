// Which part of an MPEG stream a run plays, in frames and output buffers, and where a time
// falls in the decoded bytes.
#pragma once

#include <cstdint>

namespace zirvak {

inline constexpr uint32_t kFramesPerBuffer = 64;

struct ClipInput {
    uint64_t slotCount = 0;    // frames the walk yields, a VBR header's own frame included
    uint64_t audioFrames = 0;  // frames of sound among them
    float frameMs = 0;         // duration of one frame
    uint32_t startMs = 0;
    uint32_t endMs = 0;
};

struct ClipPlan {
    uint32_t startMs = 0;  // bounds after clamping to the stream's length
    uint32_t endMs = 0;
    uint32_t lengthMs = 0;  // the stream's length, D
    uint32_t startFrame = 0;
    uint32_t endFrame = 0;
    uint32_t framesPerBuffer = kFramesPerBuffer;
    uint32_t lastBufferIndex = 0;  // buffers 0 .. lastBufferIndex are played
    // The clip runs to the end of the stream: its last buffer ends with the last frame rather
    // than at the byte position of endMs.
    bool toStreamEnd = false;
};

// Stream length D (ms): the frames of sound times the frame duration. Then the bounds are
// clamped to D and turned into frames and buffers of 64 frames.
ClipPlan PlanClip(const ClipInput& in);

// Byte position of time t (ms) in 16-bit PCM of `sampleRateHz` × `channels`, in the rounding
// the buffers are cut with.
uint32_t BytePosition(uint32_t t, uint32_t sampleRateHz, int32_t channels);

// The decoded stream a clip is cut from: 16-bit PCM of `sampleRateHz` × `channels`, each frame
// decoding to `frameBytes`.
struct DecodedPcm {
    uint32_t sampleRateHz = 0;
    int32_t channels = 0;
    uint32_t frameBytes = 0;
};

// Where output buffer `index` of the clip begins in the decoded stream (a byte position from the
// stream's first frame): at the first byte of its first frame.
uint64_t BufferStreamByte(const ClipPlan& clip, const DecodedPcm& pcm, uint32_t index);
// Where the first buffer's bytes begin within the `decodedBytes` decoded from the clip's start
// frame on: the clip's start may lie inside that frame. On a sample frame, within what was
// decoded.
uint32_t StartOffset(const ClipPlan& clip, const DecodedPcm& pcm, uint32_t decodedBytes);
// The frames the last buffer (number `index`) decodes: those left of the clip, at most a
// buffer's worth.
uint32_t FramesInLastBuffer(const ClipPlan& clip, uint32_t index);
// Bytes from `streamByte` to the end of the clip, at most `available`, in whole sample frames.
uint32_t BytesToClipEnd(const ClipPlan& clip, const DecodedPcm& pcm, uint64_t streamByte,
                        uint32_t available);

}  // namespace zirvak
