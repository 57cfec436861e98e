// A test audio device stepped by hand: the test completes the oldest queued buffer when it
// wants, and can make Open fail. It records each buffer written (with a copy of its bytes) and
// each call in `log`, one letter each: O open, W write, P pause, R resume, X reset, C close.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "audio_device.h"

namespace zirvak::test {

class SteppedAudioDevice final : public AudioDevice {
public:
    struct Written {
        int32_t tag;
        const uint8_t* data;
        std::vector<uint8_t> bytes;
    };

    bool Open(const AudioFormat& requested, AudioDeviceListener* listener) override {
        std::lock_guard lock(mutex_);
        log += 'O';
        ++opens;
        if (failOpen) return false;
        format = requested;
        listener_ = listener;
        open = true;
        paused = false;
        return true;
    }
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override {
        std::lock_guard lock(mutex_);
        log += 'W';
        queued_.push_back(tag);
        written.push_back({tag, data, std::vector<uint8_t>(data, data + length)});
    }
    void Pause() override { log += 'P', paused = true; }
    void Resume() override { log += 'R', paused = false; }
    void Reset() override { log += 'X', CompleteAll(); }
    void Close() override {
        log += 'C';
        if (!open) return;
        CompleteAll();
        open = false;
        ++closes;
    }

    // Completes the oldest queued buffer; false when none is queued.
    bool CompleteOldest() {
        int32_t tag;
        {
            std::lock_guard lock(mutex_);
            if (queued_.empty()) return false;
            tag = queued_.front();
            queued_.pop_front();
        }
        listener_->OnBufferDone(tag);
        return true;
    }
    void CompleteAll() {
        while (CompleteOldest()) {
        }
    }
    size_t queuedCount() {
        std::lock_guard lock(mutex_);
        return queued_.size();
    }
    std::vector<uint8_t> AllBytes() const {
        std::vector<uint8_t> all;
        for (const Written& w : written) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
        return all;
    }

    bool failOpen = false;
    AudioFormat format;
    bool open = false, paused = false;
    int opens = 0, closes = 0;
    std::vector<Written> written;
    std::string log;

private:
    std::mutex mutex_;
    std::deque<int32_t> queued_;
    AudioDeviceListener* listener_ = nullptr;
};

}  // namespace zirvak::test
