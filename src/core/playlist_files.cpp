#include "playlist_files.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>

#include "file_uri.h"
#include "format_table.h"

namespace zirvak {

namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Three-way comparison of the natural order, without the byte-order tie break.
int CompareNatural(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Numbers by value: skip leading zeros, then the longer run is larger, then digits.
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
            for (; i < ei; ++i, ++j)
                if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool IsHidden(const fs::path& p) {
    const std::string name = p.filename().string();
    return !name.empty() && name[0] == '.';
}

// Every playable file under `folder`, in no particular order.
void CollectFolder(const fs::path& folder, std::set<fs::path>& seen,
                   std::vector<std::string>& out) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    if (error || !seen.insert(real).second) return;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& p = it->path();
        if (IsHidden(p)) continue;
        std::error_code statError;
        if (fs::is_directory(p, statError))
            CollectFolder(p, seen, out);
        else if (fs::is_regular_file(p, statError) && HasPlayableExtension(p.string()))
            out.push_back(p.string());
    }
}

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != lowerPrefix[i]) return false;
    return true;
}

// A URL of another scheme than file: ("http://", "https://", "rtsp://"...). A scheme has two
// letters at least, so a Windows drive ("C:/Music") is no scheme.
bool IsNetworkStream(std::string_view entry) {
    const size_t colon = entry.find("://");
    if (colon == std::string_view::npos || colon < 2) return false;
    if (!std::isalpha(static_cast<unsigned char>(entry[0]))) return false;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(entry[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return !StartsWithNoCase(entry, "file:");
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A playlist is read up to this size (tens of thousands of entries), and all the playlists
// one expansion reads up to the second: a large or binary file given a playlist's name, or a
// long chain of playlists, costs a bounded time and memory.
constexpr size_t kMaxPlaylistBytes = size_t(4) << 20;
constexpr size_t kMaxPlaylistBytesInAll = size_t(16) << 20;
// Playlists listed within playlists are read this deep; one deeper is taken for a song (and
// opening it says it is none), so a chain of them cannot exhaust the stack.
constexpr int kMaxPlaylistDepth = 32;

// The lines of the first `limit` bytes of `path` (a line cut by the limit left out), without
// their ends (LF, CRLF or CR) nor a leading byte order mark; nothing when it cannot be opened.
std::optional<std::vector<std::string>> ReadLines(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    std::string text(error ? 0 : size_t(std::min<uintmax_t>(size, limit)), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    if (!error && size > limit) text.resize(text.find_last_of("\r\n") + 1);  // npos + 1 is 0
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        lines.emplace_back(text, at, end - at);
        at = end + 1;
    }
    return lines;
}

// What one call of ExpandPaths has met so far, and found.
class Expansion {
public:
    ExpandedPaths result;

    // `path`, named directly (`playlist` empty) or listed by `playlist` with `title` (empty:
    // none; a folder or playlist listed keeps none).
    void Add(const std::string& path, const std::string& playlist, const std::string& title = {}) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (status.type() == fs::file_type::not_found && !playlist.empty()) {
            Skip(path, playlist, SkippedEntry::Reason::kMissing);
        } else if (status.type() == fs::file_type::directory) {
            std::vector<std::string> files;
            CollectFolder(path, folders_, files);
            std::sort(files.begin(), files.end(), NaturalLess);
            result.files.insert(result.files.end(), files.begin(), files.end());
        } else if (status.type() == fs::file_type::regular && HasPlaylistExtension(path)) {
            AddPlaylist(path);
        } else {
            result.files.push_back(path);
            if (!title.empty()) result.titles.emplace(path, title);
        }
    }

private:
    void Skip(const std::string& entry, const std::string& playlist, SkippedEntry::Reason why) {
        result.skipped.push_back({entry, playlist, why});
    }

    void AddPlaylist(const std::string& path) {
        std::error_code error;
        const fs::path real = fs::canonical(path, error);
        if (!error && !playlists_.insert(real).second) return;  // read already
        const std::optional<std::vector<std::string>> lines =
            depth_ < kMaxPlaylistDepth ? ReadLines(path, std::min(kMaxPlaylistBytes, budget_))
                                       : std::nullopt;
        if (!lines) {
            result.files.push_back(path);  // opening it says why it cannot be played
            return;
        }
        for (const std::string& line : *lines) budget_ -= std::min(budget_, line.size() + 1);
        const std::string folder = path.substr(0, path.rfind('/') + 1);  // npos + 1 is 0
        const bool pls = LowerExtension(path) == "pls";
        ++depth_;
        for (const Entry& entry : pls ? PlsEntries(*lines) : M3uEntries(*lines))
            AddEntry(entry, path, folder);
        --depth_;
    }

    // A file as a playlist lists it, and the title it gives it ("" for none).
    struct Entry {
        std::string file;
        std::string title;
    };

    // One entry as written in `playlist`, whose folder is `folder` ("" or ending in '/').
    void AddEntry(const Entry& listed, const std::string& playlist, const std::string& folder) {
        const std::string& entry = listed.file;
        if (IsNetworkStream(entry))
            return Skip(entry, playlist, SkippedEntry::Reason::kNetworkStream);
        if (StartsWithNoCase(entry, "file:")) {
            const std::optional<std::string> path = PathFromFileUri(entry);
            if (!path) return Skip(entry, playlist, SkippedEntry::Reason::kMissing);
            return Add(*path, playlist, listed.title);
        }
        const auto inFolder = [&](const std::string& name) {
            return name[0] == '/' ? name : folder + name;
        };
        std::string path = inFolder(entry);
        // Written on Windows: '\\' separates folders; but on Linux it may also be part of a
        // name, so the entry as written wins where it names something.
        if (entry.find('\\') != std::string::npos) {
            std::string slashed = entry;
            std::replace(slashed.begin(), slashed.end(), '\\', '/');
            std::error_code error;
            if (!fs::exists(fs::symlink_status(path, error))) path = inFolder(slashed);
        }
        Add(path, playlist, listed.title);
    }

    // Every line that is not blank nor a comment ("#EXTM3U"...), with the title of an
    // "#EXTINF:length[ attributes],Title" line before it (other comments may come between).
    static std::vector<Entry> M3uEntries(const std::vector<std::string>& lines) {
        std::vector<Entry> entries;
        std::string title;
        for (const std::string& line : lines) {
            const std::string_view entry = Trimmed(line);
            if (entry.find('\0') != entry.npos) continue;
            if (StartsWithNoCase(entry, "#extinf:")) {
                title = ExtinfTitle(entry.substr(8));
                continue;
            }
            if (entry.empty() || entry[0] == '#') continue;
            entries.push_back({std::string(entry), std::move(title)});
            title.clear();
        }
        return entries;
    }

    // What follows the first comma outside double quotes (an attribute's value may hold one).
    static std::string ExtinfTitle(std::string_view info) {
        bool quoted = false;
        for (size_t i = 0; i < info.size(); ++i) {
            if (info[i] == '"') quoted = !quoted;
            if (info[i] == ',' && !quoted) return std::string(Trimmed(info.substr(i + 1)));
        }
        return {};
    }

    // The values of "FileN=..." in the order of N (the first of an N that comes twice), each
    // with the value of its "TitleN="; the lengths and count of entries add nothing.
    static std::vector<Entry> PlsEntries(const std::vector<std::string>& lines) {
        std::map<uint64_t, std::string> byNumber, titles;
        for (const std::string& line : lines) {
            const size_t equals = line.find('=');
            if (equals == std::string::npos || line.find('\0') != std::string::npos) continue;
            const std::string_view key = Trimmed(std::string_view(line).substr(0, equals));
            const std::string_view value = Trimmed(std::string_view(line).substr(equals + 1));
            const bool file = StartsWithNoCase(key, "file");
            const size_t named = file ? 4 : 5;
            if ((!file && !StartsWithNoCase(key, "title")) || key.size() <= named ||
                key.size() > named + 18 || value.empty())
                continue;
            uint64_t number = 0;
            bool digits = true;
            for (const char c : key.substr(named)) {
                digits = digits && IsDigit(c);
                number = number * 10 + uint64_t(c - '0');
            }
            if (digits) (file ? byNumber : titles).emplace(number, value);
        }
        std::vector<Entry> entries;
        for (auto& [number, entry] : byNumber) {
            const auto title = titles.find(number);
            entries.push_back(
                {std::move(entry), title == titles.end() ? std::string() : title->second});
        }
        return entries;
    }

    std::set<fs::path> folders_;    // read, by their real paths
    std::set<fs::path> playlists_;  // read, by their real paths
    size_t budget_ = kMaxPlaylistBytesInAll;
    int depth_ = 0;  // of the playlist being read: 1 for one named directly
};

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    const int order = CompareNatural(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool HasPlayableExtension(const std::string& path) {
    static const std::vector<std::string_view> extensions = PlayableExtensions();
    return std::ranges::find(extensions, LowerExtension(path)) != extensions.end();
}

bool HasPlaylistExtension(const std::string& path) {
    return std::ranges::find(kPlaylistExtensions, LowerExtension(path)) !=
           kPlaylistExtensions.end();
}

std::string AnyCasePattern(std::string_view lowerExtension) {
    std::string pattern = "*.";
    for (const char c : lowerExtension) {
        const char upper = char(std::toupper(static_cast<unsigned char>(c)));
        if (upper == c) {
            pattern += c;
        } else {
            pattern += {'[', c, upper, ']'};
        }
    }
    return pattern;
}

ExpandedPaths ExpandPaths(const std::vector<std::string>& paths) {
    Expansion expansion;
    for (const std::string& path : paths) expansion.Add(path, {});
    return std::move(expansion.result);
}

}  // namespace zirvak
