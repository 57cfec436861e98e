// An audio device that hands buffers back only when told to, on the calling thread. It reads
// every byte written, as a sound card would, so a buffer freed too early shows under the
// sanitizers. Used where a run is driven step by step without a test framework: the fuzz
// targets and the refill benchmark.
#pragma once

#include <cstdint>
#include <deque>

#include "audio_device.h"

namespace zirvak {

class ManualAudioDevice final : public AudioDevice {
public:
    bool Open(const AudioFormat&, AudioDeviceListener* listener) override {
        listener_ = listener;
        return true;
    }
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override {
        uint32_t sum = 0;
        for (uint32_t i = 0; i < length; ++i) sum += data[i];
        checksum_ += sum;
        queued_.push_back(tag);
    }
    void Pause() override {}
    void Resume() override {}
    void Reset() override {
        while (CompleteOldest()) {
        }
    }
    void Close() override { Reset(); }

    // Reports the oldest queued buffer done; false when none is queued.
    bool CompleteOldest() {
        if (queued_.empty()) return false;
        const int32_t tag = queued_.front();
        queued_.pop_front();
        listener_->OnBufferDone(tag);
        return true;
    }

private:
    AudioDeviceListener* listener_ = nullptr;
    std::deque<int32_t> queued_;
    uint32_t checksum_ = 0;
};

}  // namespace zirvak
