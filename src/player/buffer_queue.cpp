#include "buffer_queue.h"

#include <algorithm>
#include <cstring>

#include "volume.h"

namespace zirvak {

bool BufferQueue::Push(const uint8_t* data, uint32_t length, int32_t tag, double gain) {
    if (count_ == kCapacity) return false;
    ring_[(head_ + count_) % kCapacity] = {data, length, tag, gain, 0};
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

uint32_t BufferQueue::CopyFromOldest(uint8_t* out, uint32_t length, uint32_t volumePercent) {
    Entry& e = ring_[head_];
    const uint32_t take = std::min(length, e.length - e.played);
    std::memcpy(out, e.data + e.played, take);
    ApplyGain(out, take, volumePercent, e.gain);
    e.played += take;
    return take;
}

uint64_t BufferQueue::pendingBytes() const {
    uint64_t bytes = 0;
    for (size_t i = 0; i < count_; ++i) {
        const Entry& e = ring_[(head_ + i) % kCapacity];
        bytes += e.length - e.played;
    }
    return bytes;
}

}  // namespace zirvak
