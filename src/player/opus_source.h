// Ogg Opus files as a source, decoded by opusfile at 48 kHz (ogg_source.h says what every Ogg
// source does). The length and positions are opusfile's: after the pre-skip, up to the end the
// last granule position trims to, with the output gain applied, and overs softened as Opus's
// own decoder softens them rather than cut off.
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

    // Decodes the next packet into scratch_, softened; what op_read_float returned.
    int DecodePacket(int* link);

    void* opus_ = nullptr;                  // OggOpusFile
    std::unique_ptr<float[]> scratch_;      // one packet of float samples
    std::unique_ptr<float[]> clipMemory_;   // the softening's state, a float a channel
    uint32_t decoded_ = 0, handedOut_ = 0;  // frames in scratch_, and of them handed out
};

}  // namespace zirvak
