// Where the player reads a file's bytes from: a file on disk (input_file.h) or bytes already in
// memory (tests, fuzzers, benchmarks). Reads copy into the caller's buffer, so a file that
// changes or shrinks while it is read can only make a read come back short, never fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zirvak {

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // The size when the source was opened.
    virtual uint64_t size() const = 0;
    // Copies up to `length` bytes from `offset` into `out`; returns how many were copied. Fewer
    // than asked only at the end of the source, which may have moved since it was opened.
    virtual size_t ReadAt(uint64_t offset, uint8_t* out, size_t length) = 0;
    // The first offset at or after `offset` where data may lie: past a hole of a sparse file,
    // which reads as zeros, a search for frames need not read. `offset` itself by default.
    virtual uint64_t NextDataOffset(uint64_t offset) { return offset; }
};

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
