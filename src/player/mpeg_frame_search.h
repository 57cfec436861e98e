// Frames among bytes: parsing the one at a position, telling whether two frames belong to one
// stream, and searching for where a stream starts. The header scan and the frame walk share
// them.
//
// A stream is a run of frames of one version, layer, sample rate and channel count: its first
// frame is a header followed, one frame on, by another header of the same stream (or by the end
// of the audio).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "byte_window.h"
#include "mpeg_decoder.h"
#include "mpeg_parse_view.h"

namespace zirvak {

// Bytes looked at from a frame: the longest frame, the next frame's header, and the room the
// decoder reads ahead, so frames decode straight from the window.
inline constexpr size_t kFrameView = size_t(mpeg::kMaxFrameBytes) + 4 + 512;

inline int32_t LengthOf(const mpeg::StreamInfo& info) {
    if (info.frameLength != 0) return info.frameLength;
    return info.padding ? info.maxFrameLength : info.minFrameLength;
}

// Parses the frame at the start of `bytes`.
inline bool ParseFrame(mpeg::Decoder& decoder, std::span<const uint8_t> bytes,
                       mpeg::StreamInfo& info, int32_t publish) {
    if (bytes.size() < 4) return false;
    const MpegParseView view(bytes);
    return mpeg::ParseFrameInfo(decoder, view.data(), view.size(), info, publish) == 1;
}

// What makes frames one stream: the same version, layer, sample rate and channel count.
inline bool SameStream(const mpeg::FrameHeader& a, const mpeg::FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRateIndex == b.sampleRateIndex &&
           (a.mode == mpeg::kModeSingleChannel) == (b.mode == mpeg::kModeSingleChannel);
}

inline bool HeaderOfStream(mpeg::Decoder& decoder, const uint8_t* bytes,
                           const mpeg::FrameHeader& stream) {
    mpeg::FrameHeader next;
    return mpeg::ParseHeader(decoder, bytes, next) == 1 && SameStream(next, stream);
}

// What a search met before it found a stream: the first frame sync, and whether the decoder took
// its header (a free-format stream's headers are refused, and say so).
struct FirstSync {
    bool seen = false;
    bool valid = false;
    int32_t error = mpeg::kErrorNoSync;
    uint64_t at = 0;  // where it was
};

// The first position at or after `from` that starts a stream (of `stream`, when given), or the
// window's end when there is none. Runs of bytes without a single 0xFF are passed over whole,
// and holes of a sparse file are not read at all.
uint64_t FindStreamStart(mpeg::Decoder& decoder, ByteWindow& window, uint64_t from,
                         const mpeg::FrameHeader* stream, FirstSync& firstSync);

}  // namespace zirvak
