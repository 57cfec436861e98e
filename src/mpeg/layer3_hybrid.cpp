// Layer III hybrid filterbank (ISO/IEC 11172-3 2.4.3.4.10): IMDCT, block windows, overlap-add
// and frequency inversion, written straight into the synthesis input.
//
// The overlap of a channel lives in the other granule slot of its spectrum: the next granule of
// a channel is always decoded into the other slot, so that slot's array is free to hold it, as
// rows of 32 subbands.
#include <algorithm>
#include <bit>
#include <cstring>

#include "layer3.h"

namespace mpeg {

namespace {

using Samples = float (*)[32];

struct LineBounds {
    int32_t longLines;
    int32_t lines;
    int32_t normalSubbands;
};

LineBounds BoundsOf(const Decoder& d, int32_t slot, int32_t channel) {
    const LayerIIIState& s = d.layer3;
    const GranuleInfo& g = s.granules[slot][channel];
    const int32_t lines = s.nonzeroCount[slot][channel];
    int32_t longLines = lines;
    if (g.block_type == 2) longLines = g.mixed_block_flag ? s.longBandEnd[s.mixedLongBands - 1] : 0;
    // mixed_block_flag puts the two lowest subbands on the normal window, also in start and
    // stop blocks.
    const int32_t normalSubbands = g.window_switching_flag && g.mixed_block_flag ? 2 : 0;
    // Alias reduction may raise the count past the line limit; nothing above it is transformed.
    return {std::min(longLines, s.lineLimit), std::min(lines, s.lineLimit), normalSubbands};
}

}  // namespace

int32_t TransformChannel(Decoder& d, int32_t slot, int32_t channel, bool invert) {
    LayerIIIState& s = d.layer3;
    const int32_t other = slot ^ 1;
    const LineBounds b = BoundsOf(d, slot, channel);
    const int32_t produced =
        ImdctGranule(d, d.spectrum[channel][slot], d.spectrum[channel][other], s.subbandSamples,
                     s.granules[slot][channel].block_type, b.longLines, b.lines,
                     s.nonzeroCount[other][channel], b.normalSubbands);
    s.nonzeroCount[slot][channel] = produced;
    if (invert) InvertOddSubbands(s.subbandSamples, produced);
    return produced;
}

namespace {

void HybridLeft(Decoder& d, uint8_t* out, int32_t slot) {
    TransformChannel(d, slot, 0);
    d.synth(d, &d.layer3.subbandSamples[0][0], out, 0);
}

void HybridRight(Decoder& d, uint8_t* out, int32_t slot) {
    TransformChannel(d, slot, 1);
    d.synth(d, &d.layer3.subbandSamples[0][0], out, 0);
}

void HybridBoth(Decoder& d, uint8_t* out, int32_t slot) {
    for (int32_t ch = 0; ch < d.layer3.channels; ++ch) {
        TransformChannel(d, slot, ch);
        d.synth(d, &d.layer3.subbandSamples[0][0], out, ch);
    }
}

// Both channels summed into one (not halved).
void HybridMix(Decoder& d, uint8_t* out, int32_t slot) {
    LayerIIIState& s = d.layer3;
    const int32_t other = slot ^ 1;
    const GranuleInfo& g0 = s.granules[slot][0];
    const GranuleInfo& g1 = s.granules[slot][1];
    if (g0.block_type == g1.block_type && !g0.mixed_block_flag && !g1.mixed_block_flag) {
        const int32_t m = std::max(BoundsOf(d, slot, 0).lines, BoundsOf(d, slot, 1).lines);
        AddSpectrum(d.spectrum[0][slot], d.spectrum[1][slot], m);
        const int32_t produced =
            ImdctGranule(d, d.spectrum[0][slot], d.spectrum[0][other], s.subbandSamples,
                         g0.block_type, g0.block_type == 2 ? 0 : m, m, s.nonzeroCount[other][0]);
        s.nonzeroCount[slot][0] = produced;
        InvertOddSubbands(s.subbandSamples, produced);
    } else {
        const LineBounds b1 = BoundsOf(d, slot, 1);
        const int32_t produced0 = TransformChannel(d, slot, 0, /*invert=*/false);
        const int32_t produced1 =
            ImdctAccumulate(d, d.spectrum[1][slot], d.spectrum[0][slot], s.subbandSamples,
                            g1.block_type, b1.longLines, b1.lines, b1.normalSubbands);
        s.nonzeroCount[slot][1] = produced1;
        // The mixed overlap reaches as far as either channel's: the next granule plays it out.
        s.nonzeroCount[slot][0] = std::max(produced0, produced1);
        InvertOddSubbands(s.subbandSamples, s.nonzeroCount[slot][0]);
    }
    d.synth(d, &s.subbandSamples[0][0], out, 0);
}

}  // namespace

const HybridRoutine kHybridRoutines[5] = {HybridLeft, HybridBoth, HybridMix, HybridLeft,
                                          HybridRight};

void AddSpectrum(float* a, const float* b, int32_t n) {
    for (int32_t i = 0; i < n; ++i) a[i] += b[i];
}

void InvertOddSubbands(Samples samples, int32_t lines) {
    // The sign bits to flip, odd subbands up to `subbands` (inclusive): whole rows are then
    // flipped with one exclusive or per value, which the compiler turns into vectors.
    const int32_t subbands = (lines + 17) / 18;
    uint32_t flip[32];
    for (int32_t sb = 0; sb < 32; ++sb) flip[sb] = (sb & 1) && sb <= subbands ? 0x80000000u : 0;
    for (int32_t t = 1; t < 18; t += 2)
        for (int32_t sb = 0; sb < 32; ++sb)
            samples[t][sb] =
                std::bit_cast<float>(std::bit_cast<uint32_t>(samples[t][sb]) ^ flip[sb]);
}

}  // namespace mpeg
