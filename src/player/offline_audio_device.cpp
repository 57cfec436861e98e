#include "offline_audio_device.h"

#include "volume.h"

namespace zirvak {

bool OfflineAudioDevice::Open(const AudioFormat& format, AudioDeviceListener* listener) {
    if (open_) return false;
    otherFormat_ = false;
    if (fileOpen_) {
        if (format.sampleRateHz != format_.sampleRateHz || format.channels != format_.channels) {
            otherFormat_ = true;
            return false;
        }
    } else {
        ok_ = writer_.Open(path_, true, format.sampleRateHz, format.channels, 16);
        if (!ok_) return false;
        fileOpen_ = true;
        format_ = format;
    }
    listener_ = listener;
    open_ = true;
    paused_ = false;
    return true;
}

void OfflineAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    if (open_) queue_.push_back({data, length, tag, gain()});
}

// Hands every queued buffer back unplayed. The queue is taken whole first, so a buffer written
// from one of these completions stays queued.
void OfflineAudioDevice::Reset() {
    std::deque<Queued> taken;
    taken.swap(queue_);
    for (const Queued& q : taken) listener_->OnBufferDone(q.tag);
}

int OfflineAudioDevice::DeliverCompletions(int most) {
    int delivered = 0;
    while (delivered < most && open_ && !paused_ && !queue_.empty()) {
        const Queued q = queue_.front();
        queue_.pop_front();
        // What the card would get: the volume and the song's gain applied to a copy.
        const uint8_t* bytes = q.data;
        if (volume() < kFullVolume || q.gain != 1.0) {
            scaled_.assign(q.data, q.data + q.length);
            ApplyGain(scaled_.data(), q.length, volume(), q.gain);
            bytes = scaled_.data();
        }
        if (!writer_.Write(bytes, q.length)) ok_ = false;
        listener_->OnBufferDone(q.tag);
        ++delivered;
    }
    return delivered;
}

void OfflineAudioDevice::Close() {
    if (!open_) return;
    Reset();
    open_ = false;
    if (!acrossSongs_) Finish();
}

void OfflineAudioDevice::Finish() {
    if (open_) Close();
    if (!fileOpen_) return;
    fileOpen_ = false;
    if (!writer_.Close()) ok_ = false;
}

}  // namespace zirvak
