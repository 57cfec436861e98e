// Layer III stages, in the order the granule driver runs them. Private to the decoder.
#pragma once

#include <cstdint>

#include "decoder.h"

namespace mpeg {

// --- The granule driver (layer3_frame.cpp) ---

// The first stages of one granule slot: each channel's scale factors and lines (from the bit
// cursor on), then their requantisation (a one-channel frame of a two-channel stream copied to
// both sides). Stereo processing and the hybrid routine follow.
void DecodeGranuleLines(Decoder& d, int32_t slot);
void RequantiseGranule(Decoder& d, int32_t slot);

// --- Scale-factor bands (layer3_bands.cpp) ---

struct BandTable {
    int16_t longBoundaries[23];   // 0 ... 576
    int16_t shortBoundaries[14];  // 0 ... 192, lines per window
};
// The band table of a stream: version 1, 2 or 3 and its sample-rate index 0..2.
const BandTable& BandTableFor(int32_t version, int32_t sampleRateIndex);

// --- Side information and scale factors (layer3_side_info.cpp) ---

// Both granules of an MPEG-1 frame; returns the side information's length in bytes.
int32_t ReadSideInfoMpeg1(Decoder& d, const FrameHeader& header);
// The one granule of an MPEG-2 or MPEG-2.5 frame, into `slot`; returns the length in bytes.
int32_t ReadSideInfoLsf(Decoder& d, const FrameHeader& header, int32_t slot);
void ReadScaleFactorsMpeg1(Decoder& d, int32_t slot, int32_t channel);
void ReadScaleFactorsLsf(Decoder& d, int32_t slot, int32_t channel);

// --- Huffman decoding (layer3_huffman.cpp) ---

// Decodes lines / 2 pairs with table `tableSelect` into dest (as whole-number floats).
void DecodeBigValues(Decoder& d, float* dest, int32_t lines, int32_t tableSelect);
// Decodes quadruples within `linesAvailable` lines and `bitBudget` bits; returns the lines up to
// the last nonzero value.
int32_t DecodeCount1(Decoder& d, float* dest, int32_t linesAvailable, int32_t bitBudget,
                     int32_t count1TableSelect);

// --- Requantisation (layer3_requantise.cpp) ---

void Requantise(Decoder& d, float* spectrum, int32_t slot, int32_t channel);

// --- Stereo and alias reduction (layer3_stereo.cpp) ---

// Mid/side, intensity stereo and alias reduction of one granule slot, as the frame asks.
void ProcessStereoAndAliasing(Decoder& d, int32_t slot);

void MidSide(float* left, float* right, int32_t lines);
void AliasReduce(float* x, int32_t boundaries);

// --- Hybrid filterbank (layer3_hybrid.cpp) ---

// By channel option: HybridLeft, HybridBoth, HybridMix, HybridLeft, HybridRight; index 0 for a
// one-channel stream, 1 + the channel option otherwise.
extern const HybridRoutine kHybridRoutines[5];

// One channel of a granule slot through the IMDCT, windows and overlap into the synthesis
// input, odd subbands inverted unless `invert` is false; returns the lines produced.
int32_t TransformChannel(Decoder& d, int32_t slot, int32_t channel, bool invert = true);

// The IMDCT, windows and overlap of one channel's granule on the decoder's path
// (layer3_imdct.cpp): alone, each output is the previous overlap plus the windowed transform;
// accumulating, the transform is added to the outputs and its overlap to `overlapOut`. They
// return the lines produced. `normalSubbands` of the lowest subbands take the normal window
// whatever the block type: the two lowest of any window-switched granule with mixed_block_flag
// set.
//
// Both keep a channel's overlap in the other granule slot of its spectrum as 18 rows of 32
// subbands (value t of subband sb at 32·t + sb); ImdctAccumulate leaves the spectrum it reads
// as scratch. They read (but never write) the subbands around the ones they work on, up to
// whole blocks of vector lanes, so the arrays hold all 32 subbands.
int32_t ImdctGranule(const Decoder& d, float* spectrum, const float* overlap, float (*samples)[32],
                     int32_t blockType, int32_t longLines, int32_t lines, int32_t previousLines,
                     int32_t normalSubbands = 0);
int32_t ImdctAccumulate(const Decoder& d, float* spectrum, float* overlapOut, float (*samples)[32],
                        int32_t blockType, int32_t longLines, int32_t lines,
                        int32_t normalSubbands = 0);
void InvertOddSubbands(float (*samples)[32], int32_t lines);

// The hybrid filterbank of a path (layer3_imdct_lanes.h over its lanes), chosen at stream
// set-up: `granule` and `accumulate` are its forms of ImdctGranule (the line limit given) and
// ImdctAccumulate. A stream keeps its path from its set-up on.
struct HybridFilterbank {
    int32_t (*granule)(float* spectrum, const float* overlap, float (*samples)[32],
                       int32_t blockType, int32_t longLines, int32_t lines, int32_t previousLines,
                       int32_t lineLimit, int32_t normalSubbands);
    int32_t (*accumulate)(float* spectrum, float* overlapOut, float (*samples)[32],
                          int32_t blockType, int32_t longLines, int32_t lines,
                          int32_t normalSubbands);
};
extern const HybridFilterbank kPlainFilterbank;
#if defined(__x86_64__)
extern const HybridFilterbank kSse2Filterbank;
extern const HybridFilterbank kAvx2Filterbank;
#endif
const HybridFilterbank& SelectFilterbank(const Decoder& d);
void AddSpectrum(float* a, const float* b, int32_t n);

}  // namespace mpeg
