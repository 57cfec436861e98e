// Layer III state of the decoder object: per stream, per frame and per granule slot.
#pragma once

#include <cstdint>

namespace mpeg {

struct Decoder;
struct HybridFilterbank;

// Turns one decoded granule into PCM at `out` (granule slot 0 or 1).
using HybridRoutine = void (*)(Decoder& d, uint8_t* out, int32_t slot);

// Side information of one granule of one channel.
struct GranuleInfo {
    int32_t part2_3_length;
    int32_t big_values;
    int32_t global_gain;
    int32_t scalefac_compress;
    int32_t window_switching_flag;
    int32_t block_type;
    int32_t mixed_block_flag;
    int32_t table_select[3];
    int32_t subblock_gain[3];
    int32_t region0_count;
    int32_t region1_count;
    int32_t preflag;
    int32_t scalefac_scale;
    int32_t count1table_select;
};

// What the requantiser found out about a granule's spectrum, for stereo and alias reduction.
struct BandInfo {
    int32_t hasShortPart;  // 1 when the block has short bands
    int32_t topBand;       // highest band holding a nonzero line
    int32_t blockType;
    int32_t firstShortBand;  // 12 long block, 0 pure short, 3 mixed
    int32_t longBandCount;   // 22 long block, 0 pure short, 8 or 6 mixed
    int32_t topShortBand[3];
};

// Scale factors of one granule and channel: entries 0..21 long bands; 23 + 13·w + b short
// band b of window w. Entries 21, 22 and short band 12 are never written and stay zero.
inline constexpr int32_t kShortScaleFactorBase = 23;
inline int32_t ShortScaleFactorIndex(int32_t window, int32_t band) {
    return kShortScaleFactorBase + 13 * window + band;
}

// What the MPEG-2 intensity stereo of a frame needs from the right channel's scale factors.
struct LsfIntensityRecord {
    int32_t partitionBands[3];
    int32_t slen[3];
    int32_t intensityScale;
};

// Main data of recent frames, so a granule may begin in an earlier frame.
inline constexpr int32_t kReservoirBytes = 8192;
// Zeroed room behind the reservoir: corrupt lengths may point a channel up to four
// part2_3_lengths past the data, and the reader loads a few bytes ahead of that.
inline constexpr int32_t kReservoirSlack = 4096;
struct MainDataReservoir {
    uint8_t buffer[kReservoirBytes + kReservoirSlack];
    int32_t fill;         // bytes held
    int32_t frameStart;   // where the current frame's first granule begins; < 0: not held
    int32_t bitCursor;    // where the next granule/channel's data begins, in bits
    int32_t granuleSlot;  // MPEG-2/2.5: slot of the next frame's granule
};

struct LayerIIIState {
    bool ready = false;
    int32_t streamVersion = 0;  // of the first frame: 1 MPEG-1, else a lower-rate stream
    int32_t channels = 0;
    int32_t mixedLongBands = 0;     // 8 for MPEG-1, 6 otherwise
    int32_t longBandEnd[22] = {};   // end line of long band 0..21
    int32_t shortBandEnd[13] = {};  // three times the end line of short band 0..12
    int32_t longBandWidth[22] = {};
    int32_t shortBandWidth[13] = {};  // lines per window
    int32_t subbandLimit = 0;
    int32_t lineLimit = 0;
    int32_t longLimit = 0;
    int32_t shortLimit = 0;
    HybridRoutine hybrid = nullptr;
    const HybridFilterbank* filterbank = nullptr;  // the decoder path's IMDCT and overlap

    // Frame.
    int32_t mainDataBegin = 0;
    int32_t scfsi[2] = {};
    bool msStereo = false;
    bool intensityStereo = false;
    int32_t frameChannels = 0;  // channels this frame's side information describes

    GranuleInfo granules[2][2] = {};      // [slot][channel]
    int32_t scaleFactors[2][2][62] = {};  // [slot][channel]
    LsfIntensityRecord lsfIntensity = {};
    int32_t nonzeroCount[2][2] = {};  // [slot][channel]
    BandInfo bandInfo[2][2] = {};     // [slot][channel]

    MainDataReservoir reservoir = {};
    float reorderScratch[576] = {};
    alignas(64) float subbandSamples[18][32] = {};
};

}  // namespace mpeg
