// The hybrid filterbank of the plain path (layer3_imdct_lanes.h one subband at a time), and
// which path's filterbank a stream runs.
#include "layer3.h"
#include "layer3_imdct_lanes.h"

namespace mpeg {

const HybridFilterbank kPlainFilterbank = {Granule<OneLane>, Accumulate<OneLane>};

const HybridFilterbank& SelectFilterbank(const Decoder& d) {
#if defined(__x86_64__)
    if (d.simdPath == SimdPath::kAvx2) return kAvx2Filterbank;
    if (d.simdPath == SimdPath::kSse2) return kSse2Filterbank;
#endif
    (void)d;
    return kPlainFilterbank;
}

int32_t ImdctGranule(const Decoder& d, float* spectrum, const float* overlap, float (*samples)[32],
                     int32_t blockType, int32_t longLines, int32_t lines, int32_t previousLines,
                     int32_t normalSubbands) {
    return d.layer3.filterbank->granule(spectrum, overlap, samples, blockType, longLines, lines,
                                        previousLines, d.layer3.lineLimit, normalSubbands);
}

int32_t ImdctAccumulate(const Decoder& d, float* spectrum, float* overlapOut, float (*samples)[32],
                        int32_t blockType, int32_t longLines, int32_t lines,
                        int32_t normalSubbands) {
    return d.layer3.filterbank->accumulate(spectrum, overlapOut, samples, blockType, longLines,
                                           lines, normalSubbands);
}

}  // namespace mpeg
