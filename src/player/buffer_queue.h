// The buffers written to a device and not yet played, in order, each with the song's gain and
// channel count it was written with, so that a song that follows another in the same stream has
// its own gain from its first sample, and a mono song may follow a stereo one. Every device keeps
// one: SDL's callback copies out of it a few bytes at a time, the offline and test devices play a
// buffer at a time. It holds a few buffers in a ring of its own and never allocates; the owner
// locks around it where threads meet.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zirvak {

class BufferQueue {
public:
    struct Entry {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        int32_t tag = 0;
        double gain = 1.0;      // the song's, as it stood when the buffer was written
        uint32_t channels = 2;  // 1 or 2, interleaved
        uint32_t played = 0;    // bytes already copied out
    };
    // More than the engine ever has in flight (two, and one at a join).
    static constexpr size_t kCapacity = 8;

    // Queues a buffer of `channels` channels; false (and nothing queued) when the ring is full.
    bool Push(const uint8_t* data, uint32_t length, int32_t tag, double gain, uint32_t channels);
    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }
    const Entry& oldest() const { return ring_[head_]; }
    const Entry& newest() const { return ring_[(head_ + count_ - 1) % kCapacity]; }
    // Takes the oldest buffer out.
    Entry Pop();
    // Copies up to `length` bytes of what is queued into `out`, oldest first, as `outChannels`
    // channels (a mono buffer sounds on both of stereo), each buffer's gain and `volumePercent`
    // applied; `done(tag)` is called for each buffer played to its end and taken out. Returns
    // the bytes written to `out`.
    template <typename Done>
    uint32_t CopyOut(uint8_t* out, uint32_t length, uint32_t outChannels, uint32_t volumePercent,
                     Done&& done);
    // Sample frames written and not yet copied out.
    uint64_t pendingFrames() const;

private:
    uint32_t CopyFromOldest(uint8_t* out, uint32_t length, uint32_t outChannels,
                            uint32_t volumePercent);

    std::array<Entry, kCapacity> ring_{};
    size_t head_ = 0;
    size_t count_ = 0;
};

template <typename Done>
uint32_t BufferQueue::CopyOut(uint8_t* out, uint32_t length, uint32_t outChannels,
                              uint32_t volumePercent, Done&& done) {
    uint32_t copied = 0;
    while (!empty() && copied < length) {
        copied += CopyFromOldest(out + copied, length - copied, outChannels, volumePercent);
        if (oldest().played < oldest().length) break;  // `out` is full
        done(Pop().tag);
    }
    // A buffer of no bytes is played as soon as it comes first.
    while (!empty() && oldest().length == 0) done(Pop().tag);
    return copied;
}

}  // namespace zirvak
