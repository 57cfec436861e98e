#include "readable_text.h"

#include <cstdint>

namespace zirvak {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 (overlong forms, surrogates and
// code points past U+10FFFF are not well formed).
size_t SequenceAt(const std::string& s, size_t at) {
    const auto byte = [&s](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > s.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string ReadableText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = SequenceAt(bytes, at);
        if (length > 0) {
            text.append(bytes, at, length);
            at += length;
            continue;
        }
        const auto byte = static_cast<uint8_t>(bytes[at++]);
        text += char(0xC0 | (byte >> 6));
        text += char(0x80 | (byte & 0x3F));
    }
    return text;
}

}  // namespace zirvak
