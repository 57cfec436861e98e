#include "pcm_file_writer.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace zirvak {

namespace {

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, v & 0xFFFF);
    PutU16(p + 2, v >> 16);
}

constexpr size_t kHeaderBytes = 44;

}  // namespace

PcmFileWriter::~PcmFileWriter() {
    Close();
}

bool PcmFileWriter::Open(const std::string& path, bool wav, int32_t sampleRateHz, int32_t channels,
                         int32_t bitsPerSample, std::string* error) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    wav_ = wav;
    ok_ = true;
    dataBytes_ = 0;
    if (wav_) {
        uint8_t h[kHeaderBytes] = {};
        const uint32_t blockAlign = uint32_t(channels * bitsPerSample / 8);
        std::memcpy(h, "RIFF", 4);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        PutU32(h + 16, 16);
        PutU16(h + 20, 1);  // PCM
        PutU16(h + 22, uint32_t(channels));
        PutU32(h + 24, uint32_t(sampleRateHz));
        PutU32(h + 28, uint32_t(sampleRateHz) * blockAlign);
        PutU16(h + 32, blockAlign);
        PutU16(h + 34, uint32_t(bitsPerSample));
        std::memcpy(h + 36, "data", 4);
        ok_ = std::fwrite(h, 1, kHeaderBytes, file_) == kHeaderBytes;
    }
    return ok_;
}

bool PcmFileWriter::Write(const void* bytes, size_t length) {
    if (file_ == nullptr) return false;
    if (length > 0 && std::fwrite(bytes, 1, length, file_) != length) ok_ = false;
    dataBytes_ += length;
    return ok_;
}

bool PcmFileWriter::Close() {
    if (file_ == nullptr) return ok_;
    if (wav_) {
        // Sizes past 4 GiB cannot be stored; such a file keeps the largest size there is.
        const uint64_t limit = 0xFFFFFFFFu - kHeaderBytes;
        const uint32_t data = uint32_t(dataBytes_ > limit ? limit : dataBytes_);
        uint8_t size[4];
        PutU32(size, data + 36);
        if (std::fseek(file_, 4, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) ok_ = false;
        PutU32(size, data);
        if (std::fseek(file_, 40, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4)
            ok_ = false;
    }
    if (std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
    return ok_;
}

bool HasWavExtension(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return ext == ".wav";
}

}  // namespace zirvak
