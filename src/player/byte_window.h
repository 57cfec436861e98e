// A window of a source's bytes that slides forward as a reader moves through them: one buffer of
// fixed size, refilled by reads, so walking a file of any length takes the same memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "byte_source.h"

namespace zirvak {

class ByteWindow {
public:
    static constexpr size_t kCapacity = 64 * 1024;

    // Reads [0, end) of `source` at most.
    ByteWindow(ByteSource& source, uint64_t end);
    ~ByteWindow();
    ByteWindow(const ByteWindow&) = delete;
    ByteWindow& operator=(const ByteWindow&) = delete;

    // The bytes from `offset` on that the window holds after making sure of at least `want` of
    // them (want ≤ kCapacity / 2): fewer only where the readable bytes end first. Valid until
    // the next call.
    std::span<const uint8_t> At(uint64_t offset, size_t want);

    // Where the readable bytes end: the `end` given, or less once a read came back short.
    uint64_t end() const { return end_; }
    // True once a read came back shorter than the source's size promised: the file shrank.
    bool cameShort() const { return cameShort_; }

    ByteSource& source() { return source_; }

private:
    ByteSource& source_;
    uint64_t end_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint64_t base_ = 0;  // source offset of buffer_[0]
    size_t valid_ = 0;   // bytes of buffer_ that hold the source's bytes
    bool cameShort_ = false;
};

}  // namespace zirvak
