// MPEG audio as a source: the stream located, scanned and set up (mpeg_stream.h), the part of it
// the clip plays (mpeg_clip.h), and the frames decoded buffer by buffer.
//
// A run starts in the frame that holds its start time, after the frames before it have primed
// the decoder (the bit reservoir and the overlap of the filter bank need them), and its first
// buffer starts inside that frame, on the sample frame of that time. Every later buffer holds
// whole frames; the last one ends where the clip ends.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "audio_source.h"
#include "file_change_watch.h"
#include "input_file.h"
#include "mpeg_clip.h"
#include "mpeg_decoder.h"
#include "mpeg_stream.h"

namespace zirvak {

class MpegSource final : public AudioSource {
public:
    // Plays the clip [clipStartMs, clipEndMs] of the stream in `file`.
    MpegSource(InputFile& file, uint32_t clipStartMs, uint32_t clipEndMs)
        : file_(file), watch_(file), clipStartMs_(clipStartMs), clipEndMs_(clipEndMs) {}

    RunStart Start(std::optional<uint32_t> seekMs) override;
    SourceBuffer Fill(uint8_t buffer, uint32_t index) override;
    AudioFormat format() const override { return format_; }
    uint32_t lengthMs() const override { return clip_.endMs; }
    bool fileChanged() const override { return watch_.seen(); }

    // What the run plays of the stream, in frames and buffers.
    const ClipPlan& clip() const { return clip_; }
    // The stream, as the first Start read it.
    const MpegStream& stream() const { return stream_; }

private:
    uint32_t DecodeFrames(uint8_t* buffer, uint32_t count);

    // The frames before the start frame that prime the decoder.
    static constexpr uint32_t kPrimingFrames = 9;

    InputFile& file_;
    FileChangeWatch watch_;
    uint32_t clipStartMs_;
    uint32_t clipEndMs_;
    mpeg::DecoderPtr decoder_;
    FileProblem openProblem_ = FileProblem::kNone;  // why the first Start found no stream
    MpegStream stream_;                             // walks with decoder_: destroyed before it
    AudioFormat format_;
    DecodedPcm pcm_;
    std::array<std::unique_ptr<uint8_t[]>, 2> buffers_;
    uint32_t bufferBytes_ = 0;
    ClipPlan clip_;
    uint32_t lastBufferIndex_ = 0;
};

}  // namespace zirvak
