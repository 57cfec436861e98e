// Spot values of the constant tables, where a wrong formula, index or sign would show.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "decoder.h"
#include "tables.h"

namespace mpeg {
namespace {

TEST(Tables, LayerThreeRequantisationAndStereo) {
    const DecoderConstants& c = Constants();
    EXPECT_EQ(c.globalGainPowers[216], 32768.0f);
    EXPECT_EQ(c.globalGainPowers[156], 1.0f);
    EXPECT_EQ(c.smallPowers[40], 16.0f);
    EXPECT_EQ(c.smallPowers[24], -16.0f);
    EXPECT_FLOAT_EQ(c.smallPowers[63], float(std::pow(31.0, 4.0 / 3.0)));
    EXPECT_EQ(c.intensityRatios[0][3].first, 0.5f);
    EXPECT_EQ(c.intensityRatios[0][6].first, 1.0f);
    EXPECT_GT(c.intensityRatios[0][6].second, 5e-17f);  // cos(pi/2) in double, not zero
    EXPECT_LT(c.intensityRatios[0][6].second, 7e-17f);
    EXPECT_FLOAT_EQ(c.intensityRatios[1][3].first, float(0.5 * std::sqrt(2.0)));
    // The illegal position 7 leaves a band to the other stereo mode: plain (left stays, right
    // silent) or mid/side, where the side is zero and both channels take the mid.
    EXPECT_EQ(c.intensityRatios[0][7].first, 1.0f);
    EXPECT_EQ(c.intensityRatios[0][7].second, 0.0f);
    EXPECT_EQ(c.intensityRatios[1][7].first, 1.0f);
    EXPECT_EQ(c.intensityRatios[1][7].second, 1.0f);
    const float io = float(std::pow(2.0, -0.25));
    const FloatPair lsf[] = {{1, 1}, {1, 0}, {1, 1}, {io, 1}, {1, io}};  // entries 1..5
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(c.lsfIntensityFactors[0][0][1 + i].first, lsf[i].first) << i;
        EXPECT_FLOAT_EQ(c.lsfIntensityFactors[0][0][1 + i].second, lsf[i].second) << i;
    }
}

TEST(Tables, ImdctWindowSignsAndDctCoefficients) {
    const auto& w = Constants().imdctWindows;
    EXPECT_FLOAT_EQ(w[0][8], float(std::sin(8.5 * std::numbers::pi / 36)));
    EXPECT_LT(w[0][9], 0.0f);
    EXPECT_GT(w[2][2], 0.0f);
    for (int i = 3; i < 12; ++i) EXPECT_LT(w[2][i], 0.0f) << i;
    EXPECT_EQ(w[2][12], 0.0f);
    EXPECT_EQ(w[1][20], -1.0f);  // start window: flat, negated from entry 9 on
    EXPECT_EQ(w[3][3], 0.0f);    // stop window: zero first
    EXPECT_EQ(w[3][14], -1.0f);
    const float* dct = Constants().dctCoefficients;
    EXPECT_NEAR(dct[0], 0.5006030f, 1e-6f);
    EXPECT_NEAR(dct[15], 10.190008f, 1e-4f);
    EXPECT_EQ(dct[30], float(1.0 / std::sqrt(2.0)));
    EXPECT_NEAR(dct[kDctSection[1]], 1.0 / (2 * std::cos(std::numbers::pi / 32)), 1e-6);
}

TEST(Tables, SynthesisWindowHoldsTheStandardWindow) {
    EXPECT_EQ(synthesisWindow[8], -75038.0f / 65536);  // row 0, entry 8: -D[256]
    for (size_t i = 0; i < synthesisWindow.size(); ++i) {
        const double scaled = double(synthesisWindow[i]) * 65536;
        EXPECT_EQ(scaled, std::round(scaled)) << "entry " << i;
    }
    for (int r = 0; r < 16; ++r)
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(synthesisWindow[16 * r + i], float(-StandardSynthesisWindow(r + 32 * i)));
    EXPECT_NEAR(StandardSynthesisWindow(1), -0.000015259, 1e-9);
    EXPECT_NEAR(StandardSynthesisWindow(128), 0.031082153, 1e-9);
}

}  // namespace
}  // namespace mpeg
