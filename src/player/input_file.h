// A file opened for reading by the player. Only regular files are opened, and opening never
// blocks (a FIFO or a device is refused before anything waits on it). Reads go through pread
// into buffers of the caller's, so memory does not grow with the file and nothing that happens
// to the file on disk can turn into a signal: a file that shrinks reads short, a file replaced
// by rename keeps being read as it was.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "byte_source.h"
#include "file_problem.h"

namespace zirvak {

class InputFile final : public ByteSource {
public:
    InputFile() = default;
    ~InputFile() override { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path`. On failure returns the problem (kMissing, kNotReadable or kNotRegular) and
    // puts the system's words for it in `detail`.
    FileProblem Open(const std::string& path, std::string* detail = nullptr);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The name it was opened by: a format whose files come with a companion finds it by it.
    const std::string& path() const { return path_; }

    uint64_t size() const override { return size_; }
    size_t ReadAt(uint64_t offset, uint8_t* out, size_t length) override;
    uint64_t NextDataOffset(uint64_t offset) override;

    // True once the file on disk no longer has the size and modification time it had when it
    // was opened: it was truncated, rewritten or appended to.
    bool Changed() const;

private:
    int fd_ = -1;
    std::string path_;
    uint64_t size_ = 0;
    int64_t modifiedSeconds_ = 0;
    int64_t modifiedNanoseconds_ = 0;
};

}  // namespace zirvak
