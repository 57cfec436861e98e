#include "playlist_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

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

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    const int order = CompareNatural(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool HasPlayableExtension(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "mp1" || ext == "mp2" || ext == "mp3" || ext == "wav";
}

std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    std::set<fs::path> seen;
    for (const std::string& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<std::string> files;
            CollectFolder(path, seen, files);
            std::sort(files.begin(), files.end(), NaturalLess);
            out.insert(out.end(), files.begin(), files.end());
        } else {
            out.push_back(path);
        }
    }
    return out;
}

}  // namespace zirvak
