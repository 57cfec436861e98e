#include "mpeg_frame_walk.h"

#include <algorithm>
#include <cstring>

#include "mpeg_frame_search.h"

namespace zirvak {

MpegFrameWalk::MpegFrameWalk(mpeg::Decoder& decoder, ByteSource& source, uint64_t begin,
                             uint64_t end)
    : decoder_(decoder), window_(source, end), begin_(begin), cursor_(begin) {}

bool MpegFrameWalk::Begin() {
    cursor_ = begin_;
    next_ = {};
    lostPending_ = 0;
    resetReservoir_ = false;
    slots_ = frames_ = frameBytes_ = gaps_ = gapBytes_ = 0;
    lastFrameEnd_ = begin_;
    lowestBitrate_ = highestBitrate_ = 0;
    first_ = {};
    frameLengths_ = {};
    const std::span<const uint8_t> view = window_.At(begin_, kFrameView);
    if (!ParseFrame(decoder_, view, first_, 0)) return false;
    // The lengths a frame of this stream can have, at each bit rate, without and with padding.
    uint8_t header[kParseBytes] = {};
    std::memcpy(header, view.data(), 4);
    for (size_t i = 0; i < frameLengths_.size(); ++i) {
        header[2] = uint8_t((header[2] & 0x0F) | ((i + 1) << 4));
        mpeg::StreamInfo info;
        if (ParseFrame(decoder_, header, info, 0))
            frameLengths_[i] = {uint32_t(info.minFrameLength), uint32_t(info.maxFrameLength)};
    }
    return true;
}

bool MpegFrameWalk::SetUp(bool keepOptions) {
    mpeg::DecoderOptions options;
    mpeg::GetDecoderOptions(decoder_, options);
    mpeg::InitDecoderTables(decoder_);
    if (keepOptions) mpeg::SetDecoderOptions(decoder_, options);
    if (!Begin()) return false;
    const MpegParseView view(window_.At(begin_, kFrameView));
    if (!mpeg::ParseFrameInfo(decoder_, view.data(), view.size(), first_, 1)) return false;
    return mpeg::SetUpStream(decoder_, view.data(), view.size()) == 1;
}

// The frames whose place `gap` bytes between two good frames take. One when they are exactly one
// frame of the stream at some bit rate: a frame whose header was destroyed. n when a stream of
// constant bit rate lost n whole frames there (a run of zeros), up to kMostLostFrames. None for
// junk that was inserted, or for runs too long to be worth keeping the time of.
uint32_t MpegFrameWalk::LostFramesIn(uint64_t gap) const {
    if (gap == 0) return 0;
    for (const auto& [shortest, longest] : frameLengths_)
        if (gap == shortest || gap == longest) return 1;
    if (frames_ == 0 || lowestBitrate_ != highestBitrate_ || lowestBitrate_ < 1) return 0;
    const auto& [shortest, longest] = frameLengths_[size_t(lowestBitrate_ - 1)];
    const uint64_t n = shortest ? gap / shortest : 0;
    return n >= 2 && n <= kMostLostFrames && gap <= n * longest ? uint32_t(n) : 0;
}

// Works out the next slot, once: the frame at the cursor when the next header follows it as
// it should; otherwise where the stream goes on, and what was lost on the way.
void MpegFrameWalk::Prepare() {
    if (next_.kind != Kind::kUnknown) return;
    if (lostPending_ > 0) {
        next_.kind = Kind::kLost;
        return;
    }
    for (;;) {
        if (cursor_ >= window_.end()) {
            next_.kind = Kind::kEnd;
            return;
        }
        const std::span<const uint8_t> view = window_.At(cursor_, kFrameView);
        mpeg::StreamInfo info;
        const bool isFrame =
            ParseFrame(decoder_, view, info, 0) && SameStream(info, first_) && LengthOf(info) > 0;
        const size_t length = isFrame ? size_t(LengthOf(info)) : 0;
        Slot frame{Kind::kFrame, cursor_, int32_t(length), info.bitrateIndex, cursor_ + length};
        // A frame that reaches the end of the audio is its last, even when cut short; but not
        // one cut short by the file shrinking under us.
        if (isFrame && view.size() < length && window_.cameShort()) {
            next_.kind = Kind::kEnd;
            return;
        }
        if (isFrame &&
            (view.size() < length + 4 || HeaderOfStream(decoder_, view.data() + length, first_))) {
            next_ = frame;
            return;
        }
        // Damage. Find where the stream goes on.
        FirstSync ignored;
        const uint64_t resume = FindStreamStart(decoder_, window_, cursor_ + 1, &first_, ignored);
        const bool resumes = resume < window_.end();
        if (isFrame && resume >= cursor_ + length) {
            // The frame is whole; after it lie junk or lost frames, which keep their place as
            // silence.
            // Junk up to the end of the audio (zeros after the last frame) is no gap.
            frame.resumeAt = resume;
            frame.skipsBytes = resume > cursor_ + length;
            frame.gapBytes = resumes ? resume - (cursor_ + length) : 0;
            frame.lostAfter = LostFramesIn(frame.gapBytes);
            next_ = frame;
            return;
        }
        // The frame runs into the next good one (bytes were lost inside it), or there is no
        // frame here at all. Main data before the gap is no use to the frames after it.
        const uint64_t gap = resume - cursor_;
        cursor_ = resume;
        resetReservoir_ = true;
        if (resumes) {
            ++gaps_;
            gapBytes_ += gap;
            lostPending_ = isFrame ? 1 : LostFramesIn(gap);
        }
        if (lostPending_ > 0) {
            next_.kind = Kind::kLost;
            return;
        }
    }
}

void MpegFrameWalk::Consume() {
    switch (next_.kind) {
        case Kind::kFrame:
            cursor_ = next_.resumeAt;
            lastFrameEnd_ = std::min(next_.offset + uint64_t(next_.length), window_.end());
            lostPending_ += next_.lostAfter;
            if (next_.skipsBytes) resetReservoir_ = true;
            if (next_.gapBytes > 0) {
                ++gaps_;
                gapBytes_ += next_.gapBytes;
            }
            if (frames_ == 0 || next_.bitrateIndex < lowestBitrate_)
                lowestBitrate_ = next_.bitrateIndex;
            if (frames_ == 0 || next_.bitrateIndex > highestBitrate_)
                highestBitrate_ = next_.bitrateIndex;
            ++frames_;
            frameBytes_ += uint64_t(next_.length);
            ++slots_;
            break;
        case Kind::kLost:
            if (lostPending_ > 0) --lostPending_;
            ++slots_;
            break;
        default:
            break;
    }
    next_ = {};
}

bool MpegFrameWalk::AtEnd() {
    Prepare();
    return next_.kind == Kind::kEnd;
}

bool MpegFrameWalk::DecodeNext(uint8_t* out) {
    Prepare();
    bool decoded = false;
    if (next_.kind == Kind::kFrame) {
        if (resetReservoir_) {
            // Frames after a gap must not borrow main data from before it.
            mpeg::SelectLayerDecoder(decoder_, first_);
            resetReservoir_ = false;
        }
        const std::span<const uint8_t> view = window_.At(next_.offset, kFrameView);
        ParseFrame(decoder_, view, info_, 1);
        mpeg::FrameJob job;
        static_cast<mpeg::FrameHeader&>(job) = info_;
        job.bitrate = info_.bitrate;
        job.input = view.data();
        job.inputLength = ClampToInt(view.size());
        job.output = out;
        job.outputLength = first_.outputBytesPerFrame;
        decoded = mpeg::DecodeFrame(decoder_, job) == 1;
    }
    Consume();
    return decoded;
}

void MpegFrameWalk::SkipNext() {
    Prepare();
    Consume();
}

}  // namespace zirvak
