// The LAME tag: after the Xing (VBR) or Info (CBR) header of a Layer III stream's first frame,
// LAME, and encoders that write its tag (FFmpeg's "Lavc"/"Lavf"), store how many samples of
// silence the encoder put before the song (its delay) and after it (padding to a whole frame).
// The fields are read whatever encoder name the tag carries, as other players read them.
#include <cstring>

#include "frame_geometry.h"
#include "mpeg_decoder.h"

namespace mpeg {

namespace {

// The bytes of a Xing or Info header by its flags: tag, flags, then the frame count, byte count,
// table of contents and quality each when its flag says so.
int32_t XingBytes(uint32_t flags) {
    return 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) +
           (flags & 8 ? 4 : 0);
}

}  // namespace

bool HasXingOrInfoHeader(const uint8_t* frame, int32_t available, const FrameHeader& header) {
    if (header.layer != 3) return false;
    const int32_t xing =
        HeaderBytes(header) + LayerIIISideInfoBytes(header.version, ChannelsOf(header));
    if (available < xing + 8) return false;
    const uint8_t* p = frame + xing;
    return std::memcmp(p, "Xing", 4) == 0 || std::memcmp(p, "Info", 4) == 0;
}

bool ReadEncoderGap(const uint8_t* frame, int32_t available, const FrameHeader& header,
                    EncoderGap& gap) {
    if (!HasXingOrInfoHeader(frame, available, header)) return false;
    const int32_t xing =
        HeaderBytes(header) + LayerIIISideInfoBytes(header.version, ChannelsOf(header));
    const uint8_t* p = frame + xing;
    // The encoder's name, 9 bytes, then 12 bytes of what it chose; delay and padding follow in
    // 12 bits each.
    const int32_t lame = xing + XingBytes(ReadU32BE(p + 4));
    constexpr int32_t kGapOffset = 21;
    if (available < lame + kGapOffset + 3) return false;
    const uint8_t* g = frame + lame + kGapOffset;
    gap.delay = int32_t(g[0]) << 4 | g[1] >> 4;
    gap.padding = int32_t(g[1] & 0x0F) << 8 | g[2];
    return true;
}

}  // namespace mpeg
