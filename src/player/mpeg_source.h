// Where the audio of an MPEG file lies, and the walk over its frames that playback and the
// command-line decoder share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mpeg_decoder.h"

namespace zirvak {

struct MpegAudioBounds {
    size_t audioStart = 0;  // first byte after an ID3v2 tag (where the frame search began)
    size_t audioBytes = 0;  // bytes from audioStart to the end, less a trailing "TAG" block
    size_t firstFrame = 0;  // offset of the first frame from the start of the file
};

// Skips an ID3v2 tag, leaves out a trailing 128-byte "TAG" block and finds the first frame: a
// valid header followed, one frame on, by another valid header of the same stream (or by the
// end of the audio). False when the tag runs past the end of the file or no frame is found;
// free-format streams (bit-rate index 0), which are not played, have none.
bool LocateMpegAudio(mpeg::Decoder& decoder, std::span<const uint8_t> file,
                     MpegAudioBounds& bounds);

// Steps through the frames of a stream one at a time: each frame is parsed (publishing its
// rate and output size), then decoded, and the walk advances by the frame's length as the
// stream information gives it. A frame that fails to parse advances by the previous frame's
// length; one that fails to decode leaves its output untouched.
class MpegFrameWalk {
public:
    // [begin, end) is the audio: begin at the first frame, end before any trailing tag.
    MpegFrameWalk(mpeg::Decoder& decoder, const uint8_t* begin, const uint8_t* end);

    // Sets the decoder up for the stream at `begin`, with the default options unless
    // `keepOptions` asks to keep those the decoder holds. False when the decoder refuses the
    // stream (see mpeg::LastDecoderError).
    bool SetUp(bool keepOptions = false);

    const mpeg::StreamInfo& info() const { return info_; }
    size_t offset() const { return size_t(cursor_ - begin_); }
    bool AtEnd() const { return end_ - cursor_ < 4; }

    // Decodes the frame at the cursor into `out` (room for outputBytesPerFrame of the first
    // frame) and advances. Returns false when the decoder refused the frame.
    bool DecodeNext(uint8_t* out);
    // Advances over one frame by its header alone.
    void SkipNext();

private:
    int32_t ParseAtCursor();
    void Advance();

    mpeg::Decoder& decoder_;
    const uint8_t* begin_;
    const uint8_t* end_;
    const uint8_t* cursor_;
    mpeg::StreamInfo info_{};
    int32_t outputBytesPerFrame_ = 0;
};

}  // namespace zirvak
