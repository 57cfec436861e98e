#include "mpeg_clip.h"

#include <cmath>

namespace zirvak {

ClipPlan PlanClip(const ClipInput& in) {
    ClipPlan plan;
    uint32_t d = 0;
    if (in.bitrateKbps != 0) d = in.audioBytes / in.bitrateKbps * 8;
    else d = uint32_t(double(in.vbrFrames) * double(in.frameMs));
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
            endMs = in.audioBytes / in.nominalFrameLength * in.nominalFrameLength / in.bitrateKbps * 8;
        else
            endMs = d;
    }
    if (d < startMs) startMs = 0;
    if (d < endMs) endMs = d;
    plan.startMs = startMs;
    plan.endMs = endMs;

    if (in.frameMs > 0) {
        plan.startFrame = uint32_t(float(startMs) / in.frameMs);
        plan.endFrame = uint32_t(float(endMs) / in.frameMs);
    }
    const uint32_t total = plan.endFrame - plan.startFrame + 1;
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
