// Writes 16-bit (or 8-bit) PCM to a RIFF WAVE file, or raw to any other file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zirvak {

class PcmFileWriter {
public:
    PcmFileWriter() = default;
    ~PcmFileWriter();
    PcmFileWriter(const PcmFileWriter&) = delete;
    PcmFileWriter& operator=(const PcmFileWriter&) = delete;

    // `wav` selects a RIFF WAVE header (its sizes are filled in by Close); otherwise the samples
    // are written raw. False with `error` set when the file cannot be created.
    bool Open(const std::string& path, bool wav, int32_t sampleRateHz, int32_t channels,
              int32_t bitsPerSample, std::string* error = nullptr);
    bool Write(const void* bytes, size_t length);
    // Finishes the header and closes; false when anything failed to reach the file.
    bool Close();

    uint64_t dataBytes() const { return dataBytes_; }

private:
    std::FILE* file_ = nullptr;
    bool wav_ = false;
    bool ok_ = true;
    uint64_t dataBytes_ = 0;
};

// True when `path` names a WAVE file by its extension (".wav", any case).
bool HasWavExtension(const std::string& path);

}  // namespace zirvak
