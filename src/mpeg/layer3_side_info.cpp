// Layer III side information (ISO/IEC 11172-3 2.4.1.7; ISO/IEC 13818-3 2.4.1.7) and scale
// factors (ISO/IEC 11172-3 2.4.2.7; ISO/IEC 13818-3 2.4.3.2).
#include "frame_geometry.h"
#include "layer3.h"

namespace mpeg {

namespace {

// The part of a granule's side information after scalefac_compress, alike in both versions
// apart from the fixed region counts.
void ReadBlockFields(BitReader& r, GranuleInfo& g, bool lsf) {
    g.window_switching_flag = int32_t(bitsGet(r, 1));
    if (g.window_switching_flag) {
        g.block_type = int32_t(bitsGet(r, 2));
        g.mixed_block_flag = int32_t(bitsGet(r, 1));
        g.table_select[0] = int32_t(bitsGet(r, 5));
        g.table_select[1] = int32_t(bitsGet(r, 5));
        g.table_select[2] = 0;
        for (int32_t w = 0; w < 3; ++w) g.subblock_gain[w] = int32_t(bitsGet(r, 3));
        // The fixed counts put the end of region 1 at the last long band: region 2 is empty.
        const bool shortOnly = lsf && g.block_type == 2;
        g.region0_count = shortOnly ? 5 : 7;
        g.region1_count = shortOnly ? 15 : 13;
    } else {
        g.block_type = 0;
        g.mixed_block_flag = 0;
        for (int32_t i = 0; i < 3; ++i) g.table_select[i] = int32_t(bitsGet(r, 5));
        for (int32_t w = 0; w < 3; ++w) g.subblock_gain[w] = 0;
        g.region0_count = int32_t(bitsGet(r, 4));
        g.region1_count = int32_t(bitsGet(r, 3));
    }
}

// Granule info of channels the frame does not carry (a mono frame in a two-channel stream)
// describes an empty channel.
void ClearMissingChannels(LayerIIIState& s, int32_t slot, int32_t frameChannels) {
    for (int32_t ch = frameChannels; ch < 2; ++ch) s.granules[slot][ch] = GranuleInfo{};
}

// slen1 and slen2 by scalefac_compress (MPEG-1).
constexpr uint8_t kSlen[16][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {3, 0}, {1, 1}, {1, 2}, {1, 3},
                                  {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}, {4, 2}, {4, 3}};

// Bands per scale-factor partition, by row and block kind (long, short, mixed). Short counts
// are bands of three windows; the mixed rows keep the first six long bands apart.
constexpr uint8_t kPartitionBands[6][3][4] = {
    {{6, 5, 5, 5}, {3, 3, 3, 3}, {6, 3, 3, 3}},   {{6, 5, 7, 3}, {3, 3, 4, 2}, {6, 3, 4, 2}},
    {{11, 10, 0, 0}, {6, 6, 0, 0}, {6, 3, 6, 0}}, {{7, 7, 7, 0}, {4, 4, 4, 0}, {6, 5, 4, 0}},
    {{6, 6, 6, 3}, {4, 3, 3, 2}, {6, 4, 3, 2}},   {{8, 8, 5, 0}, {5, 4, 3, 0}, {6, 6, 3, 0}},
};

void ReadShortBands(BitReader& r, int32_t* sf, int32_t first, int32_t last, int32_t slen) {
    for (int32_t b = first; b <= last; ++b)
        for (int32_t w = 0; w < 3; ++w) sf[ShortScaleFactorIndex(w, b)] = int32_t(bitsGet(r, slen));
}

}  // namespace

int32_t ReadSideInfoMpeg1(Decoder& d, const FrameHeader& header) {
    BitReader& r = d.bits;
    LayerIIIState& s = d.layer3;
    const int32_t channels = ChannelsOf(header);
    s.frameChannels = channels;
    s.mainDataBegin = int32_t(bitsGet(r, 9));
    bitsGet(r, channels == 1 ? 5 : 3);  // private bits
    s.scfsi[1] = 0;
    for (int32_t ch = 0; ch < channels; ++ch) s.scfsi[ch] = int32_t(bitsGet(r, 4));
    for (int32_t gr = 0; gr < 2; ++gr) {
        for (int32_t ch = 0; ch < channels; ++ch) {
            GranuleInfo& g = s.granules[gr][ch];
            g.part2_3_length = int32_t(bitsGet(r, 12));
            g.big_values = int32_t(bitsGet(r, 9));
            // Under mid/side the 1/sqrt(2) of the matrix is taken out of the gain here, so
            // the stereo stage is a plain sum and difference.
            g.global_gain = int32_t(bitsGet(r, 8)) - (s.msStereo ? 2 : 0);
            g.scalefac_compress = int32_t(bitsGet(r, 4));
            ReadBlockFields(r, g, false);
            g.preflag = int32_t(bitsGet(r, 1));
            g.scalefac_scale = int32_t(bitsGet(r, 1));
            g.count1table_select = int32_t(bitsGet(r, 1));
        }
        ClearMissingChannels(s, gr, channels);
    }
    return LayerIIISideInfoBytes(1, channels);
}

int32_t ReadSideInfoLsf(Decoder& d, const FrameHeader& header, int32_t slot) {
    BitReader& r = d.bits;
    LayerIIIState& s = d.layer3;
    const int32_t channels = ChannelsOf(header);
    s.frameChannels = channels;
    s.mainDataBegin = int32_t(bitsGet(r, 8));
    bitsGet(r, channels == 1 ? 1 : 2);  // private bits
    s.scfsi[0] = s.scfsi[1] = 0;
    for (int32_t ch = 0; ch < channels; ++ch) {
        GranuleInfo& g = s.granules[slot][ch];
        g.part2_3_length = int32_t(bitsGet(r, 12));
        g.big_values = int32_t(bitsGet(r, 9));
        g.global_gain = int32_t(bitsGet(r, 8)) - (s.msStereo ? 2 : 0);
        g.scalefac_compress = int32_t(bitsGet(r, 9));
        ReadBlockFields(r, g, true);
        g.preflag = 0;  // set by the scale-factor reader
        g.scalefac_scale = int32_t(bitsGet(r, 1));
        g.count1table_select = int32_t(bitsGet(r, 1));
    }
    ClearMissingChannels(s, slot, channels);
    return LayerIIISideInfoBytes(header.version, channels);
}

void ReadScaleFactorsMpeg1(Decoder& d, int32_t slot, int32_t channel) {
    BitReader& r = d.bits;
    LayerIIIState& s = d.layer3;
    const GranuleInfo& g = s.granules[slot][channel];
    int32_t* sf = s.scaleFactors[slot][channel];
    const int32_t slen1 = kSlen[g.scalefac_compress][0];
    const int32_t slen2 = kSlen[g.scalefac_compress][1];

    if (g.block_type == 2) {
        if (g.mixed_block_flag) {
            for (int32_t b = 0; b < 8; ++b) sf[b] = int32_t(bitsGet(r, slen1));
            ReadShortBands(r, sf, 3, 5, slen1);
        } else {
            ReadShortBands(r, sf, 0, 5, slen1);
        }
        ReadShortBands(r, sf, 6, 11, slen2);
        return;
    }
    if (slot == 0) {
        for (int32_t b = 0; b < 11; ++b) sf[b] = int32_t(bitsGet(r, slen1));
        for (int32_t b = 11; b < 21; ++b) sf[b] = int32_t(bitsGet(r, slen2));
        return;
    }
    // Granule 1: a group whose scfsi bit is set reuses granule 0's values.
    constexpr int32_t kGroupStart[5] = {0, 6, 11, 16, 21};
    const int32_t* previous = s.scaleFactors[0][channel];
    for (int32_t group = 0; group < 4; ++group) {
        const bool reuse = (s.scfsi[channel] >> (3 - group)) & 1;
        const int32_t slen = group < 2 ? slen1 : slen2;
        for (int32_t b = kGroupStart[group]; b < kGroupStart[group + 1]; ++b)
            sf[b] = reuse ? previous[b] : int32_t(bitsGet(r, slen));
    }
}

void ReadScaleFactorsLsf(Decoder& d, int32_t slot, int32_t channel) {
    BitReader& r = d.bits;
    LayerIIIState& s = d.layer3;
    GranuleInfo& g = s.granules[slot][channel];
    int32_t* sf = s.scaleFactors[slot][channel];

    const bool intensityChannel = channel == 1 && s.intensityStereo;
    int32_t slen[4] = {};
    int32_t row = 0;
    int32_t intensityScale = 0;
    if (intensityChannel) {
        intensityScale = g.scalefac_compress & 1;
        const int32_t k = g.scalefac_compress >> 1;
        if (k < 180) {
            slen[0] = k / 36, slen[1] = (k % 36) / 6, slen[2] = (k % 36) % 6;
            row = 3;
        } else if (k < 244) {
            slen[0] = ((k - 180) % 64) >> 4, slen[1] = ((k - 180) % 16) >> 2,
            slen[2] = (k - 180) % 4;
            row = 4;
        } else {
            slen[0] = (k - 244) / 3, slen[1] = (k - 244) % 3;
            row = 5;
        }
        g.preflag = 0;
    } else {
        const int32_t k = g.scalefac_compress;
        if (k < 400) {
            slen[0] = (k >> 4) / 5, slen[1] = (k >> 4) % 5, slen[2] = (k & 15) >> 2,
            slen[3] = k & 3;
            g.preflag = 0;
            row = 0;
        } else if (k < 500) {
            slen[0] = ((k - 400) >> 2) / 5, slen[1] = ((k - 400) >> 2) % 5, slen[2] = (k - 400) & 3;
            g.preflag = 0;
            row = 1;
        } else {
            slen[0] = (k - 500) / 3, slen[1] = (k - 500) % 3;
            g.preflag = 1;
            row = 2;
            if (g.block_type == 2 && g.mixed_block_flag) {
                slen[2] = slen[1];
                slen[1] = slen[0];
            }
        }
    }

    const int32_t kind = g.block_type != 2 ? 0 : g.mixed_block_flag ? 2 : 1;
    const uint8_t* counts = kPartitionBands[row][kind];
    if (intensityChannel) {
        LsfIntensityRecord& rec = s.lsfIntensity;
        for (int32_t i = 0; i < 3; ++i) {
            rec.partitionBands[i] = counts[i];
            rec.slen[i] = slen[i];
        }
        rec.intensityScale = intensityScale;
    }

    if (kind == 0) {
        for (int32_t p = 0, band = 0; p < 4; ++p)
            for (int32_t i = 0; i < counts[p]; ++i) sf[band++] = int32_t(bitsGet(r, slen[p]));
    } else {
        // Mixed blocks: six long bands, then the short bands from 3 on take partitions 2 to 4.
        int32_t firstPartition = 0;
        int32_t band = 0;
        if (kind == 2) {
            for (int32_t b = 0; b < 6; ++b) sf[b] = int32_t(bitsGet(r, slen[0]));
            firstPartition = 1;
            band = 3;
        }
        for (int32_t p = firstPartition; p < 4; ++p) {
            ReadShortBands(r, sf, band, band + counts[p] - 1, slen[p]);
            band += counts[p];
        }
    }
}

}  // namespace mpeg
