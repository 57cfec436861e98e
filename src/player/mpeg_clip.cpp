#include "mpeg_clip.h"

#include <algorithm>
#include <cmath>

namespace zirvak {

namespace {

uint32_t ClampToU32(double v) {
    return v <= 0 ? 0 : v >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(v);
}

}  // namespace

ClipPlan PlanClip(const ClipInput& in) {
    ClipPlan plan;
    const uint32_t d = ClampToU32(double(in.audioFrames) * double(in.frameMs));
    plan.lengthMs = d;

    uint32_t startMs = in.startMs;
    uint32_t endMs = in.endMs;
    if (startMs > endMs) {
        startMs = 0;
        endMs = d;
    }
    if (startMs == 0 && endMs == 0) endMs = d;  // no bounds: the whole stream
    if (d < startMs) startMs = 0;
    if (d < endMs) endMs = d;
    plan.startMs = startMs;
    plan.endMs = endMs;
    plan.toStreamEnd = endMs == d;

    const uint32_t lastSlot = ClampToU32(double(in.slotCount) - 1);
    if (in.frameMs > 0) {
        plan.startFrame = std::min(ClampToU32(float(startMs) / in.frameMs), lastSlot);
        plan.endFrame = std::min(ClampToU32(float(endMs) / in.frameMs), lastSlot);
    }
    if (plan.toStreamEnd) plan.endFrame = lastSlot;
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
