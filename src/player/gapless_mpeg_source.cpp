#include "gapless_mpeg_source.h"

#include <algorithm>
#include <cstring>

namespace zirvak {

std::optional<GaplessTrim> GaplessTrimOf(const MpegStream& stream) {
    const uint64_t slots = stream.playableSlots();
    const bool headerFrame = stream.hasVbrHeader() || stream.tagFrame;
    if (slots <= (headerFrame ? 1u : 0u)) return std::nullopt;
    const uint64_t perFrame = stream.samplesPerFrame();
    const uint64_t skipHeader = headerFrame ? perFrame : 0;
    const uint64_t encoded = slots * perFrame - skipHeader;
    uint64_t delay = 0, padding = 0, told = 0;
    if (stream.encoderGap) {
        delay = uint64_t(stream.encoderGap->delay);
        padding = uint64_t(stream.encoderGap->padding);
    } else if (stream.itunesGap) {
        delay = stream.itunesGap->delay;
        padding = stream.itunesGap->padding;
        told = stream.itunesGap->samples;
    } else {
        // The header's frame alone is left out.
        if (!headerFrame) return std::nullopt;
        return GaplessTrim{skipHeader, encoded};
    }
    const uint64_t skip = delay + kDecoderDelay;
    if (encoded <= skip || encoded <= delay + padding) return std::nullopt;
    // Padding shorter than the decoder's delay: the song ends with the decoded samples.
    uint64_t song = std::min(encoded - delay - padding, encoded - skip);
    if (told > 0 && told < song) song = told;
    return GaplessTrim{skipHeader + skip, song};
}

GaplessMpegSource::GaplessMpegSource(InputFile& file, uint32_t clipEndMs)
    : inner_(file, 0, clipEndMs) {}

uint32_t GaplessMpegSource::lengthMs() const {
    if (!trim_) return inner_.lengthMs();
    const auto rate = uint64_t(std::max(format().sampleRateHz, 1));
    return uint32_t(std::min<uint64_t>(trim_->songFrames * 1000 / rate, UINT32_MAX));
}

RunStart GaplessMpegSource::Start(std::optional<uint32_t> seekMs) {
    if (!trimKnown_) {
        // The first start reads the stream, and with it the LAME tag.
        RunStart first = inner_.Start(std::nullopt);
        if (first.problem != FileProblem::kNone || first.noBufferMemory) return first;
        trimKnown_ = true;
        trim_ = GaplessTrimOf(inner_.stream());
        if (!trim_ && !seekMs) return first;
    }
    if (!trim_) return inner_.Start(seekMs);

    const AudioFormat shape = inner_.format();
    frameBytes_ = uint32_t(shape.channels) * 2;
    RunStart run;
    if (!buffers_.allocated() && !buffers_.Allocate(frameBytes_)) {
        run.noBufferMemory = true;
        return run;
    }
    const auto rate = uint64_t(shape.sampleRateHz);
    const uint64_t songFrame = RunStartFrame(seekMs, shape.sampleRateHz, trim_->songFrames);
    // The inner source lands a seek by its own arithmetic, near the millisecond asked for but
    // not on its exact sample frame: it is asked for a little earlier (from the start when it
    // lands after the frame wanted), and what lies before the frame wanted is passed over.
    constexpr uint64_t kEarlierMs = 100;
    const uint64_t target = songFrame + trim_->skipFrames;
    const uint64_t targetMs = target * 1000 / rate;
    RunStart inner = inner_.Start(uint32_t(targetMs > kEarlierMs ? targetMs - kEarlierMs : 0));
    if (inner.problem == FileProblem::kNone && !inner.noBufferMemory && inner.startFrame > target)
        inner = inner_.Start(std::nullopt);
    if (inner.problem != FileProblem::kNone || inner.noBufferMemory) return inner;
    discardBytes_ = (target - inner.startFrame) * frameBytes_;
    innerAt_ = inner.first.data;
    innerLeft_ = inner.first.length;
    innerIndex_ = 0;
    innerLast_ = inner.lastBufferIndex;
    innerEnded_ = inner.first.cameShort;
    buffers_.BeginRun(run, songFrame, trim_->songFrames - songFrame,
                      [this](int16_t* out, uint32_t frames) { return Pull(out, frames); });
    return run;
}

SourceBuffer GaplessMpegSource::Fill(uint8_t buffer, uint32_t index) {
    if (!trim_) return inner_.Fill(buffer, index);
    return buffers_.Fill(buffer, index,
                         [this](int16_t* out, uint32_t frames) { return Pull(out, frames); });
}

// Copies up to `frames` sample frames of the song from the inner run; fewer when it ends first.
uint32_t GaplessMpegSource::Pull(int16_t* out, uint32_t frames) {
    auto* to = reinterpret_cast<uint8_t*>(out);
    uint64_t wanted = uint64_t(frames) * frameBytes_;
    uint64_t copied = 0;
    while (wanted > 0) {
        if (innerLeft_ == 0) {
            if (innerEnded_ || innerIndex_ >= innerLast_) break;
            ++innerIndex_;
            const SourceBuffer next = inner_.Fill(uint8_t(innerIndex_ % 2), innerIndex_);
            innerAt_ = next.data;
            innerLeft_ = next.length;
            innerEnded_ = next.cameShort;
            continue;
        }
        if (discardBytes_ > 0) {
            const auto passed = uint32_t(std::min<uint64_t>(discardBytes_, innerLeft_));
            innerAt_ += passed;
            innerLeft_ -= passed;
            discardBytes_ -= passed;
            continue;
        }
        const auto n = uint32_t(std::min<uint64_t>(wanted, innerLeft_));
        std::memcpy(to + copied, innerAt_, n);
        innerAt_ += n;
        innerLeft_ -= n;
        copied += n;
        wanted -= n;
    }
    return uint32_t(copied / frameBytes_);
}

}  // namespace zirvak
