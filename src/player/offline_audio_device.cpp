#include "offline_audio_device.h"

namespace zirvak {

bool OfflineAudioDevice::Open(const AudioFormat& format, AudioDeviceListener* listener) {
    Close();
    ok_ = writer_.Open(path_, true, format.sampleRateHz, format.channels, 16);
    if (!ok_) return false;
    listener_ = listener;
    open_ = true;
    return true;
}

void OfflineAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    if (!open_) return;
    if (!writer_.Write(data, length)) ok_ = false;
    std::lock_guard lock(mutex_);
    pending_.push_back(tag);
}

int OfflineAudioDevice::DeliverCompletions() {
    int delivered = 0;
    for (;;) {
        int32_t tag;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) return delivered;
            tag = pending_.front();
            pending_.pop_front();
        }
        listener_->OnBufferDone(tag);
        ++delivered;
    }
}

void OfflineAudioDevice::Reset() {
    // Everything written is already in the file; what is queued is simply reported done.
    DeliverCompletions();
}

void OfflineAudioDevice::Close() {
    if (!open_) return;
    Reset();
    if (!writer_.Close()) ok_ = false;
    open_ = false;
    listener_ = nullptr;
}

}  // namespace zirvak
