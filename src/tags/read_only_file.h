// The file as TagLib sees it: a regular file opened read-only. Every write, insert and truncation
// TagLib could ask for is refused here: TagLib's own FileStream reopens a file read-write when
// asked to write, and opening a FIFO through it would wait for a writer; neither can happen
// through this. The start of the file can be shown changed (see ReplaceStart), never written.
#pragma once

#include <tiostream.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zirvak {

class ReadOnlyFile final : public TagLib::IOStream {
public:
    // Opens `path` when it names a regular file, without waiting on it; isOpen() says whether
    // it did.
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile() override;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // The file's own bytes from `offset`, whatever is shown to TagLib: fewer than `length` at
    // its end.
    std::vector<uint8_t> ReadAt(uint64_t offset, size_t length) const;
    // From now on TagLib sees `head` where the file's first `replaced` bytes are, and the rest of
    // the file after it.
    void ReplaceStart(std::vector<uint8_t> head, uint64_t replaced);

    TagLib::FileName name() const override { return path_.c_str(); }
    bool isOpen() const override { return fd_ >= 0; }
    bool readOnly() const override { return true; }
    long length() override;
    long tell() const override { return position_; }
    TagLib::ByteVector readBlock(unsigned long length) override;
    // As fseek: a position before the start is refused and leaves the position where it was.
    void seek(long offset, Position from = Beginning) override;

    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    void truncate(long) override {}

private:
    size_t Read(uint64_t offset, uint8_t* out, size_t length) const;

    std::string path_;
    int fd_ = -1;
    long size_ = 0;
    long position_ = 0;
    std::vector<uint8_t> head_;  // shown in place of the file's first `replaced_` bytes
    long replaced_ = 0;
};

}  // namespace zirvak
