// Output buffers are allocated without throwing: a file too large for the memory left is a
// result the engine reports (kOpenNoBufferMemory), not an exception.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace zirvak {

// Set by tests to n: the n-th allocation from then on fails, as when memory runs out (0: none).
inline std::atomic<uint32_t> failingAllocation{0};

// `bytes` zero bytes, or null when there is no memory for them.
inline std::unique_ptr<uint8_t[]> AllocateZeroed(size_t bytes) {
    if (failingAllocation.load(std::memory_order_relaxed) != 0 &&
        failingAllocation.fetch_sub(1) == 1)
        return nullptr;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
    if (buffer) std::memset(buffer.get(), 0, bytes);
    return buffer;
}

}  // namespace zirvak
