#include "extended_header.h"

#include <algorithm>
#include <cstring>

namespace zirvak {

namespace {

constexpr size_t kTagHeaderBytes = 10;
constexpr uint8_t kUnsynchronised = 0x80, kExtendedHeader = 0x40;

bool IsSyncsafe(std::span<const uint8_t> bytes) {
    return std::none_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b & 0x80; });
}

uint32_t Syncsafe(std::span<const uint8_t> bytes) {
    return uint32_t(bytes[0]) << 21 | uint32_t(bytes[1]) << 14 | uint32_t(bytes[2]) << 7 | bytes[3];
}

}  // namespace

std::optional<TagStartWithoutExtendedHeader> WithoutExtendedHeader(
    std::span<const uint8_t> fileStart) {
    const std::span<const uint8_t> s = fileStart;
    if (s.size() < kTagHeaderBytes + 4 || std::memcmp(s.data(), "ID3", 3) != 0 ||
        (s[3] != 3 && s[3] != 4) || !(s[5] & kExtendedHeader) || !IsSyncsafe(s.subspan(6, 4)))
        return std::nullopt;
    const uint32_t tagBytes = Syncsafe(s.subspan(6, 4));

    size_t extendedBytes = 0;  // as stored in the file
    if (s[3] == 4) {
        // A syncsafe size that counts itself; 2.4 never unsynchronises this header.
        if (!IsSyncsafe(s.subspan(10, 4))) return std::nullopt;
        extendedBytes = Syncsafe(s.subspan(10, 4));
        if (extendedBytes < 6) return std::nullopt;
    } else {
        // A 32-bit size of 6 or 10 that leaves itself out, within the unsynchronised tag: a 0x00
        // after 0xFF was put there by unsynchronisation and is not part of the header.
        const bool unsynchronised = s[5] & kUnsynchronised;
        uint8_t header[14];
        size_t have = 0, need = 4, at = kTagHeaderBytes;
        while (have < need && at < s.size()) {
            header[have++] = s[at++];
            if (unsynchronised && header[have - 1] == 0xFF && at < s.size() && s[at] == 0x00) ++at;
            if (have == 4) {
                const uint32_t size = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 |
                                      uint32_t(header[2]) << 8 | header[3];
                if (size != 6 && size != 10) return std::nullopt;
                need = 4 + size;
            }
        }
        if (have < need) return std::nullopt;
        extendedBytes = at - kTagHeaderBytes;
    }
    if (extendedBytes > tagBytes) return std::nullopt;

    TagStartWithoutExtendedHeader out;
    std::copy_n(s.begin(), kTagHeaderBytes, out.header.begin());
    out.header[5] = uint8_t(s[5] & ~kExtendedHeader);
    const uint32_t rest = tagBytes - uint32_t(extendedBytes);
    for (int i = 0; i < 4; ++i) out.header[size_t(6 + i)] = uint8_t(rest >> (21 - 7 * i) & 0x7F);
    out.replacedBytes = kTagHeaderBytes + extendedBytes;
    return out;
}

}  // namespace zirvak
