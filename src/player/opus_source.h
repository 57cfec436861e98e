// Ogg Opus files as a source, decoded by opusfile at 48 kHz (ogg_source.h says what every Ogg
// source does). The length and positions are opusfile's: after the pre-skip, up to the end the
// last granule position trims to, with the output gain applied.
#pragma once

#include <memory>

#include "ogg_source.h"

namespace zirvak {

class OpusSource final : public OggSource {
public:
    explicit OpusSource(InputFile& file);
    ~OpusSource() override;

private:
    FileProblem OpenStream(std::string* detail) override;
    void CloseStream() override;
    bool SeekStream(uint64_t frame) override;
    Decoded ReadStream(int16_t* out, uint32_t frames, uint64_t firstFrame) override;
    int64_t Position() override;

    void* opus_ = nullptr;              // OggOpusFile
    std::unique_ptr<float[]> scratch_;  // one read of float samples
};

}  // namespace zirvak
