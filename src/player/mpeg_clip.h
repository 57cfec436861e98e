// Which part of an MPEG stream a run plays, in frames and output buffers, and where a time
// falls in the decoded bytes.
#pragma once

#include <cstdint>

namespace zirvak {

inline constexpr uint32_t kFramesPerBuffer = 64;

struct ClipInput {
    uint32_t audioBytes = 0;          // from the frame search start, less a trailing tag
    uint32_t bitrateKbps = 0;         // of the first frame; 0 when it carries a VBR header
    uint32_t vbrFrames = 0;           // frame count of a VBR header, else 0
    uint32_t nominalFrameLength = 0;  // bytes of a first-frame-sized frame, without padding
    float frameMs = 0;                // duration of one frame
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
};

// Stream length D (ms): audioBytes / bitrateKbps × 8 for a constant bit rate (junk before
// the first frame counts); the VBR header's frame count times the frame duration otherwise.
// Then the bounds are clamped to D and turned into frames and buffers of 64 frames.
ClipPlan PlanClip(const ClipInput& in);

// Byte position of time t (ms) in 16-bit PCM of `sampleRateHz` × `channels`, in the rounding
// the buffers are cut with.
uint32_t BytePosition(uint32_t t, uint32_t sampleRateHz, int32_t channels);

}  // namespace zirvak
