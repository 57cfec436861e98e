// The boxes of an MP4 file (the ISO base media file format: .m4a, .mp4, .m4b), as a reader finds
// its way through them: a box is a size and a four-letter type, then its contents, which for a
// container are boxes in turn. Only headers are read here, a few bytes each; where a box's
// contents lie is worked out from them and never trusted beyond the box that holds it, nor
// beyond the file: a size that runs past its parent, or one too small for its own header, ends
// the walk there.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "byte_source.h"

namespace zirvak {

// A four-letter box type as the number its bytes make, first letter highest ("moov").
constexpr uint32_t BoxType(std::string_view name) {
    return name.size() != 4 ? 0
                            : uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
                                  uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

// The number `count` bytes (up to 8) make, first byte highest, as every MP4 field is stored.
uint64_t BigEndian(const uint8_t* bytes, int count);

struct Mp4Box {
    uint32_t type = 0;
    uint64_t start = 0;  // the offset of the box itself
    uint64_t body = 0;   // of its contents, after the header
    uint64_t end = 0;    // just past its last byte

    uint64_t bodySize() const { return end - body; }
};

// The box whose header starts at `offset`, inside a parent that ends at `limit`: a 32-bit size,
// or 1 and a 64-bit size after the type, or 0 for a box that runs to `limit` (the last box of a
// file). Nothing when the header does not fit, or the size leaves the parent or is smaller than
// the header.
std::optional<Mp4Box> ReadBox(ByteSource& source, uint64_t offset, uint64_t limit);

// The boxes of a stretch [from, limit) one after another; stops at the first that cannot be
// read.
class Mp4BoxWalk {
public:
    Mp4BoxWalk(ByteSource& source, uint64_t from, uint64_t limit)
        : source_(source), next_(from), limit_(limit) {}
    // The children of `parent`, whose contents begin `skip` bytes into its body (4 for a box
    // that starts with a version and flags, such as `meta`).
    Mp4BoxWalk(ByteSource& source, const Mp4Box& parent, uint64_t skip = 0)
        : Mp4BoxWalk(source, parent.body + skip > parent.end ? parent.end : parent.body + skip,
                     parent.end) {}

    std::optional<Mp4Box> Next();

private:
    ByteSource& source_;
    uint64_t next_;
    uint64_t limit_;
};

// The first box of `type` in [from, limit).
std::optional<Mp4Box> FindBox(ByteSource& source, uint64_t from, uint64_t limit, uint32_t type);
// The first child of `type` of `parent`.
std::optional<Mp4Box> FindChild(ByteSource& source, const Mp4Box& parent, uint32_t type,
                                uint64_t skip = 0);

}  // namespace zirvak
