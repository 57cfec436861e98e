#include "offline_audio_device.h"

namespace zirvak {

OfflineAudioDevice::OfflineAudioDevice(std::string path) : path_(std::move(path)) {
    player_.keepCopies = false;
    player_.onPlayed = [this](const uint8_t* data, uint32_t length) {
        if (!writer_.Write(data, length)) ok_ = false;
    };
}

bool OfflineAudioDevice::Open(const AudioFormat& format, AudioDeviceListener* listener) {
    if (open_) return false;
    ok_ = writer_.Open(path_, true, format.sampleRateHz, format.channels, 16);
    if (!ok_ || !player_.Open(format, listener)) return false;
    open_ = true;
    return true;
}

void OfflineAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    if (open_) player_.Write(data, length, tag);
}

int OfflineAudioDevice::DeliverCompletions() {
    int delivered = 0;
    while (player_.CompleteOldest()) ++delivered;
    return delivered;
}

void OfflineAudioDevice::Close() {
    if (!open_) return;
    player_.Close();
    if (!writer_.Close()) ok_ = false;
    open_ = false;
}

}  // namespace zirvak
