#include "read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace zirvak {

namespace {

// A ByteVector's size is an unsigned int; no tag is anywhere near this.
constexpr unsigned long kLargestRead = INT_MAX;

}  // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = info.st_size;
    } else if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) close(fd_);
}

size_t ReadOnlyFile::Read(uint64_t offset, uint8_t* out, size_t length) const {
    size_t got = 0;
    while (fd_ >= 0 && got < length) {
        const ssize_t n = pread(fd_, out + got, length - got, off_t(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // an error, or the file shrank: what was read counts
        got += size_t(n);
    }
    return got;
}

std::vector<uint8_t> ReadOnlyFile::ReadAt(uint64_t offset, size_t length) const {
    std::vector<uint8_t> bytes(length);
    bytes.resize(Read(offset, bytes.data(), length));
    return bytes;
}

void ReadOnlyFile::ReplaceStart(std::vector<uint8_t> head, uint64_t replaced) {
    head_ = std::move(head);
    replaced_ = long(std::min<uint64_t>(replaced, uint64_t(size_)));
}

long ReadOnlyFile::length() {
    return long(head_.size()) + size_ - replaced_;
}

TagLib::ByteVector ReadOnlyFile::readBlock(unsigned long length) {
    const long end = this->length();
    if (fd_ < 0 || position_ >= end) return {};
    // Never more than the file holds, however much a damaged size field asks for.
    const size_t wanted =
        std::min({length, static_cast<unsigned long>(end - position_), kLargestRead});
    TagLib::ByteVector block(static_cast<unsigned int>(wanted), '\0');
    auto* out = reinterpret_cast<uint8_t*>(block.data());
    size_t got = 0;
    const long headSize = long(head_.size());
    if (position_ < headSize) {
        got = std::min(wanted, size_t(headSize - position_));
        std::memcpy(out, head_.data() + position_, got);
    }
    if (got < wanted) {
        const uint64_t from = uint64_t(position_ + long(got) - headSize + replaced_);
        got += Read(from, out + got, wanted - got);
    }
    block.resize(static_cast<unsigned int>(got));
    position_ += long(got);
    return block;
}

void ReadOnlyFile::seek(long offset, Position from) {
    const long base = from == Beginning ? 0 : from == Current ? position_ : length();
    long target;
    if (!__builtin_add_overflow(base, offset, &target) && target >= 0) position_ = target;
}

}  // namespace zirvak
