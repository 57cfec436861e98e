// Output buffers are allocated without throwing: a file too large for the memory left is a
// result the engine reports (kOpenNoBufferMemory), not an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace zirvak {

// `bytes` zero bytes, or null when there is no memory for them.
inline std::unique_ptr<uint8_t[]> AllocateZeroed(size_t bytes) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
    if (buffer) std::memset(buffer.get(), 0, bytes);
    return buffer;
}

}  // namespace zirvak
