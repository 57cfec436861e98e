#include "tag_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "song_tags.h"

namespace zirvak {

namespace {

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::optional<CodePoint> DecodeUtf8(std::string_view text) {
    const auto byte = [&](size_t i) { return uint8_t(text[i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) return CodePoint{lead, 1};
    size_t length;
    char32_t value;
    uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong below U+10000
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return std::nullopt;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return std::nullopt;
    for (size_t i = 1; i < length; ++i) {
        if (!IsContinuation(byte(i))) return std::nullopt;
        value = value << 6 | (byte(i) & 0x3F);
    }
    return CodePoint{value, length};
}

namespace {

// Trimmed from either end of a field: what pads a tag's text or is left of a byte-order mark.
bool IsPadding(char32_t c) {
    return c == 0 || c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0xFEFF;
}

// Never shown: control characters, and the noncharacters that mean text was read in the wrong
// byte order.
bool IsForbidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\0'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// The positive whole number `text` holds, blanks around it allowed; 0 for anything else, or one
// that does not fit an int.
int PositiveNumber(std::string_view text) {
    text = Trimmed(text);
    // from_chars would take a leading '-'; these numbers are digits only.
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return 0;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

}  // namespace

std::string CleanTagText(std::string_view utf8) {
    // One pass: every character checked, the text's extent found between the padding.
    size_t begin = utf8.size(), end = 0;
    bool controlSinceText = false;  // a NUL, tab or line break after the text so far
    for (size_t i = 0; i < utf8.size();) {
        const std::optional<CodePoint> c = DecodeUtf8(utf8.substr(i));
        if (!c) return {};
        if (IsPadding(c->value)) {
            controlSinceText |= end != 0 && IsForbidden(c->value);
        } else {
            if (IsForbidden(c->value) || controlSinceText) return {};  // within the text
            begin = std::min(begin, i);
            end = i + c->length;
        }
        i += c->length;
    }
    if (begin >= end) return {};
    const std::string_view text = utf8.substr(begin, end - begin);
    if (text.size() <= kMaxTagTextBytes) return std::string(text);
    // Cut before the character the limit falls in; what the cut leaves last may be padding.
    size_t cut = kMaxTagTextBytes;
    while (cut > 0 && IsContinuation(uint8_t(text[cut]))) --cut;
    return CleanTagText(text.substr(0, cut));
}

int ParseTrackNumber(std::string_view text) {
    return ParseSetPosition(text).number;
}

SetPosition ParseSetPosition(std::string_view text) {
    const size_t slash = text.find('/');
    SetPosition position{PositiveNumber(text.substr(0, slash)), 0};
    if (position.number > 0 && slash != std::string_view::npos) {
        const int total = PositiveNumber(text.substr(slash + 1));
        if (total >= position.number) position.total = total;
    }
    return position;
}

int ParseYear(std::string_view text) {
    text = Trimmed(text);
    if (text.size() < 4 || (text.size() > 4 && IsDigit(text[4]))) return 0;
    return PositiveNumber(text.substr(0, 4));
}

GenreField ParseGenreField(std::string_view field) {
    field = Trimmed(field);
    GenreField genre;
    if (field.starts_with("((")) {
        genre.text = field.substr(1);
        return genre;
    }
    // "(17)", "(RX)" or "(17)Text": what the parentheses hold, and the text after them.
    std::string_view code = field;
    if (field.starts_with('(')) {
        const size_t close = field.find(')');
        if (close == std::string_view::npos) {
            genre.text = field;
            return genre;
        }
        code = field.substr(1, close - 1);
        genre.text = Trimmed(field.substr(close + 1));
    }
    if (code == "RX" || code == "CR") {
        if (genre.text.empty()) genre.text = code == "RX" ? "Remix" : "Cover";
    } else if (!code.empty() && std::all_of(code.begin(), code.end(), IsDigit)) {
        // ID3v1's list is numbered from 0 and ends before 256; longer numbers are damage.
        if (code.size() <= 3) {
            genre.number = 0;
            for (char c : code) genre.number = genre.number * 10 + (c - '0');
        }
    } else if (code == field) {
        genre.text = field;  // text alone
    }
    return genre;
}

namespace {

constexpr double kMostReplayGainDb = 24.0;

// `text` trimmed of spaces, a number (strtod's form, in the "C" locale), then `unit` if any.
std::optional<double> ParseNumber(std::string_view text, std::string_view unit) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    if (!unit.empty() && text.size() >= unit.size()) {
        std::string_view tail = text.substr(text.size() - unit.size());
        bool same = true;
        for (size_t i = 0; i < unit.size(); ++i)
            same &= std::tolower(static_cast<unsigned char>(tail[i])) == unit[i];
        if (same) {
            text.remove_suffix(unit.size());
            while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
        }
    }
    if (text.empty() || text.size() > 32) return std::nullopt;
    // Digits, one point, a sign first: no exponents, no "inf" or "nan", no hex, no locale.
    const bool negative = text.front() == '-';
    if (text.front() == '+' || negative) text.remove_prefix(1);
    size_t digits = 0, points = 0;
    for (const char c : text) {
        digits += c >= '0' && c <= '9';
        points += c == '.';
    }
    if (digits == 0 || points > 1 || digits + points != text.size()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<double> WithinReplayGain(std::optional<double> db) {
    if (!db || std::abs(*db) > kMostReplayGainDb) return std::nullopt;
    return db;
}

}  // namespace

std::optional<double> ParseReplayGainDb(std::string_view text) {
    return WithinReplayGain(ParseNumber(text, "db"));
}

std::optional<double> ParseReplayGainPeak(std::string_view text) {
    const std::optional<double> peak = ParseNumber(text, {});
    if (!peak || !(*peak > 0) || *peak > 100) return std::nullopt;
    return peak;
}

std::optional<double> ParseR128GainDb(std::string_view text) {
    const std::optional<double> q78 = ParseNumber(text, {});
    if (!q78 || *q78 != std::floor(*q78)) return std::nullopt;
    constexpr double kReplayGainAboveR128Db = 5.0;  // -18 LUFS against -23 LUFS
    return WithinReplayGain(*q78 / 256.0 + kReplayGainAboveR128Db);
}

std::string CoverMimeType(std::span<const uint8_t> data, std::string_view declared) {
    const auto startsWith = [&](std::initializer_list<uint8_t> magic) {
        return data.size() >= magic.size() && std::equal(magic.begin(), magic.end(), data.begin());
    };
    if (startsWith({0xFF, 0xD8, 0xFF})) return "image/jpeg";
    if (startsWith({0x89, 'P', 'N', 'G'})) return "image/png";

    std::string type;
    for (char c : declared) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             std::string_view("/+-.").find(c) != std::string_view::npos;
        if (!allowed || type.size() >= 64) return "application/octet-stream";
        type += c;
    }
    // ID3v2.2 names the format alone ("JPG", "PNG"); some writers say "image/jpg".
    if (type == "jpg" || type == "jpeg" || type == "image/jpg") return "image/jpeg";
    if (type == "png") return "image/png";
    const size_t slash = type.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == type.size() ||
        type.find('/', slash + 1) != std::string::npos)
        return "application/octet-stream";
    return type;
}

}  // namespace zirvak
