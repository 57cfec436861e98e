// Pieces shared by the Layer I and Layer II frame decoders.
#pragma once

#include <cstdint>

#include "decoder.h"
#include "frame_geometry.h"

namespace mpeg {

// Joint-stereo bound in entries (two per subband): subbands below it are coded per channel.
inline int32_t JointStereoBoundEntries(const FrameHeader& header) {
    switch (header.mode) {
        case kModeJointStereo:
            return 8 * (header.modeExtension + 1);
        case kModeSingleChannel:
            return 32;
        default:
            return 64;
    }
}

// Fills `slots` slots of the sample buffer with zeros: a frame whose allocation asks for more
// bits than the frame holds is played as silence rather than read past its end.
void SilenceSlots(Decoder& d, int32_t slots);

}  // namespace mpeg
