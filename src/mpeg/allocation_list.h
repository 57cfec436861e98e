// The list of entries a Layer I or II frame allocates, as the passes walk it: each entry's
// allocation or class, its step factor, and the codes that mark shared pairs and the list's end.
#pragma once

#include <cstdint>

#include "decoder.h"
#include "frame_geometry.h"

namespace mpeg {

// Entry codes: the allocation or class, with kSharedPair on the first entry of a pair that
// shares it; the list ends at an end code, skipping the entries above the limit or not.
inline constexpr uint8_t kSharedPair = 0x40;
inline constexpr uint8_t kEndOfList = 0xFE;
inline constexpr uint8_t kSkipAndEnd = 0xFF;

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

// Takes a frame's allocations entry by entry into the entry codes.
class AllocationList {
public:
    AllocationList(LayerIIState& s, const FrameHeader& header, const uint8_t* passBits,
                   const float* stepFactors)
        : s_(s),
          passBits_(passBits),
          stepFactors_(stepFactors),
          bound_(JointStereoBoundEntries(header)) {}

    // Gives entry e allocation (or class) q; past the joint-stereo bound the next entry
    // shares it. Returns the entries given: 1 or 2.
    int32_t Set(int32_t e, int32_t q) {
        s_.allocation[e] = uint8_t(q);
        s_.code[e] = uint8_t(q);
        s_.stepFactor[e] = stepFactors_[q];
        if (e >= s_.subbandLimit) skippedBits_ += passBits_[q];
        if (--bound_ >= 0) return 1;
        s_.code[e] = uint8_t(q | kSharedPair);
        s_.allocation[e + 1] = s_.allocation[e];
        s_.code[e + 1] = s_.code[e];
        s_.stepFactor[e + 1] = s_.stepFactor[e];
        return 2;
    }

    // Closes the list: the entries at the limit are skipped, and two end codes follow the
    // last entry (a pair starting there jumps over the first).
    void Close() {
        s_.code[s_.subbandLimit] = kSkipAndEnd;
        s_.code[s_.entryCount] = kEndOfList;
        s_.code[s_.entryCount + 1] = kEndOfList;
        s_.skippedBits = skippedBits_;
    }

private:
    LayerIIState& s_;
    const uint8_t* passBits_;
    const float* stepFactors_;
    int32_t bound_;
    int32_t skippedBits_ = 0;
};

}  // namespace mpeg
