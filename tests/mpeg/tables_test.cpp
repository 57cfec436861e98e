// Spot values of the constant tables, where a wrong formula, index or sign would show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

#include "decoder.h"
#include "mpeg_decoder.h"
#include "tables.h"

namespace mpeg {
namespace {

const DecoderConstants& C() {
    return Constants();
}

TEST(Tables, BuiltOnceAndSharedByEveryDecoder) {
    EXPECT_EQ(&Constants(), &Constants());
    DecoderPtr a = CreateDecoder();
    DecoderPtr b = CreateDecoder();
    EXPECT_EQ(a->constants, &Constants());
    EXPECT_EQ(b->constants, &Constants());
    // Building again gives the same bits: nothing depends on the order or the time of building.
    auto fresh = std::make_unique<DecoderConstants>();
    BuildLayer1Tables(*fresh);
    BuildLayer2Tables(*fresh);
    BuildDecoderConstants(*fresh);
    EXPECT_EQ(std::memcmp(fresh.get(), &Constants(), sizeof(DecoderConstants)), 0);
}

TEST(Tables, LayerThreeRequantisation) {
    EXPECT_EQ(C().globalGainPowers[216], 32768.0f);
    EXPECT_EQ(C().globalGainPowers[156], 1.0f);
    EXPECT_EQ(C().smallPowers[40], 16.0f);
    EXPECT_EQ(C().smallPowers[24], -16.0f);
    EXPECT_EQ(C().smallPowers[32], 0.0f);
    EXPECT_FLOAT_EQ(C().smallPowers[63], float(std::pow(31.0, 4.0 / 3.0)));
    EXPECT_EQ(C().subblockGainPowers[3], 1.0f / 64);
    EXPECT_EQ(C().scaleFactorPowers[1][2][2], 1.0f / 16);  // 2^(-1 * (2 + 2))
}

TEST(Tables, StereoAndAliasFactors) {
    const FloatPair* ratios = C().intensityRatios[0];
    EXPECT_EQ(ratios[0].first, 0.0f);
    EXPECT_EQ(ratios[0].second, 1.0f);
    EXPECT_EQ(ratios[3].first, 0.5f);
    EXPECT_EQ(ratios[3].second, 0.5f);
    EXPECT_EQ(ratios[6].first, 1.0f);
    EXPECT_GT(ratios[6].second, 5e-17f);  // cos(pi/2) in double, not zero
    EXPECT_LT(ratios[6].second, 7e-17f);
    EXPECT_FLOAT_EQ(C().intensityRatios[1][3].first, float(0.5 * std::sqrt(2.0)));

    const FloatPair* lsf = C().lsfIntensityFactors[0][0];
    const float io = float(std::pow(2.0, -0.25));
    const FloatPair expected[] = {{1, 1}, {1, 0}, {1, 1}, {io, 1}, {1, io}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(lsf[1 + i].first, expected[i].first) << "entry " << 1 + i;
        EXPECT_FLOAT_EQ(lsf[1 + i].second, expected[i].second) << "entry " << 1 + i;
    }

    EXPECT_NEAR(C().aliasCoefficients[0].first, 0.8574929f, 1e-6f);
    EXPECT_NEAR(C().aliasCoefficients[0].second, -0.5144958f, 1e-6f);
    for (const FloatPair& p : C().aliasCoefficients)
        EXPECT_NEAR(p.first * p.first + p.second * p.second, 1.0f, 1e-6f);
}

TEST(Tables, ImdctWindowSigns) {
    const auto& w = C().imdctWindows;
    EXPECT_GT(w[0][8], 0.0f);
    EXPECT_LT(w[0][9], 0.0f);
    EXPECT_FLOAT_EQ(w[0][8], float(std::sin(8.5 * std::numbers::pi / 36)));
    EXPECT_GT(w[2][2], 0.0f);
    for (int i = 3; i < 12; ++i) EXPECT_LT(w[2][i], 0.0f) << i;
    for (int i = 12; i < 36; ++i) EXPECT_EQ(w[2][i], 0.0f) << i;
    EXPECT_EQ(w[1][20], -1.0f);  // start window: flat, negated from entry 9 on
    EXPECT_EQ(w[3][3], 0.0f);    // stop window: zero first
    EXPECT_EQ(w[3][14], -1.0f);
}

TEST(Tables, SynthesisDctCoefficients) {
    const float* c = C().dctCoefficients;
    EXPECT_NEAR(c[0], 0.5006030f, 1e-6f);
    EXPECT_NEAR(c[15], 10.190008f, 1e-4f);
    EXPECT_EQ(c[30], float(1.0 / std::sqrt(2.0)));
    EXPECT_NEAR(c[kDctSection[1]], 1.0 / (2 * std::cos(std::numbers::pi / 32)), 1e-6);
}

TEST(Tables, SynthesisWindowHoldsTheStandardWindow) {
    EXPECT_EQ(synthesisWindow[8], -75038.0f / 65536);  // -D[256]
    EXPECT_FLOAT_EQ(synthesisWindow[8], -1.144989014f);
    for (size_t i = 0; i < synthesisWindow.size(); ++i) {
        const double scaled = double(synthesisWindow[i]) * 65536;
        EXPECT_EQ(scaled, std::round(scaled)) << "entry " << i;
    }
    for (int r = 0; r < 16; ++r)
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(synthesisWindow[16 * r + i], float(-StandardSynthesisWindow(r + 32 * i)));
    for (int m = 0; m < 8; ++m)
        EXPECT_EQ(synthesisWindow[256 + m], float(StandardSynthesisWindow(48 + 64 * m)));
    // A few values as printed in the standard's table.
    EXPECT_NEAR(StandardSynthesisWindow(1), -0.000015259, 1e-9);
    EXPECT_NEAR(StandardSynthesisWindow(64), 0.003250122, 1e-9);
    EXPECT_NEAR(StandardSynthesisWindow(128), 0.031082153, 1e-9);
    EXPECT_NEAR(StandardSynthesisWindow(256), 1.144989014, 1e-9);
    EXPECT_NEAR(StandardSynthesisWindow(511), 0.000015259, 1e-9);
}

TEST(Tables, LayerOneAndTwo) {
    EXPECT_EQ(C().scaleFactorTable[0], 65536.0f);
    EXPECT_EQ(C().scaleFactorTable[3], 32768.0f);
    EXPECT_FLOAT_EQ(C().scaleFactorTable[62], float(65536 * std::pow(2.0, -62.0 / 3)));
    EXPECT_FLOAT_EQ(C().layer1StepFactor[1], 2.0f / 3);
    EXPECT_FLOAT_EQ(C().layer1StepFactor[14], 2.0f / 32767);
    EXPECT_FLOAT_EQ(C().layer2StepFactor[3], 2.0f / 7);
    EXPECT_FLOAT_EQ(C().layer2StepFactor[17], 2.0f / 65535);

    EXPECT_EQ(C().grouping3[26][0], 1);  // 26 = 2 + 2·3 + 2·9
    EXPECT_EQ(C().grouping3[26][1], 1);
    EXPECT_EQ(C().grouping3[26][2], 1);
    // Every code of the three grouping tables recombines to itself, first digit lowest.
    for (int k = 0; k < 27; ++k)
        EXPECT_EQ(
            C().grouping3[k][0] + 1 + 3 * (C().grouping3[k][1] + 1) + 9 * (C().grouping3[k][2] + 1),
            k);
    for (int k = 0; k < 125; ++k)
        EXPECT_EQ(C().grouping5[k][0] + 2 + 5 * (C().grouping5[k][1] + 2) +
                      25 * (C().grouping5[k][2] + 2),
                  k);
    for (int k = 0; k < 729; ++k)
        EXPECT_EQ(C().grouping9[k][0] + 4 + 9 * (C().grouping9[k][1] + 4) +
                      81 * (C().grouping9[k][2] + 4),
                  k);
}

}  // namespace
}  // namespace mpeg
