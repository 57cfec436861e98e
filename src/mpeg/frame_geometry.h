// The fixed parts at the start of a frame and what sizes them: the header, its check word,
// the channels of the mode and the Layer III side information. Private to src/mpeg.
#pragma once

#include <cstdint>

#include "mpeg_decoder.h"

namespace mpeg {

// Channels a frame carries: one in single-channel mode, two in every other.
inline int32_t ChannelsOf(int32_t mode) {
    return mode == kModeSingleChannel ? 1 : 2;
}
inline int32_t ChannelsOf(const FrameHeader& header) {
    return ChannelsOf(header.mode);
}

// The header's four bytes, then the two of the check word when the header announces one.
inline constexpr int32_t kHeaderBytes = 4;
inline constexpr int32_t kCheckWordBytes = 2;
inline int32_t HeaderBytes(const FrameHeader& header) {
    return kHeaderBytes + (header.crcPresent ? kCheckWordBytes : 0);
}

// Layer III side information after the header, by channels - 1: MPEG-1 frames describe two
// granules, MPEG-2 and MPEG-2.5 frames one.
inline constexpr int32_t kSideInfoBytesMpeg1[2] = {17, 32};
inline constexpr int32_t kSideInfoBytesLsf[2] = {9, 17};
inline int32_t LayerIIISideInfoBytes(int32_t version, int32_t channels) {
    return (version == 1 ? kSideInfoBytesMpeg1 : kSideInfoBytesLsf)[channels - 1];
}

// A whole Xing header: tag, flags, frame count, byte count, 100-byte table of contents and
// quality. The parser's minimum input holds one behind a header and the longest side
// information.
inline constexpr int32_t kXingHeaderBytes = 120;
static_assert(kFrameInfoMinBytes == kHeaderBytes + kSideInfoBytesMpeg1[1] + kXingHeaderBytes);

}  // namespace mpeg
