// WAV files as a source: the samples of the data chunk, from the start or from a sample frame a
// seek asks for, in chunks of kWavChunkBytes of 16-bit PCM (wav_file.h reads and converts them).
// A WAV file plays whole: the clip bounds of MPEG audio do not apply to it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "audio_source.h"
#include "file_change_watch.h"
#include "input_file.h"
#include "wav_file.h"

namespace zirvak {

class WavSource final : public AudioSource {
public:
    explicit WavSource(InputFile& file) : file_(file), watch_(file) {}

    RunStart Start(std::optional<uint32_t> seekMs) override;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) override;
    AudioFormat format() const override { return format_; }
    uint32_t lengthMs() const override;
    bool fileChanged() const override { return watch_.seen(); }

    // The header, as the first Start read it.
    const WavInfo& wav() const { return wav_; }

private:
    uint32_t FillChunk(uint8_t buffer, uint32_t chunk, uint32_t length);

    InputFile& file_;
    FileChangeWatch watch_;
    WavInfo wav_;
    AudioFormat format_;
    // Each chunk is read (and converted to 16-bit PCM) into a buffer of our own.
    std::array<std::unique_ptr<uint8_t[]>, 2> buffers_;
    std::unique_ptr<uint8_t[]> scratch_;  // raw samples of formats other than 16-bit
    uint64_t startFrame_ = 0;             // the sample frame the run reads from
    uint64_t audioBytes_ = 0;             // bytes of 16-bit PCM the run plays
    uint32_t lastBufferIndex_ = 0;
};

}  // namespace zirvak
