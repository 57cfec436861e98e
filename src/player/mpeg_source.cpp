#include "mpeg_source.h"

#include <cstring>

namespace zirvak {

namespace {

// Parses the frame at `frame` (of `available` bytes) as the frame walk does: a frame close to
// the end is parsed from a zero-padded copy, since the parser wants 156 bytes.
int32_t ParseFrame(mpeg::Decoder& decoder, const uint8_t* frame, size_t available,
                   mpeg::StreamInfo& info) {
    constexpr size_t kParseBytes = 156;
    if (available < kParseBytes) {
        uint8_t padded[kParseBytes] = {};
        std::memcpy(padded, frame, available);
        return mpeg::ParseFrameInfo(decoder, padded, int32_t(kParseBytes), info, 0);
    }
    const int32_t offered = available > INT32_MAX ? INT32_MAX : int32_t(available);
    return mpeg::ParseFrameInfo(decoder, frame, offered, info, 0);
}

int32_t LengthOf(const mpeg::StreamInfo& info) {
    if (info.frameLength != 0) return info.frameLength;
    return info.padding ? info.maxFrameLength : info.minFrameLength;
}

// A stream starts where a valid header is followed, one frame length on, by another valid
// header of the same layer, version and rate, or by the end of the audio. A lone sync-like
// pattern in junk, or inside a free-format stream (which is not played), does not start one.
bool IsFirstFrame(mpeg::Decoder& decoder, const uint8_t* frame, size_t available) {
    mpeg::StreamInfo first;
    if (!ParseFrame(decoder, frame, available, first)) return false;
    const size_t length = size_t(LengthOf(first));
    if (length == 0) return false;
    if (length + 4 > available) return length >= available || available - length < 4;
    mpeg::FrameHeader next;
    if (!mpeg::ParseHeader(decoder, frame + length, next)) return false;
    return next.layer == first.layer && next.version == first.version &&
           next.sampleRateIndex == first.sampleRateIndex;
}

}  // namespace

bool LocateMpegAudio(mpeg::Decoder& decoder, std::span<const uint8_t> file,
                     MpegAudioBounds& bounds) {
    const size_t size = file.size();
    const uint8_t* bytes = file.data();

    size_t start = 0;
    if (size >= 10 && std::memcmp(bytes, "ID3", 3) == 0) {
        // Sizes are read as the tag stores them, each byte whole.
        start = (size_t(bytes[6]) << 21) + (size_t(bytes[7]) << 14) + (size_t(bytes[8]) << 7) +
                size_t(bytes[9]) + 10;
        if (start >= size) return false;
    }
    size_t audioBytes = size - start;
    if (size >= 128 && std::memcmp(bytes + size - 128, "TAG", 3) == 0)
        audioBytes = audioBytes >= 128 ? audioBytes - 128 : 0;

    for (size_t r = 0; r + 4 <= audioBytes; ++r) {
        if (bytes[start + r] != 0xFF) continue;
        if (IsFirstFrame(decoder, bytes + start + r, audioBytes - r)) {
            bounds = {start, audioBytes, start + r};
            return true;
        }
    }
    return false;
}

MpegFrameWalk::MpegFrameWalk(mpeg::Decoder& decoder, const uint8_t* begin, const uint8_t* end)
    : decoder_(decoder), begin_(begin), end_(end), cursor_(begin) {}

bool MpegFrameWalk::SetUp(bool keepOptions) {
    cursor_ = begin_;
    info_ = {};
    mpeg::DecoderOptions options;
    mpeg::GetDecoderOptions(decoder_, options);
    mpeg::InitDecoderTables(decoder_);
    if (keepOptions) mpeg::SetDecoderOptions(decoder_, options);
    const int32_t available = int32_t(end_ - begin_);
    if (!mpeg::ParseFrameInfo(decoder_, begin_, available, info_, 1)) return false;
    if (!mpeg::SetUpStream(decoder_, begin_, available)) return false;
    outputBytesPerFrame_ = info_.outputBytesPerFrame;
    return true;
}

int32_t MpegFrameWalk::ParseAtCursor() {
    const ptrdiff_t remaining = end_ - cursor_;
    // The parser wants 156 bytes whatever the frame's length. A short frame near the end is
    // parsed from a zero-padded copy, so that its own header gives its length and the walk
    // does not step on by the previous frame's.
    constexpr ptrdiff_t kParseBytes = 156;
    if (remaining < kParseBytes) {
        uint8_t tail[kParseBytes] = {};
        std::memcpy(tail, cursor_, size_t(remaining));
        return mpeg::ParseFrameInfo(decoder_, tail, int32_t(kParseBytes), info_, 1);
    }
    const int32_t available = remaining > INT32_MAX ? INT32_MAX : int32_t(remaining);
    return mpeg::ParseFrameInfo(decoder_, cursor_, available, info_, 1);
}

void MpegFrameWalk::Advance() {
    int32_t length = info_.frameLength;
    if (length == 0) length = info_.padding ? info_.maxFrameLength : info_.minFrameLength;
    // A length that cannot move forward would walk in place for ever: end the walk instead.
    if (length <= 0 || length > end_ - cursor_)
        cursor_ = end_;
    else
        cursor_ += length;
}

bool MpegFrameWalk::DecodeNext(uint8_t* out) {
    ParseAtCursor();
    mpeg::FrameJob job;
    static_cast<mpeg::FrameHeader&>(job) = info_;
    job.bitrate = info_.bitrate;
    job.input = cursor_;
    const ptrdiff_t remaining = end_ - cursor_;
    job.inputLength = remaining > INT32_MAX ? INT32_MAX : int32_t(remaining);
    job.output = out;
    job.outputLength = outputBytesPerFrame_;
    const bool decoded = mpeg::DecodeFrame(decoder_, job) == 1;
    Advance();
    return decoded;
}

void MpegFrameWalk::SkipNext() {
    ParseAtCursor();
    Advance();
}

}  // namespace zirvak
