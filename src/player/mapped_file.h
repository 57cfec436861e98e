// A whole file mapped read-only into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zirvak {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    // Maps the whole file. Fails (false) when the file cannot be opened, is not a regular
    // file, is empty, or cannot be mapped; `error` then says why in a few words.
    bool Open(const std::string& path, std::string* error = nullptr);
    void Close();

    bool IsOpen() const { return data_ != nullptr; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace zirvak
