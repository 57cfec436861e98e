// Bytes already in memory as a byte source: what the tests, the fuzzers and the benchmarks
// hand the readers in place of a file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "byte_source.h"

namespace zirvak {

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint64_t size() const override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, uint8_t* out, size_t length) override {
        if (offset >= bytes_.size()) return 0;
        const size_t n = size_t(std::min<uint64_t>(length, bytes_.size() - offset));
        std::memcpy(out, bytes_.data() + offset, n);
        return n;
    }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace zirvak
