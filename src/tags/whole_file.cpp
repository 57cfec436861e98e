#include "whole_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace zirvak {

namespace {

// Tries as many fresh names before giving up; a clash with a name never used before means
// someone keeps guessing, or the folder is full of our leftovers.
constexpr int kNameAttempts = 16;

std::string FreshName(const std::string& name) {
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != ssize_t(sizeof random)) {
        // Early in boot the pool may not be ready: the clock and the pid still differ per try.
        static std::atomic<uint64_t> counter{0};
        random = (uint64_t(getpid()) << 32) ^ uint64_t(time(nullptr)) ^
                 (++counter * 0x9E3779B97F4A7C15u);
    }
    char suffix[18];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random));
    return "." + name + ".new-" + suffix;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

}  // namespace

bool ReplaceFileAt(int folderFd, const std::string& name, std::string_view bytes, mode_t mode) {
    if (folderFd < 0 || name.empty() || name.find('/') != std::string::npos) return false;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
        temporary = FreshName(name);
        fd = openat(folderFd, temporary.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    // The mode given at creation is cut by the umask; the file gets exactly `mode`.
    bool done = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    done = close(fd) == 0 && done;
    done = done && renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0;
    if (!done) {
        unlinkat(folderFd, temporary.c_str(), 0);
        return false;
    }
    fsync(folderFd);  // the new name on the disk too; a folder that cannot only costs durability
    return true;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return false;
    const bool done = ReplaceFileAt(
        folderFd, slash == std::string::npos ? path : path.substr(slash + 1), bytes, mode);
    close(folderFd);
    return done;
}

}  // namespace zirvak
