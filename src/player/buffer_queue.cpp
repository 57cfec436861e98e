#include "buffer_queue.h"

#include <algorithm>
#include <cstring>

#include "volume.h"

namespace zirvak {

bool BufferQueue::Push(const uint8_t* data, uint32_t length, int32_t tag, double gain,
                       uint32_t channels) {
    if (count_ == kCapacity) return false;
    ring_[(head_ + count_) % kCapacity] = {data, length, tag, gain, channels == 1 ? 1u : 2u, 0};
    ++count_;
    return true;
}

BufferQueue::Entry BufferQueue::Pop() {
    const Entry taken = ring_[head_];
    ring_[head_] = {};
    head_ = (head_ + 1) % kCapacity;
    --count_;
    return taken;
}

uint32_t BufferQueue::CopyFromOldest(uint8_t* out, uint32_t length, uint32_t outChannels,
                                     uint32_t volumePercent) {
    Entry& e = ring_[head_];
    uint32_t written = 0;
    if (e.channels == 1 && outChannels == 2) {
        // Each mono sample goes to both sides: a frame in is two samples out.
        const uint32_t frames = std::min(length / 4, (e.length - e.played) / 2);
        for (uint32_t i = 0; i < frames; ++i) {
            std::memcpy(out + 4 * i, e.data + e.played + 2 * i, 2);
            std::memcpy(out + 4 * i + 2, e.data + e.played + 2 * i, 2);
        }
        e.played += 2 * frames;
        written = 4 * frames;
        // A trailing odd byte is no sample: it is passed over.
        if (e.length - e.played == 1) e.played = e.length;
    } else {
        written = std::min(length, e.length - e.played);
        std::memcpy(out, e.data + e.played, written);
        e.played += written;
    }
    ApplyGain(out, written, volumePercent, e.gain);
    return written;
}

uint64_t BufferQueue::pendingFrames() const {
    uint64_t frames = 0;
    for (size_t i = 0; i < count_; ++i) {
        const Entry& e = ring_[(head_ + i) % kCapacity];
        frames += (e.length - e.played) / (2 * e.channels);
    }
    return frames;
}

}  // namespace zirvak
