#include "mpeg_clip.h"

#include <algorithm>
#include <cmath>

namespace zirvak {

namespace {

uint32_t ClampToU32(double v) {
    return v <= 0 ? 0 : v >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(v);
}

// Stream length in ms. A VBR header's frame count is believed only as far as the bytes could
// hold that many frames even at the lowest bit rate: a corrupt count must not turn into
// minutes of silence.
uint32_t StreamLengthMs(const ClipInput& in) {
    if (in.bitrateKbps != 0) return ClampToU32(double(in.audioBytes / in.bitrateKbps) * 8);
    double frames = in.vbrFrames;
    if (in.nominalFrameLength != 0)
        frames = std::min(frames, double(in.audioBytes / in.nominalFrameLength + 1));
    return ClampToU32(frames * double(in.frameMs));
}

}  // namespace

ClipPlan PlanClip(const ClipInput& in) {
    ClipPlan plan;
    const uint32_t d = StreamLengthMs(in);
    plan.lengthMs = d;

    uint32_t startMs = in.startMs;
    uint32_t endMs = in.endMs;
    if (startMs > endMs) {
        startMs = 0;
        endMs = d;
    }
    if (startMs == 0 && endMs == 0) {
        // No bounds: the whole frames the stream holds.
        if (in.nominalFrameLength != 0 && in.bitrateKbps != 0)
            endMs = ClampToU32(double(in.audioBytes / in.nominalFrameLength *
                                      in.nominalFrameLength / in.bitrateKbps) *
                               8);
        else
            endMs = d;
    }
    if (d < startMs) startMs = 0;
    if (d < endMs) endMs = d;
    plan.startMs = startMs;
    plan.endMs = endMs;

    if (in.frameMs > 0) {
        plan.startFrame = ClampToU32(float(startMs) / in.frameMs);
        plan.endFrame = ClampToU32(float(endMs) / in.frameMs);
    }
    const uint32_t total = std::max(plan.endFrame - plan.startFrame + 1, 1u);
    plan.framesPerBuffer = total < kFramesPerBuffer ? total : kFramesPerBuffer;
    plan.lastBufferIndex = total / plan.framesPerBuffer;
    if (total % plan.framesPerBuffer == 0) plan.lastBufferIndex -= 1;
    return plan;
}

uint32_t BytePosition(uint32_t t, uint32_t sampleRateHz, int32_t channels) {
    const double bytesPerMs = double(sampleRateHz) * double(channels) * 2.0 / 1000.0;
    const double x = bytesPerMs * double(t);
    const auto whole = uint64_t(x);
    const auto step = uint64_t(bytesPerMs);
    return uint32_t(x + double(step ? whole % step : 0));
}

}  // namespace zirvak
