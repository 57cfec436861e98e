#include "itunes_gap.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace zirvak {

namespace {

// A comment longer than this is no iTunSMPB field.
constexpr uint32_t kMostBodyBytes = 1024;

uint32_t SyncSafe(const uint8_t* p) {
    return uint32_t(p[0] & 0x7f) << 21 | uint32_t(p[1] & 0x7f) << 14 | uint32_t(p[2] & 0x7f) << 7 |
           uint32_t(p[3] & 0x7f);
}

uint32_t BigEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}

// The ASCII characters of `text` in `encoding` (UTF-16 in either order: the byte that is not
// zero of each pair), up to its first terminator.
std::string AsciiOf(const uint8_t* text, size_t length, uint8_t encoding, size_t* used) {
    std::string out;
    const bool wide = encoding == 1 || encoding == 2;
    size_t i = 0;
    if (wide) {
        for (; i + 1 < length; i += 2) {
            if (text[i] == 0 && text[i + 1] == 0) {
                i += 2;
                break;
            }
            const uint8_t c = text[i] != 0 ? text[i] : text[i + 1];
            if (c != 0xff && c != 0xfe) out.push_back(char(c));  // byte order marks left out
        }
    } else {
        for (; i < length; ++i) {
            if (text[i] == 0) {
                ++i;
                break;
            }
            out.push_back(char(text[i]));
        }
    }
    if (used) *used = std::min(i, length);
    return out;
}

}  // namespace

// " 00000000 00000210 000007E0 00000000000AC5B4 ...": the delay, padding and sample count.
std::optional<ITunesGap> ParseITunesGap(const std::string& text) {
    uint64_t fields[4] = {};
    size_t at = 0;
    for (uint64_t& field : fields) {
        while (at < text.size() && text[at] == ' ') ++at;
        const size_t start = at;
        while (at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]))) ++at;
        if (at == start || at - start > 16) return std::nullopt;
        field = std::stoull(text.substr(start, at - start), nullptr, 16);
    }
    // Delays and padding beyond a few frames are no encoder's.
    if (fields[1] > 0xFFFF || fields[2] > 0xFFFF) return std::nullopt;
    return ITunesGap{uint32_t(fields[1]), uint32_t(fields[2]), fields[3]};
}

std::optional<ITunesGap> ReadITunesGap(ByteSource& source, uint64_t tagEnd) {
    uint8_t head[10];
    if (tagEnd <= 10 || source.ReadAt(0, head, 10) != 10 || std::memcmp(head, "ID3", 3) != 0)
        return std::nullopt;
    const uint8_t version = head[3];
    // A tag made unsynchronised as a whole stores its frames escaped: not read.
    if (version < 2 || version > 4 || (version < 4 && (head[5] & 0x80))) return std::nullopt;
    const int idBytes = version == 2 ? 3 : 4;
    const int headerBytes = version == 2 ? 6 : 10;
    uint64_t at = 10;
    if (version >= 3 && (head[5] & 0x40)) {
        uint8_t size[4];
        if (source.ReadAt(at, size, 4) != 4) return std::nullopt;
        at += version == 4 ? SyncSafe(size) : BigEndian(size, 4) + 4;
    }
    std::vector<uint8_t> body;
    while (at + uint64_t(headerBytes) <= tagEnd) {
        uint8_t frame[10];
        if (source.ReadAt(at, frame, size_t(headerBytes)) != size_t(headerBytes)) break;
        if (frame[0] == 0) break;  // padding
        const uint32_t size = version == 2   ? BigEndian(frame + 3, 3)
                              : version == 4 ? SyncSafe(frame + 4)
                                             : BigEndian(frame + 4, 4);
        const uint64_t bodyAt = at + uint64_t(headerBytes);
        at = bodyAt + size;
        if (at > tagEnd) break;
        const std::string id(reinterpret_cast<const char*>(frame), size_t(idBytes));
        const bool comment = id == "COMM" || id == "COM";
        const bool userText = id == "TXXX" || id == "TXX";
        // Compressed or encrypted frames are passed over.
        if ((!comment && !userText) || size > kMostBodyBytes || size < 2) continue;
        if (version >= 3 && (frame[9] & (version == 4 ? 0x0e : 0xc0))) continue;
        body.resize(size);
        if (source.ReadAt(bodyAt, body.data(), size) != size) break;
        const uint8_t encoding = body[0];
        size_t offset = comment ? 4 : 1;  // the encoding, and a comment's language
        if (offset >= body.size()) continue;
        size_t used = 0;
        const std::string description =
            AsciiOf(body.data() + offset, body.size() - offset, encoding, &used);
        if (description != "iTunSMPB") continue;
        offset += used;
        return ParseITunesGap(
            AsciiOf(body.data() + offset, body.size() - offset, encoding, nullptr));
    }
    return std::nullopt;
}

}  // namespace zirvak
