#include "readable_text.h"

#include <cstdint>
#include <cstdio>

namespace zirvak {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 (overlong forms, surrogates and
// code points past U+10FFFF are not well formed).
size_t SequenceAt(std::string_view s, size_t at) {
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

// Whether the well-formed sequence of `length` bytes at `at` is a control character: C0 and DEL
// in one byte, C1 (U+0080 to U+009F) in two.
bool IsControl(std::string_view s, size_t at, size_t length) {
    const auto lead = static_cast<uint8_t>(s[at]);
    if (length == 1) return lead < 0x20 || lead == 0x7F;
    return length == 2 && lead == 0xC2 && static_cast<uint8_t>(s[at + 1]) <= 0x9F;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char byte : bytes) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", unsigned(uint8_t(byte)));
        out += escaped;
    }
}

// Shows `bytes`, each byte outside UTF-8 as Latin-1 or escaped.
std::string Shown(std::string_view bytes, bool latin1) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = SequenceAt(bytes, at);
        if (length > 0 && IsControl(bytes, at, length)) {
            AppendEscaped(text, bytes.substr(at, length));
        } else if (length > 0) {
            text.append(bytes.substr(at, length));
            const bool escapeLike =
                at + 1 < bytes.size() && (bytes[at + 1] == 'x' || bytes[at + 1] == '\\');
            if (bytes[at] == '\\' && escapeLike) text += '\\';
        } else if (const auto byte = static_cast<uint8_t>(bytes[at]);
                   !latin1 || (byte >= 0x80 && byte <= 0x9F)) {
            AppendEscaped(text, bytes.substr(at, 1));  // not text, or a C1 control as Latin-1
        } else {
            text += char(0xC0 | (byte >> 6));
            text += char(0x80 | (byte & 0x3F));
        }
        at += length > 0 ? length : 1;
    }
    return text;
}

}  // namespace

std::string ReadableText(std::string_view bytes) {
    return Shown(bytes, true);
}

std::string PrintableText(std::string_view bytes) {
    return Shown(bytes, false);
}

}  // namespace zirvak
