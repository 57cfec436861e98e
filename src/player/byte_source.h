// Where the player reads a file's bytes from: a file on disk (input_file.h) or bytes already in
// memory (memory_source.h: tests, fuzzers, benchmarks). Reads copy into the caller's buffer, so a
// file that changes or shrinks while it is read can only make a read come back short, never fault.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace zirvak
