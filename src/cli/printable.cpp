#include "printable.h"

#include <cstdint>
#include <cstdio>

#include "tag_text.h"

namespace zirvak::cli {

namespace {

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char byte : bytes) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", unsigned(uint8_t(byte)));
        out += escaped;
    }
}

}  // namespace

std::string Printable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const std::optional<CodePoint> c = DecodeUtf8(bytes.substr(i));
        const size_t length = c ? c->length : 1;
        if (c && !IsControl(c->value))
            out.append(bytes.substr(i, length));
        else
            AppendEscaped(out, bytes.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace zirvak::cli
