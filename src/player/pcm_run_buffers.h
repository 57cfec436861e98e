// The two output buffers of a source that decodes to 16-bit PCM, and the plan of a run over
// them: how many buffers a run of so many sample frames takes, how long each one is, and where
// the run ends when the decoding comes short.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "audio_source.h"
#include "zeroed_bytes.h"

namespace zirvak {

// The song's sample frame a run from `seekMs` begins at (0 without it), at `rateHz`, never past
// the song's `frames`.
inline uint64_t RunStartFrame(std::optional<uint32_t> seekMs, int32_t rateHz, uint64_t frames) {
    if (!seekMs) return 0;
    const uint64_t frame = uint64_t(*seekMs) * uint64_t(rateHz > 0 ? rateHz : 0) / 1000;
    return frame < frames ? frame : frames;
}

class PcmRunBuffers {
public:
    static constexpr uint32_t kFramesPerBuffer = 65536;

    // Both buffers for frames of `frameBytes`; false, with nothing kept, when there is no memory.
    bool Allocate(uint32_t frameBytes) {
        frameBytes_ = frameBytes;
        buffers_[0] = AllocateZeroed(size_t(kFramesPerBuffer) * frameBytes);
        buffers_[1] = AllocateZeroed(size_t(kFramesPerBuffer) * frameBytes);
        if (!buffers_[0] || !buffers_[1]) buffers_ = {};
        return allocated();
    }
    void Release() { buffers_ = {}; }
    bool allocated() const { return buffers_[0] != nullptr; }

    // Plans a run of `frames` sample frames.
    void Plan(uint64_t frames) {
        runBytes_ = frames * frameBytes_;
        lastIndex_ = uint32_t(runBytes_ / bufferBytes());
    }
    uint32_t lastIndex() const { return lastIndex_; }

    // Plans a run of `frames` sample frames from the song's frame `startFrame`, fills its first
    // buffer through `produce` (as Fill does) and says so in `run`.
    template <class Produce>
    void BeginRun(RunStart& run, uint64_t startFrame, uint64_t frames, Produce&& produce) {
        Plan(frames);
        run.first = Fill(0, 0, std::forward<Produce>(produce));
        run.lastBufferIndex = lastIndex_;
        run.startFrame = startFrame;
    }

    // Fills output buffer `buffer` with buffer `index` of the run through `produce(out, frames)`,
    // which writes up to `frames` sample frames and returns how many it wrote. A buffer that
    // comes short is the run's last.
    template <class Produce>
    SourceBuffer Fill(uint8_t buffer, uint32_t index, Produce&& produce) {
        const auto length =
            uint32_t(index == lastIndex_ ? runBytes_ - index * bufferBytes() : bufferBytes());
        auto* out = reinterpret_cast<int16_t*>(buffers_[buffer].get());
        const uint32_t got = produce(out, length / frameBytes_) * frameBytes_;
        if (got < length) lastIndex_ = index;
        return {buffers_[buffer].get(), got, got < length};
    }

private:
    uint64_t bufferBytes() const { return uint64_t(kFramesPerBuffer) * frameBytes_; }

    std::array<std::unique_ptr<uint8_t[]>, 2> buffers_;
    uint32_t frameBytes_ = 0;
    uint64_t runBytes_ = 0;
    uint32_t lastIndex_ = 0;
};

}  // namespace zirvak
