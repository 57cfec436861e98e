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

uint64_t BufferStreamByte(const ClipPlan& clip, const DecodedPcm& pcm, uint32_t index) {
    return (clip.startFrame + uint64_t(clip.framesPerBuffer) * index) * pcm.frameBytes;
}

uint32_t StartOffset(const ClipPlan& clip, const DecodedPcm& pcm, uint32_t decodedBytes) {
    const uint32_t blockAlign = uint32_t(pcm.channels) * 2;
    const uint64_t startByte = BytePosition(clip.startMs, pcm.sampleRateHz, pcm.channels);
    const uint64_t framesBefore = BufferStreamByte(clip, pcm, 0);
    uint32_t offset = startByte > framesBefore ? uint32_t(startByte - framesBefore) : 0;
    offset = std::min(offset, decodedBytes);
    offset -= offset % blockAlign;
    return offset;
}

uint32_t FramesInLastBuffer(const ClipPlan& clip, uint32_t index) {
    const int64_t remaining =
        int64_t(clip.endFrame) - clip.startFrame - int64_t(clip.framesPerBuffer) * index + 1;
    return uint32_t(std::clamp<int64_t>(remaining, 0, int64_t(clip.framesPerBuffer)));
}

uint32_t BytesToClipEnd(const ClipPlan& clip, const DecodedPcm& pcm, uint64_t streamByte,
                        uint32_t available) {
    const int64_t end = BytePosition(clip.endMs, pcm.sampleRateHz, pcm.channels);
    int64_t length = std::clamp<int64_t>(end - int64_t(streamByte), 0, available);
    length -= length % (int64_t(pcm.channels) * 2);
    return uint32_t(length);
}

}  // namespace zirvak
