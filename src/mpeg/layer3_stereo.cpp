// Layer III joint stereo (mid/side and intensity, ISO/IEC 11172-3 2.4.3.4.9 and ISO/IEC
// 13818-3 2.4.3.2) and alias reduction (ISO/IEC 11172-3 2.4.3.4.10.1).
#include <algorithm>

#include "layer3.h"

namespace mpeg {

namespace {

// End line of band `band` of a channel: long band, or (windows interleaved) short band.
int32_t BandEndLine(const LayerIIIState& s, const BandInfo& info, int32_t band) {
    return info.hasShortPart ? s.shortBandEnd[band] : s.longBandEnd[band];
}

void IntensityMpeg1(Decoder& d, int32_t slot) {
    const DecoderConstants& c = *d.constants;
    const LayerIIIState& s = d.layer3;
    float* left = d.spectrum[0][slot];
    float* right = d.spectrum[1][slot];
    const BandInfo& rightInfo = s.bandInfo[slot][1];
    const int32_t* sf = s.scaleFactors[slot][1];
    const FloatPair* ratios = c.intensityRatios[s.msStereo ? 1 : 0];
    const int32_t top = rightInfo.topBand;
    int32_t p = BandEndLine(s, rightInfo, top);
    int32_t remaining = s.nonzeroCount[slot][0] - p;

    if (!rightInfo.hasShortPart) {
        for (int32_t m = top + 1; m <= 20; ++m) {
            const FloatPair f = ratios[std::min(sf[m], 7)];
            for (int32_t k = 0; k < s.longBandWidth[m]; ++k, ++p) {
                if (--remaining < 0) return;
                right[p] = f.second * left[p];
                left[p] = f.first * left[p];
            }
        }
        return;
    }
    for (int32_t m = top + 1; m <= 11; ++m) {
        FloatPair f[3];
        for (int32_t w = 0; w < 3; ++w) f[w] = ratios[std::min(sf[ShortScaleFactorIndex(w, m)], 7)];
        for (int32_t k = 0; k < s.shortBandWidth[m]; ++k, p += 3) {
            remaining -= 3;
            if (remaining < 0) return;
            for (int32_t w = 0; w < 3; ++w) {
                right[p + w] = f[w].second * left[p + w];
                left[p + w] = f[w].first * left[p + w];
            }
        }
    }
}

// Entry offset of each band's scale-factor partition, for MPEG-2 intensity stereo. Bands are
// counted from `firstBand`, so the short bands of a mixed block (from band 3 on) fall into the
// partitions the scale-factor reader read them with.
void PartitionOffsets(const LsfIntensityRecord& rec, int32_t firstBand, bool mixed,
                      int32_t offsets[22]) {
    int32_t band = 0;
    for (; band < firstBand; ++band) offsets[band] = 0;
    for (int32_t part = mixed ? 1 : 0; part < 3; ++part) {
        const int32_t offset = (1 << rec.slen[part]) - 1;
        for (int32_t i = 0; i < rec.partitionBands[part] && band < 22; ++i)
            offsets[band++] = offset;
    }
    for (; band < 22; ++band) offsets[band] = 0;
}

void IntensityLsf(Decoder& d, int32_t slot) {
    const DecoderConstants& c = *d.constants;
    const LayerIIIState& s = d.layer3;
    float* left = d.spectrum[0][slot];
    float* right = d.spectrum[1][slot];
    const BandInfo& leftInfo = s.bandInfo[slot][0];
    const BandInfo& rightInfo = s.bandInfo[slot][1];
    const int32_t* sf = s.scaleFactors[slot][1];
    const LsfIntensityRecord& rec = s.lsfIntensity;
    const FloatPair* entries = c.lsfIntensityFactors[rec.intensityScale & 1][s.msStereo ? 1 : 0];
    auto entryFor = [&](int32_t offset, int32_t isPos) {
        return entries[std::clamp(offset + isPos, 0, 63)];
    };

    int32_t offsets[22];
    if (!rightInfo.hasShortPart) {
        PartitionOffsets(rec, 0, false, offsets);
        const int32_t top = rightInfo.topBand;
        int32_t p = s.longBandEnd[top];
        int32_t remaining = s.nonzeroCount[slot][0] - p;
        for (int32_t m = top + 1; m <= 20; ++m) {
            const FloatPair f = entryFor(offsets[m], sf[m]);
            for (int32_t k = 0; k < s.longBandWidth[m]; ++k, ++p) {
                if (--remaining < 0) return;
                right[p] = f.second * left[p];
                left[p] = f.first * left[p];
            }
        }
        return;
    }
    const bool mixed = rightInfo.firstShortBand == 3;
    PartitionOffsets(rec, mixed ? 3 : 0, mixed, offsets);
    for (int32_t w = 0; w < 3; ++w) {
        const int32_t top = rightInfo.topShortBand[w];
        int32_t p = s.shortBandEnd[top] + w;
        const int32_t last = std::min(leftInfo.topShortBand[w], 12);
        for (int32_t m = top + 1; m <= last; ++m) {
            const FloatPair f = entryFor(offsets[m], sf[ShortScaleFactorIndex(w, m)]);
            for (int32_t k = 0; k < s.shortBandWidth[m]; ++k, p += 3) {
                right[p] = f.second * left[p];
                left[p] = f.first * left[p];
            }
        }
    }
}

}  // namespace

void MidSide(float* left, float* right, int32_t lines) {
    for (int32_t i = 0; i < lines; ++i) {
        const float a = left[i];
        const float b = right[i];
        left[i] = a + b;
        right[i] = a - b;
    }
}

void AliasReduce(float* x, int32_t boundaries) {
    // The coefficients in locals (the stores into x cannot then change them) and each
    // boundary's eight pairs read before any is written: the compiler makes vectors of them.
    const FloatPair* pairs = Constants().aliasCoefficients;
    float cs[8], ca[8];
    for (int32_t j = 0; j < 8; ++j) {
        cs[j] = pairs[j].first;
        ca[j] = pairs[j].second;
    }
    for (int32_t i = 0; i < boundaries; ++i) {
        float* lower = x + 18 * i + 17;
        float* upper = x + 18 * i + 18;
        float a[8], b[8];
        for (int32_t j = 0; j < 8; ++j) {
            a[j] = lower[-j];
            b[j] = upper[j];
        }
        for (int32_t j = 0; j < 8; ++j) {
            lower[-j] = a[j] * cs[j] - b[j] * ca[j];
            upper[j] = b[j] * cs[j] + a[j] * ca[j];
        }
    }
}

void ProcessStereoAndAliasing(Decoder& d, int32_t slot) {
    LayerIIIState& s = d.layer3;
    int32_t* nonzero = &s.nonzeroCount[slot][0];
    const bool twoChannels = s.channels == 2 && s.frameChannels == 2;
    const bool ms = twoChannels && s.msStereo;
    const bool intensity = twoChannels && s.intensityStereo;
    if (ms) {
        int32_t bound = std::max(nonzero[0], nonzero[1]);
        if (intensity) bound = BandEndLine(s, s.bandInfo[slot][1], s.bandInfo[slot][1].topBand);
        MidSide(d.spectrum[0][slot], d.spectrum[1][slot], bound);
    }
    if (intensity) {
        if (d.layer3.streamVersion == 1)
            IntensityMpeg1(d, slot);
        else
            IntensityLsf(d, slot);
    }
    if (ms || intensity) nonzero[0] = nonzero[1] = std::max(nonzero[0], nonzero[1]);

    for (int32_t ch = 0; ch < s.channels; ++ch) {
        const BandInfo& info = s.bandInfo[slot][ch];
        if (info.longBandCount == 0) continue;  // pure short blocks have no aliasing to undo
        const bool mixed = info.blockType == 2;
        const int32_t n = mixed ? 1 : std::min((nonzero[ch] + 7) / 18, 31);
        AliasReduce(d.spectrum[ch][slot], n);
        nonzero[ch] = std::max(nonzero[ch], 18 * n + 8);
    }
}

}  // namespace mpeg
