#include "cover_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "whole_file.h"

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

// Makes `folder` and whatever is missing above it, each new level private to the user (as the
// XDG base directory rules ask of the cache).
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// The cover folder itself, open, when it is the user's own folder; -1 when it is not and
// cannot be made so. A symlink in its place (to anywhere: someone else's folder, the user's
// documents) is never written through: it is removed and a private folder made instead. Anything
// else that is not the user's folder (a file, a folder of another user) is left alone, and no
// cover is written.
int OpenOwnFolder(const std::string& folder) {
    if (!MakeFolders(folder)) return -1;
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(folder.c_str(), kFlags);
    struct stat info {};
    if (fd < 0 && lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        unlink(folder.c_str()) == 0 && mkdir(folder.c_str(), 0700) == 0)
        fd = open(folder.c_str(), kFlags);
    if (fd < 0) return -1;
    if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

// True when `name` in the folder is a regular file (not a symlink, FIFO or device, which are
// not followed or opened for long) holding exactly `bytes`.
bool HoldsExactly(int folderFd, const std::string& name, const std::vector<uint8_t>& bytes) {
    // Made before the file is open: a throw leaves nothing open.
    std::vector<uint8_t> held(bytes.size());
    const int fd =
        openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    bool same =
        fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && uint64_t(info.st_size) == bytes.size();
    for (size_t done = 0; same && done < held.size();) {
        const ssize_t n = read(fd, held.data() + done, held.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) same = false;
        done += n > 0 ? size_t(n) : 0;
    }
    close(fd);
    return same && held == bytes;
}

// A folder's descriptor, closed however the function that holds it ends.
struct OpenFolder {
    int fd;
    ~OpenFolder() {
        if (fd >= 0) close(fd);
    }
    operator int() const { return fd; }
};

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

        const OpenFolder folderFd{OpenOwnFolder(folder)};
        if (folderFd < 0) return {};
        // A file of that name is used only when it is our cover, byte for byte: whatever else
        // stands there (cut short by a crash, or a substitute of the same size) is written anew.
        const bool ours =
            HoldsExactly(folderFd, name, cover.data) ||
            ReplaceFileAt(folderFd, name,
                          std::string_view(reinterpret_cast<const char*>(cover.data.data()),
                                           cover.data.size()),
                          0600);
        return ours ? path : std::string();
    } catch (...) {
        return {};  // out of memory for a path
    }
}

}  // namespace zirvak
