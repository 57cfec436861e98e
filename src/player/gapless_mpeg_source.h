// MPEG audio as the encoder took it in: the stream of an MpegSource without the silence the
// encoder added before and after the song, as its LAME tag (or iTunSMPB comment) gives them, and
// without the tag's own frame. The decoder's own delay (529 samples of the filter banks) is counted
// as other players count it, so the samples are those of the encoder's input, as many as it
// encoded.
//
// A stream with neither plays as the MpegSource plays it, less a VBR header's frame. Seeks land on
// the exact sample frame of the song: the inner source starts a little before it, and what lies
// before is passed over.
#pragma once

#include <cstdint>
#include <optional>

#include "audio_source.h"
#include "mpeg_source.h"
#include "pcm_run_buffers.h"

namespace zirvak {

// The samples of the decoded stream passed over before the song, and the song's length in
// sample frames.
struct GaplessTrim {
    uint64_t skipFrames = 0;
    uint64_t songFrames = 0;
};

// The delay of the decoder's filter banks, in samples, as other players count it.
inline constexpr uint32_t kDecoderDelay = 529;

// The song within `stream`: without a Xing, Info or VBRI header's frame (no sound), and without
// the encoder's delay and padding its LAME tag or iTunSMPB comment gives, the decoder's delay
// counted with the encoder's. None when the stream plays whole: no header, no gap.
std::optional<GaplessTrim> GaplessTrimOf(const MpegStream& stream);

class GaplessMpegSource final : public AudioSource {
public:
    // Plays the song of the stream in `file` up to `clipEndMs` of the stream.
    GaplessMpegSource(InputFile& file, uint32_t clipEndMs);

    RunStart Start(std::optional<uint32_t> seekMs) override;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) override;
    AudioFormat format() const override { return inner_.format(); }
    uint32_t lengthMs() const override;
    bool fileChanged() const override { return inner_.fileChanged(); }

    // The stream, as the first Start read it.
    const MpegStream& stream() const { return inner_.stream(); }

    using Trim = GaplessTrim;
    const std::optional<Trim>& trim() const { return trim_; }

private:
    uint32_t Pull(int16_t* out, uint32_t frames);

    MpegSource inner_;
    bool trimKnown_ = false;
    std::optional<Trim> trim_;
    PcmRunBuffers buffers_;
    uint32_t frameBytes_ = 0;
    // The inner run being read: the rest of its current buffer, which of its buffers that is,
    // its last, whether it came short, and the bytes still to pass over.
    const uint8_t* innerAt_ = nullptr;
    uint32_t innerLeft_ = 0;
    uint32_t innerIndex_ = 0;
    uint32_t innerLast_ = 0;
    bool innerEnded_ = false;
    uint64_t discardBytes_ = 0;
};

}  // namespace zirvak
