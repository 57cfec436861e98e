// The decoder's constant tables, built once per process and never written again.
//
// Every value is computed in double precision and rounded once to float when stored; pi is
// 4·atan(1). The synthesis window is stored data (synthesis_window.cpp).
#pragma once

#include <array>
#include <cstdint>

namespace mpeg {

struct FloatPair {
    float first;
    float second;
};

// The largest magnitude Huffman decoding gives: 15 plus 13 bits of linbits.
inline constexpr int32_t kLargestQuantised = 15 + 8191;

struct DecoderConstants {
    // --- Layer I and II (ISO/IEC 11172-3 2.4.3.2, 2.4.3.3) ---

    // 2 / (2^(a+1) - 1) for allocation a = 1..15; entry 0 unused (0).
    float layer1StepFactor[16];
    // 2^(-sf/3) * 65536 for sf = 0..63: the standard's scale factor (Table B.1, 2·2^(-sf/3))
    // with the 16-bit full scale 32768 folded in. Entry 63 is illegal in streams but defined.
    float scaleFactorTable[64];
    // 2 / levels for quantisation classes 1..17; entry 0 unused (0).
    float layer2StepFactor[18];
    // Ungrouping of three samples from one code word: digit j of code k, j = 0 first,
    // for 3, 5 and 9 levels (ISO/IEC 11172-3 2.4.3.3.4).
    int8_t grouping3[32][3];
    int8_t grouping5[128][3];
    int16_t grouping9[1024][3];

    // --- Layer III requantisation (ISO/IEC 11172-3 2.4.3.4.7) ---

    // 2^((i - 156) / 4), read at global_gain + 6, which gives 2^((gain - 210) / 4) · 32768.
    // 262 entries so that gain -2 (mid/side adjusted 0) and gain 255 are both valid.
    float globalGainPowers[262];
    // 2^(-0.5 · (scalefac_scale + 1) · (pretab + scale factor)), [scalefac_scale][pretab][sf].
    float scaleFactorPowers[2][4][32];
    // sign(x) · |x|^(4/3) for x = -32..31, read at x + 32.
    float smallPowers[64];
    // |q|^(1/3) in double precision for every magnitude Huffman decoding gives, as std::pow
    // gives it: magnitudes of 32 and more are frequent at high bit-rates, and pow is slow.
    double cubeRoots[kLargestQuantised + 1];
    // 2^(-2j) for subblock_gain j = 0..7.
    float subblockGainPowers[8];

    // --- Layer III stereo and alias reduction ---

    // {cs, ca} from the alias coefficients of ISO/IEC 11172-3 Table B.9.
    FloatPair aliasCoefficients[8];
    // MPEG-1 intensity stereo {left, right} by [mid/side][is_pos 0..7].
    FloatPair intensityRatios[2][8];
    // MPEG-2/2.5 intensity stereo {left, right} by [intensity_scale][mid/side][entry]; entries
    // are grouped by scale-factor length g: group g starts at 2^g - 1.
    FloatPair lsfIntensityFactors[2][2][64];

    // --- Polyphase synthesis (ISO/IEC 11172-3 Annex A) ---

    // 1 / (2·cos((2k+1)·pi / (4n))) in five sections for n = 16, 8, 4, 2, 1, starting at
    // entries 0, 16, 24, 28, 30.
    float dctCoefficients[31];

    // --- Layer III IMDCT (ISO/IEC 11172-3 2.4.3.4.10.2) ---

    float longPreScale[18];     // 2·cos((2k+1)·pi/72)
    float longOddScale[9];      // 2·cos((2k+1)·pi/36)
    float longCosMatrix[9][4];  // cos(2i·(2j+1)·pi/36)
    float shortPreScale[6];     // cos((2k+1)·pi/24)
    float shortOddScale[3];     // 2·cos((2k+1)·pi/12)
    float shortRoot3;           // 2·cos(pi/6)
    // The standard's four block windows with the signs that the IMDCT unfolding expects:
    // rows 0, 1 and 3 negated from entry 9 on, row 2 negated in entries 3..11.
    float imdctWindows[4][36];
};

// Section starts of dctCoefficients for the 32-, 16-, 8-, 4- and 2-point stages.
inline constexpr int kDctSection[5] = {0, 16, 24, 28, 30};

// The tables, built on first use (thread-safe) and constant afterwards.
const DecoderConstants& Constants();

// Fillers, in the order Constants() runs them; exposed for the table tests.
void BuildLayer1Tables(DecoderConstants& c);
void BuildLayer2Tables(DecoderConstants& c);
void BuildDecoderConstants(DecoderConstants& c);

// Synthesis window: entries 16·r + i (r, i = 0..15) hold -D[r + 32·i], entries 256 + m
// (m = 0..7) hold D[48 + 64·m], with D the window of ISO/IEC 11172-3 Table 3-B.3. Three zero
// floats follow and are never read.
extern const std::array<float, 267> synthesisWindow;

// D[j], j = 0..511, of the standard's window, for tests and reference code.
double StandardSynthesisWindow(int j);

// Layer I/II bit-rate (kbit/s) by [version - 1][layer - 1][index]; versions 2 and 3 share
// the lower-sampling-frequency table of ISO/IEC 13818-3.
extern const int16_t kBitrateKbps[3][3][16];
// Sample rate (Hz) by [version - 1][index]; index 3 is reserved (0).
extern const int32_t kSampleRateHz[3][4];

}  // namespace mpeg
