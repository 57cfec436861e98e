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

}  // namespace zirvak
