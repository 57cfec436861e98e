#include "mpeg_source.h"

#include <cstring>

namespace zirvak {

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

    mpeg::FrameHeader header;
    for (size_t r = 0; r + 4 <= audioBytes; ++r) {
        if (bytes[start + r] != 0xFF) continue;
        if (mpeg::ParseHeader(decoder, bytes + start + r, header)) {
            bounds = {start, audioBytes, start + r};
            return true;
        }
        // A header that is sound but for its bit-rate index 0 opens a free-format stream, which
        // the decoder does not play; searching on would only lock onto a false sync inside it.
        const uint8_t b1 = bytes[start + r + 1], b2 = bytes[start + r + 2];
        if ((b1 & 0xE0) == 0xE0 && (b1 & 0x06) != 0 && (b2 >> 4) == 0 && ((b2 >> 2) & 3) != 3)
            return false;
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
    if (length <= 0 || length > end_ - cursor_) cursor_ = end_;
    else cursor_ += length;
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
