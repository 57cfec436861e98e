#include "offline_audio_device.h"

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
    SetBufferChannels(format.channels);
    listener_ = listener;
    open_ = true;
    paused_ = false;
    return true;
}

void OfflineAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    // Never full: the engine has two buffers out at most.
    if (open_) queue_.Push(data, length, tag, gain(), bufferChannels());
}

// Hands every queued buffer back unplayed. The queue is taken whole first, so a buffer written
// from one of these completions stays queued.
void OfflineAudioDevice::Reset() {
    BufferQueue taken;
    std::swap(taken, queue_);
    while (!taken.empty()) listener_->OnBufferDone(taken.Pop().tag);
}

int OfflineAudioDevice::DeliverCompletions(int most) {
    int delivered = 0;
    while (delivered < most && open_ && !paused_ && !queue_.empty()) {
        // What the card would get: the volume and the song's gain applied to a copy.
        scaled_.resize(queue_.oldest().length);
        int32_t tag = 0;
        queue_.CopyOut(scaled_.data(), uint32_t(scaled_.size()), uint32_t(format_.channels),
                       volume(), [&tag](int32_t done) { tag = done; });
        if (!writer_.Write(scaled_.data(), scaled_.size())) ok_ = false;
        listener_->OnBufferDone(tag);
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
