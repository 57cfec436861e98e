#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zirvak {

namespace {

FileProblem Fail(FileProblem problem, const char* words, std::string* detail) {
    if (detail) *detail = words;
    return problem;
}

}  // namespace

FileProblem InputFile::Open(const std::string& path, std::string* detail) {
    Close();
    // Non-blocking, so that a FIFO without a writer is refused below instead of waiting.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        const FileProblem problem =
            error == ENOENT || error == ENOTDIR ? FileProblem::kMissing : FileProblem::kNotReadable;
        return Fail(problem, std::strerror(error), detail);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return Fail(FileProblem::kNotReadable, std::strerror(error), detail);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        const char* kind = S_ISDIR(st.st_mode)    ? "a folder"
                           : S_ISFIFO(st.st_mode) ? "a pipe"
                           : S_ISSOCK(st.st_mode) ? "a socket"
                                                  : "a device";
        return Fail(FileProblem::kNotRegular, kind, detail);
    }
    // Reads of a regular file never wait on a writer; blocking mode keeps them plain.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    path_ = path;
    size_ = uint64_t(st.st_size);
    modifiedSeconds_ = st.st_mtim.tv_sec;
    modifiedNanoseconds_ = st.st_mtim.tv_nsec;
    return FileProblem::kNone;
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
    size_ = 0;
}

size_t InputFile::ReadAt(uint64_t offset, uint8_t* out, size_t length) {
    size_t done = 0;
    while (fd_ >= 0 && done < length) {
        const ssize_t n = ::pread(fd_, out + done, length - done, off_t(offset + done));
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // the end of the file, or an error reading it: both end what can be read
        }
    }
    return done;
}

uint64_t InputFile::NextDataOffset(uint64_t offset) {
    if (fd_ < 0) return offset;
    const off_t next = ::lseek(fd_, off_t(offset), SEEK_DATA);
    if (next >= 0) return uint64_t(next) > offset ? uint64_t(next) : offset;
    // No data after `offset` at all: the rest is one hole.
    return errno == ENXIO && offset < size_ ? size_ : offset;
}

bool InputFile::Changed() const {
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return true;
    return uint64_t(st.st_size) != size_ || st.st_mtim.tv_sec != modifiedSeconds_ ||
           st.st_mtim.tv_nsec != modifiedNanoseconds_;
}

}  // namespace zirvak
