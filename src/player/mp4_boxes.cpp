#include "mp4_boxes.h"

namespace zirvak {

uint64_t BigEndian(const uint8_t* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

std::optional<Mp4Box> ReadBox(ByteSource& source, uint64_t offset, uint64_t limit) {
    limit = limit < source.size() ? limit : source.size();
    if (offset >= limit || limit - offset < 8) return std::nullopt;
    uint8_t header[16];
    const uint64_t room = limit - offset;
    const size_t want = room < 16 ? size_t(room) : 16;
    if (source.ReadAt(offset, header, want) < 8) return std::nullopt;
    Mp4Box box;
    box.type = uint32_t(BigEndian(header + 4, 4));
    box.start = offset;
    uint64_t size = BigEndian(header, 4);
    uint64_t headerSize = 8;
    if (size == 1) {
        if (want < 16) return std::nullopt;
        size = BigEndian(header + 8, 8);
        headerSize = 16;
    } else if (size == 0) {
        size = room;
    }
    if (size < headerSize || size > room) return std::nullopt;
    box.body = offset + headerSize;
    box.end = offset + size;
    return box;
}

std::optional<Mp4Box> Mp4BoxWalk::Next() {
    const std::optional<Mp4Box> box = ReadBox(source_, next_, limit_);
    next_ = box ? box->end : limit_;
    return box;
}

std::optional<Mp4Box> FindBox(ByteSource& source, uint64_t from, uint64_t limit, uint32_t type) {
    Mp4BoxWalk walk(source, from, limit);
    while (const std::optional<Mp4Box> box = walk.Next())
        if (box->type == type) return box;
    return std::nullopt;
}

std::optional<Mp4Box> FindChild(ByteSource& source, const Mp4Box& parent, uint32_t type,
                                uint64_t skip) {
    const uint64_t from = parent.body + skip > parent.end ? parent.end : parent.body + skip;
    return FindBox(source, from, parent.end, type);
}

}  // namespace zirvak
