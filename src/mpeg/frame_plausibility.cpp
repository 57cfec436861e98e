// Whether a frame's own fields read as an encoder wrote them. Bytes that only look like a frame
// header (tables and code in programs, other formats' data) follow with fields no encoder
// writes: a forbidden allocation, a scale factor past the table, more values than a granule
// holds, or more main data than the frame and the reservoir can carry.
#include <cstdint>

#include "field_reader.h"
#include "frame_geometry.h"
#include "mpeg_decoder.h"

namespace mpeg {

namespace {

// Layer I: a 4-bit allocation per subband and channel (shared above the joint-stereo bound),
// 15 forbidden; a 6-bit scale factor per allocated one, 63 past the table.
FrameFields ReadLayerIFields(FieldReader& r, const FrameHeader& h) {
    const int32_t channels = ChannelsOf(h);
    const int32_t bound = h.mode == kModeJointStereo ? 4 * (h.modeExtension + 1) : 32;
    uint8_t allocated[32][2] = {};
    bool sounding = false;
    for (int32_t sb = 0; sb < 32; ++sb)
        for (int32_t ch = 0; ch < channels; ++ch) {
            if (sb >= bound && ch == 1) {
                allocated[sb][1] = allocated[sb][0];
                continue;
            }
            const uint32_t a = r.Take(4);
            if (a == 15) return FrameFields::kImplausible;
            allocated[sb][ch] = a != 0;
            sounding |= a != 0;
        }
    for (int32_t sb = 0; sb < 32; ++sb)
        for (int32_t ch = 0; ch < channels; ++ch)
            if (allocated[sb][ch] && r.Take(6) == 63) return FrameFields::kImplausible;
    if (r.overrun()) return FrameFields::kImplausible;
    return sounding ? FrameFields::kSounding : FrameFields::kSilent;
}

// Layer III: no granule holds more than 288 value pairs, a switched window has a block type,
// and the main data the granules claim fits in the frame and what the reservoir can reach back.
FrameFields ReadLayerIIIFields(FieldReader& r, const FrameHeader& h, int32_t frameLength) {
    const bool mpeg1 = h.version == 1;
    const int32_t channels = ChannelsOf(h);
    const int32_t granules = mpeg1 ? 2 : 1;
    const int32_t mainDataBegin = int32_t(r.Take(mpeg1 ? 9 : 8));
    r.Take(mpeg1 ? (channels == 1 ? 5 : 3) : (channels == 1 ? 1 : 2));  // private bits
    if (mpeg1) r.Take(4 * channels);                                    // scfsi
    int64_t mainDataBits = 0;
    for (int32_t gr = 0; gr < granules; ++gr)
        for (int32_t ch = 0; ch < channels; ++ch) {
            mainDataBits += r.Take(12);
            if (r.Take(9) > 288) return FrameFields::kImplausible;  // big_values
            r.Take(8 + (mpeg1 ? 4 : 9));  // global gain, scalefac_compress
            if (r.Take(1)) {              // window switching
                if (r.Take(2) == 0) return FrameFields::kImplausible;
                r.Take(1 + 2 * 5 + 3 * 3);
            } else {
                r.Take(3 * 5 + 4 + 3);
            }
            r.Take(mpeg1 ? 3 : 2);
        }
    const int32_t frameData =
        frameLength - HeaderBytes(h) - LayerIIISideInfoBytes(h.version, channels);
    if (r.overrun() || frameData < 0 || mainDataBits > int64_t(mainDataBegin + frameData) * 8)
        return FrameFields::kImplausible;
    return mainDataBits > 0 ? FrameFields::kSounding : FrameFields::kSilent;
}

}  // namespace

FrameFields ReadFrameFields(const uint8_t* frame, int32_t length, const FrameHeader& header) {
    const int32_t first = HeaderBytes(header);
    if (length <= first) return FrameFields::kImplausible;
    // The version bits 01 are reserved; the decoder reads them as MPEG-2.5, no encoder writes them.
    constexpr uint8_t kVersionBits = 0x18, kReservedVersion = 0x08;
    if ((frame[1] & kVersionBits) == kReservedVersion) return FrameFields::kImplausible;
    FieldReader r(frame + first, length - first);
    switch (header.layer) {
        case 1:
            return ReadLayerIFields(r, header);
        case 2:
            return ReadLayer2Fields(r, header);
        case 3:
            return ReadLayerIIIFields(r, header, length);
        default:
            return FrameFields::kImplausible;
    }
}

}  // namespace mpeg
