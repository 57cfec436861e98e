#include "stream_marker.h"

#include <cstring>

namespace zirvak {

namespace {

// Tags stacked before the stream that are stepped over.
constexpr int kMostId3Tags = 4;

}  // namespace

std::optional<uint64_t> MarkerAfterTags(ByteSource& source, std::string_view marker) {
    uint64_t at = 0;
    for (int tags = 0; tags <= kMostId3Tags; ++tags) {
        uint8_t head[10] = {};
        const size_t got = source.ReadAt(at, head, sizeof head);
        if (got >= marker.size() && std::memcmp(head, marker.data(), marker.size()) == 0) return at;
        if (got < sizeof head || tags == kMostId3Tags || std::memcmp(head, "ID3", 3) != 0 ||
            head[3] == 0xFF || ((head[6] | head[7] | head[8] | head[9]) & 0x80))
            return std::nullopt;
        const uint64_t size = uint64_t(head[6]) << 21 | uint64_t(head[7]) << 14 |
                              uint64_t(head[8]) << 7 | uint64_t(head[9]);
        at += 10 + size + ((head[5] & 0x10) ? 10 : 0);  // the footer, when there is one
    }
    return std::nullopt;
}

OggCodec OggCodecAt(ByteSource& source, uint64_t offset) {
    // A page: "OggS", version, flags, granule (8), serial, sequence, CRC, segment count, the
    // segment table, then the packet data.
    uint8_t page[27 + 255 + 8];
    const size_t got = source.ReadAt(offset, page, sizeof page);
    if (got < 28 || std::memcmp(page, "OggS", 4) != 0 || page[4] != 0) return OggCodec::kNone;
    const size_t data = 27 + size_t(page[26]);
    if (got < data + 8) return OggCodec::kOther;
    if (std::memcmp(page + data, "\x01vorbis", 7) == 0) return OggCodec::kVorbis;
    if (std::memcmp(page + data, "OpusHead", 8) == 0) return OggCodec::kOpus;
    return OggCodec::kOther;
}

}  // namespace zirvak
