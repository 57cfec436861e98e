// The walk over the frames of an MPEG stream that playback, the header scan and the
// command-line decoder share.
//
// The walk follows the frames of a stream (mpeg_frame_search.h says what one is). Where the
// next header is missing or belongs to another stream (damage: bytes lost, inserted or
// changed), it searches forward for the next position that starts the stream by the same rule
// and goes on from there, so the frames lost are the damaged ones and never the rest of the
// file.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "byte_source.h"
#include "byte_window.h"
#include "mpeg_decoder.h"

namespace zirvak {

// Steps through a stream one slot at a time. A slot is a frame, parsed (publishing its rate
// and output size) and decoded, or the silence of a frame lost to damage: a frame whose header
// was destroyed between two good ones, or one whose bytes run into the next good frame.
class MpegFrameWalk {
public:
    // [begin, end) of `source` is the audio, begin at the stream's first frame.
    MpegFrameWalk(mpeg::Decoder& decoder, ByteSource& source, uint64_t begin, uint64_t end);

    // Goes back to the first frame and reads the stream it starts. False when it does not parse.
    bool Begin();
    // Begin, then sets the decoder up for the stream, with the default options unless
    // `keepOptions` asks to keep those the decoder holds. False when the decoder refuses the
    // stream (see mpeg::LastDecoderError).
    bool SetUp(bool keepOptions = false);

    // The stream's first frame, as parsed by Begin.
    const mpeg::StreamInfo& info() const { return first_; }
    bool AtEnd();

    // Fills the next slot: decodes its frame into `out` (room for outputBytesPerFrame). False
    // when nothing was written: the decoder refused the frame, or the slot is a lost frame's.
    bool DecodeNext(uint8_t* out);
    // Steps over the next slot by headers alone.
    void SkipNext();

    // Where the walk stands in the source: the next frame, or where its search goes on.
    uint64_t offset() const { return cursor_; }
    uint64_t slotsWalked() const { return slots_; }
    // The end of the last frame walked.
    uint64_t lastFrameEnd() const { return lastFrameEnd_; }
    // Frames walked (not counting lost ones), their bytes, and whether their bit rate varied.
    uint64_t framesWalked() const { return frames_; }
    uint64_t frameBytesWalked() const { return frameBytes_; }
    bool bitrateVaried() const { return lowestBitrate_ != highestBitrate_; }
    // The damage walked over: the gaps where the walk had to search for the stream again, the
    // bytes it skipped there, and the lost frames it gave silent slots.
    uint64_t gapsWalked() const { return gaps_; }
    uint64_t gapBytesWalked() const { return gapBytes_; }
    uint64_t lostFramesWalked() const { return slots_ - frames_; }
    // True once a read came back short: the file shrank while it was walked.
    bool sourceCameShort() const { return window_.cameShort(); }

private:
    enum class Kind { kUnknown, kFrame, kLost, kEnd };
    struct Slot {
        Kind kind = Kind::kUnknown;
        uint64_t offset = 0;  // kFrame: where the frame lies, and its length
        int32_t length = 0;
        int32_t bitrateIndex = 0;
        uint64_t resumeAt = 0;    // where the walk goes on after this frame
        uint32_t lostAfter = 0;   // frames lost between this frame and resumeAt
        bool skipsBytes = false;  // resumeAt lies beyond this frame's end
        uint64_t gapBytes = 0;    // damaged bytes between this frame and where the stream goes on
    };

    void Prepare();
    void Consume();
    uint32_t LostFramesIn(uint64_t gap) const;

    // The longest run of lost frames given silent slots of their own.
    static constexpr uint64_t kMostLostFrames = 8;

    mpeg::Decoder& decoder_;
    ByteWindow window_;
    uint64_t begin_;
    uint64_t cursor_;
    mpeg::StreamInfo first_{};
    mpeg::StreamInfo info_{};
    // Frame lengths of the stream at bit-rate indices 1 to 14: without and with padding.
    std::array<std::pair<uint32_t, uint32_t>, 14> frameLengths_{};
    Slot next_;
    uint32_t lostPending_ = 0;     // lost frames still to be given their silent slots
    bool resetReservoir_ = false;  // bytes were skipped: earlier main data no longer fits
    uint64_t slots_ = 0;
    uint64_t frames_ = 0;
    uint64_t frameBytes_ = 0;
    uint64_t lastFrameEnd_ = 0;
    uint64_t gaps_ = 0;
    uint64_t gapBytes_ = 0;
    int32_t lowestBitrate_ = 0;
    int32_t highestBitrate_ = 0;
};

}  // namespace zirvak
