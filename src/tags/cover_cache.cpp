// The covers written out for whatever shows them by file (a desktop's media controls, a
// notification): one file per picture, named by its bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "song_tags.h"

namespace zirvak {

namespace {

uint64_t Fnv1a64(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001b3u;
    return hash;
}

const char* Extension(std::string_view mimeType) {
    if (mimeType == "image/jpeg") return ".jpg";
    if (mimeType == "image/png") return ".png";
    return ".img";
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes `folder` and whatever is missing above it, each new level private to the user (as the
// XDG base directory rules ask of the cache).
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return IsDirectory(folder);
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

std::string CoverCacheFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return std::string(cache) + "/zirvak/covers";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.cache/zirvak/covers";
    return {};
}

std::string SaveCover(const CoverArt& cover, const std::string& folder) {
    if (cover.empty() || folder.empty()) return {};
    try {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(Fnv1a64(cover.data)));
        const std::string name = hash + std::string(Extension(cover.mimeType));
        const std::string path = folder + "/" + name;

        struct stat existing {};
        if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
            uint64_t(existing.st_size) == cover.data.size())
            return path;
        if (!MakeFolders(folder)) return {};

        // A name no other writer uses, in the same folder so the rename cannot cross devices.
        static std::atomic<uint32_t> counter{0};
        const std::string temporary = folder + "/." + name + "." + std::to_string(getpid()) + "." +
                                      std::to_string(counter++) + ".tmp";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return {};
        const bool written = WriteAll(fd, cover.data);
        if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
            unlink(temporary.c_str());
            return {};
        }
        return path;
    } catch (...) {
        return {};  // out of memory for a path
    }
}

}  // namespace zirvak
