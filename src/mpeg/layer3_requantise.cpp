// Layer III requantisation (ISO/IEC 11172-3 2.4.3.4.7): global gain, scale factors, pretab and
// subblock gains, with short blocks reordered so the three windows of a line lie together.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "layer3.h"

namespace mpeg {

namespace {

// Pre-emphasis added to the long-band scale factors when preflag is set (ISO/IEC 11172-3
// Table B.6).
constexpr int32_t kPretab[2][22] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0},
};

// sign(q)·|q|^(4/3)·factor for a quantised value q, which may be 0. Small values (nearly all)
// come from the table, larger ones are computed in double precision.
inline float Dequantise(int32_t q, float factor, const float* smallPowers, const double* roots) {
    if (uint32_t(q + 32) < 64u) [[likely]]
        return factor * smallPowers[q + 32];
    const double magnitude = std::fabs(double(q));
    const double root =
        magnitude <= kLargestQuantised ? roots[int32_t(magnitude)] : std::pow(magnitude, 1.0 / 3.0);
    return float(double(factor) * double(q) * root);
}

}  // namespace

void Requantise(Decoder& d, float* x, int32_t slot, int32_t channel) {
    const DecoderConstants& c = *d.constants;
    LayerIIIState& s = d.layer3;
    const GranuleInfo& g = s.granules[slot][channel];
    const int32_t* sf = s.scaleFactors[slot][channel];
    BandInfo& info = s.bandInfo[slot][channel];
    int32_t& nonzero = s.nonzeroCount[slot][channel];
    const float gain = c.globalGainPowers[g.global_gain + 6];
    const float(*sfPowers)[32] = c.scaleFactorPowers[g.scalefac_scale];
    const double* roots = c.cubeRoots;

    int32_t longBands = 22;
    int32_t firstShort = 12;
    if (g.block_type == 2) {
        longBands = g.mixed_block_flag ? s.mixedLongBands : 0;
        firstShort = g.mixed_block_flag ? 3 : 0;
    }

    int32_t line = 0;
    int32_t topBand = 0;
    for (int32_t m = 0; m < longBands; ++m) {
        const int32_t pre = kPretab[g.preflag][m];
        const float factor = gain * sfPowers[pre][sf[m] & 31];
        // Lines at and above the nonzero count are zero and stay zero.
        const int32_t end = s.longBandEnd[m];
        int32_t any = 0;
        for (const int32_t stop = std::min(end, nonzero); line < stop; ++line) {
            const int32_t q = int32_t(x[line]);
            x[line] = Dequantise(q, factor, c.smallPowers, roots);
            any |= q;
        }
        line = end;
        if (any) topBand = m;
        if (line >= nonzero) break;
    }
    info.hasShortPart = 0;
    info.topBand = topBand;
    info.blockType = g.block_type;
    info.firstShortBand = firstShort;
    info.longBandCount = longBands;
    if (g.block_type != 2) return;

    // Short part: window-major in the stream, frequency-major (windows interleaved) after.
    float windowGain[3];
    for (int32_t w = 0; w < 3; ++w)
        windowGain[w] = gain * c.subblockGainPowers[g.subblock_gain[w] & 7];
    int32_t top[3] = {firstShort, firstShort, firstShort};
    const int32_t shortStart = line;
    float* scratch = s.reorderScratch;
    int32_t base = 0;
    for (int32_t m = firstShort; m < 13; ++m) {
        const int32_t width = s.shortBandWidth[m];
        for (int32_t w = 0; w < 3; ++w) {
            const float factor = windowGain[w] * sfPowers[0][sf[ShortScaleFactorIndex(w, m)] & 31];
            int32_t any = 0;
            for (int32_t k = 0; k < width; ++k, ++line) {
                const int32_t q = int32_t(x[line]);
                scratch[base + 3 * k + w] = Dequantise(q, factor, c.smallPowers, roots);
                any |= q;
            }
            if (any) top[w] = m;
        }
        base += 3 * width;
        if (line >= nonzero) break;
    }
    std::memcpy(x + shortStart, scratch, sizeof(float) * size_t(line - shortStart));
    nonzero = line;
    info.hasShortPart = 1;
    for (int32_t w = 0; w < 3; ++w) info.topShortBand[w] = top[w];
    info.topBand = std::max(top[0], std::max(top[1], top[2]));
}

}  // namespace mpeg
