#include "file_uri.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace zirvak {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// Kept as they are in a path: letters, digits, the unreserved marks and the characters a path
// segment may hold unescaped.
bool PlainInPath(unsigned char c) {
    if (std::isalnum(c)) return true;
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':
        case '/':
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
        case ':':
        case '@':
            return true;
        default:
            return false;
    }
}

// `text` with its %-escapes decoded; nothing for a broken escape.
std::optional<std::string> Decoded(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low < 0) return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    return bytes;
}

}  // namespace

std::optional<std::string> PathFromFileUri(const std::string& uri) {
    if (!StartsWithNoCase(uri, "file:")) return std::nullopt;
    std::string rest = uri.substr(5);
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.rfind("//", 0) == 0) {
        // An authority: only this machine's.
        const size_t slash = rest.find('/', 2);
        const std::string host = rest.substr(2, slash == std::string::npos ? slash : slash - 2);
        if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost")))
            return std::nullopt;
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    // Segment by segment, split where the URI has a slash: an escaped one ("%2F") belongs to a
    // name, and no name can hold it. "." and ".." are resolved here, as a URI's dot segments
    // are, not left for the file system (which would follow a symlink before going up): the
    // path that plays and the URL reported for it are one and the same.
    std::vector<std::string> kept;
    bool endsInFolder = false;
    for (size_t start = 1; start <= rest.size();) {
        const size_t end = std::min(rest.find('/', start), rest.size());
        const std::optional<std::string> segment = Decoded(rest.substr(start, end - start));
        if (!segment || segment->find_first_of(std::string_view("/\0", 2)) != std::string::npos)
            return std::nullopt;  // a broken escape, or a name no file can have
        const bool last = end == rest.size();
        if (*segment == "." || *segment == "..") {
            if (*segment == ".." && !kept.empty()) kept.pop_back();
            endsInFolder = last;
        } else {
            kept.push_back(*segment);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string& segment : kept) path += "/" + segment;
    if (path.empty() || endsInFolder) path += '/';
    return path;
}

std::string FileUriFromPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (PlainInPath(byte)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    const std::unique_ptr<char, decltype(&free)> here(getcwd(nullptr, 0), &free);
    if (!here) return path;
    std::string folder = here.get();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + path;
}

std::vector<std::string> PathsOfUriList(std::string_view list) {
    std::vector<std::string> paths;
    while (!list.empty()) {
        const size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
            line.remove_prefix(1);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (auto path = PathFromFileUri(std::string(line))) paths.push_back(std::move(*path));
    }
    return paths;
}

}  // namespace zirvak
