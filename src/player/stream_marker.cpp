#include "stream_marker.h"

#include <algorithm>
#include <cstring>

namespace zirvak {

namespace {

// Tags stacked before the stream that are stepped over.
constexpr int kMostId3Tags = 4;
// The longest start of a first packet asked about.
constexpr size_t kMostPacketStart = 16;

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

bool OggStreamStartsWith(ByteSource& source, std::string_view packetStart) {
    const std::optional<uint64_t> start = MarkerAfterTags(source, "OggS");
    if (!start) return false;
    // A page: "OggS", version, flags, granule (8), serial, sequence, CRC, segment count, the
    // segment table, then the packet data.
    uint8_t page[27 + 255 + kMostPacketStart];
    const size_t got = source.ReadAt(*start, page, sizeof page);
    if (got < 28 || page[4] != 0) return false;
    if (packetStart.empty()) return true;
    // A first packet of fewer than eight bytes names no codec.
    const size_t data = 27 + size_t(page[26]);
    const size_t need = std::max<size_t>(packetStart.size(), 8);
    if (need > kMostPacketStart || got < data + need) return false;
    return std::memcmp(page + data, packetStart.data(), packetStart.size()) == 0;
}

}  // namespace zirvak
