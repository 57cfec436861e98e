#include "output_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "messages.h"

namespace zirvak::cli {

OutputFile::~OutputFile() {
    if (temporary_) ::unlink(writePath_.c_str());
}

bool OutputFile::Prepare(const std::string& path, const std::vector<std::string>& inputPaths,
                         std::string& error) {
    path_ = path;
    struct stat out {
    }, in{};
    const bool exists = ::stat(path.c_str(), &out) == 0;
    for (const std::string& inputPath : inputPaths) {
        if (exists && ::stat(inputPath.c_str(), &in) == 0 && out.st_dev == in.st_dev &&
            out.st_ino == in.st_ino) {
            error = Words(Say::kWouldOverwriteInput, path);
            return false;
        }
    }
    if (exists && !S_ISREG(out.st_mode)) {
        if (S_ISDIR(out.st_mode)) {
            error = Words(Say::kCannotWriteFolder, path);
            return false;
        }
        writePath_ = path;  // a device or a pipe
        return true;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = Words(Say::kCannotWrite, path, std::strerror(errno));
        return false;
    }
    // mkstemp makes the file private; give it the mode OUT has, or a new file would get.
    mode_t mode = out.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);
    writePath_ = temp;
    temporary_ = true;
    return true;
}

bool OutputFile::Commit(std::string& error) {
    if (!temporary_) return true;
    // On the disk before it takes OUT's name, so a crash leaves the old file, not an empty one.
    // The temporary name was made fresh by mkstemp and nothing but us writes it; still, no
    // symlink is followed to get there.
    const int fd = ::open(writePath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced) {
        error = Words(Say::kCannotWrite, path_, std::strerror(errno));
        return false;
    }
    if (::rename(writePath_.c_str(), path_.c_str()) != 0) {
        error = Words(Say::kCannotWrite, path_, std::strerror(errno));
        return false;
    }
    temporary_ = false;
    return true;
}

}  // namespace zirvak::cli
