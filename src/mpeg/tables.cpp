#include "tables.h"

#include <cmath>

#include "huffman_lookup.h"

namespace mpeg {

namespace {

const double kPi = 4.0 * std::atan(1.0);

// Alias-reduction coefficients c_i of ISO/IEC 11172-3 Table B.9.
constexpr float kAliasCi[8] = {-0.6f,   -0.535f, -0.33f,   -0.185f,
                               -0.095f, -0.041f, -0.0142f, -0.0037f};

// Levels of the Layer II quantisation classes 1..17.
constexpr int kLayer2Levels[18] = {0,   3,   5,    7,    9,    15,   31,    63,    127,
                                   255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};

void BuildRequantisationTables(DecoderConstants& c) {
    for (int i = 0; i < 262; ++i) c.globalGainPowers[i] = float(std::pow(2.0, (i - 156) / 4.0));
    for (int s = 0; s < 2; ++s)
        for (int p = 0; p < 4; ++p)
            for (int k = 0; k < 32; ++k)
                c.scaleFactorPowers[s][p][k] = float(std::pow(2.0, -0.5 * (s + 1) * (k + p)));
    const double oneThird = 0.3333333333333333;
    for (int i = 0; i < 64; ++i) {
        const double x = i - 32;
        c.smallPowers[i] = float(std::pow(std::fabs(x), oneThird) * x);
    }
    for (int j = 0; j < 8; ++j) c.subblockGainPowers[j] = float(std::pow(2.0, -2.0 * j));
    for (int i = 0; i <= kLargestQuantised; ++i) c.cubeRoots[i] = std::pow(double(i), 1.0 / 3.0);
}

void BuildStereoTables(DecoderConstants& c) {
    for (int i = 0; i < 8; ++i) {
        const double ci = kAliasCi[i];
        const double root = std::sqrt(1.0 + ci * ci);
        c.aliasCoefficients[i] = {float(1.0 / root), float(ci / root)};
    }

    const double root2 = std::sqrt(2.0);
    for (int p = 0; p < 7; ++p) {
        const double a = std::sin(p * kPi / 12.0);
        const double b = std::cos(p * kPi / 12.0);
        c.intensityRatios[0][p] = {float(a / (a + b)), float(b / (a + b))};
        c.intensityRatios[1][p] = {float(a / (a + b) * root2), float(b / (a + b) * root2)};
    }
    c.intensityRatios[0][7] = {1.0f, 0.0f};
    c.intensityRatios[1][7] = {1.0f, 1.0f};

    for (int s = 0; s < 2; ++s) {
        const double io = std::pow(2.0, -(s + 1) / 4.0);
        for (int m = 0; m < 2; ++m) {
            const double k = m == 0 ? 1.0 : root2;
            FloatPair* entries = c.lsfIntensityFactors[s][m];
            for (int g = 0; g <= 5; ++g) {
                const int first = (1 << g) - 1;
                const int count = 1 << g;
                for (int r = 0; r < count; ++r) {
                    FloatPair& e = entries[first + r];
                    if (r == count - 1) {
                        e = {1.0f, m == 0 ? 0.0f : 1.0f};  // the illegal position
                    } else if (r == 0) {
                        e = {float(k), float(k)};
                    } else if (r % 2 == 1) {
                        e = {float(k * std::pow(io, (r + 1) / 2)), float(k)};
                    } else {
                        e = {float(k), float(k * std::pow(io, r / 2))};
                    }
                }
            }
            entries[63] = {0.0f, 0.0f};
        }
    }
}

void BuildDctTable(DecoderConstants& c) {
    for (int s = 0; s < 5; ++s) {
        const int n = 16 >> s;
        for (int k = 0; k < n; ++k)
            c.dctCoefficients[kDctSection[s] + k] =
                float(1.0 / (2.0 * std::cos((2 * k + 1) * kPi / (4.0 * n))));
    }
}

void BuildImdctTables(DecoderConstants& c) {
    for (int k = 0; k < 18; ++k) c.longPreScale[k] = float(2.0 * std::cos((2 * k + 1) * kPi / 72));
    for (int k = 0; k < 9; ++k) c.longOddScale[k] = float(2.0 * std::cos((2 * k + 1) * kPi / 36));
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 4; ++j)
            c.longCosMatrix[i][j] = float(std::cos(2 * i * (2 * j + 1) * kPi / 36));
    for (int k = 0; k < 6; ++k)
        c.shortPreScale[k] = float(2.0 * std::cos((2 * k + 1) * kPi / 24)) * 0.5f;
    for (int k = 0; k < 3; ++k) c.shortOddScale[k] = float(2.0 * std::cos((2 * k + 1) * kPi / 12));
    c.shortRoot3 = float(2.0 * std::cos(kPi / 6));

    auto longWindow = [](int i) { return std::sin(kPi / 36 * (i + 0.5)); };
    auto shortWindow = [](int i) { return std::sin(kPi / 12 * (i + 0.5)); };
    for (int i = 0; i < 36; ++i) {
        c.imdctWindows[0][i] = float(longWindow(i));

        double start = 0;
        if (i < 18)
            start = longWindow(i);
        else if (i < 24)
            start = 1;
        else if (i < 30)
            start = shortWindow(i - 18);
        c.imdctWindows[1][i] = float(start);

        c.imdctWindows[2][i] = i < 12 ? float(shortWindow(i)) : 0.0f;

        double stop = 0;
        if (i >= 6 && i < 12)
            stop = shortWindow(i - 6);
        else if (i >= 12 && i < 18)
            stop = 1;
        else if (i >= 18)
            stop = longWindow(i);
        c.imdctWindows[3][i] = float(stop);
    }
    // The IMDCT cores leave some outputs with inverted sign; the windows carry the correction.
    for (int row : {0, 1, 3})
        for (int i = 9; i < 36; ++i) c.imdctWindows[row][i] = -c.imdctWindows[row][i];
    for (int i = 3; i < 12; ++i) c.imdctWindows[2][i] = -c.imdctWindows[2][i];
}

}  // namespace

const int16_t kBitrateKbps[3][3][16] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
};

const int32_t kSampleRateHz[3][4] = {
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
};

void BuildLayer1Tables(DecoderConstants& c) {
    c.layer1StepFactor[0] = 0.0f;
    for (int a = 1; a < 16; ++a) c.layer1StepFactor[a] = float(2.0 / ((2 << a) - 1));
}

void BuildLayer2Tables(DecoderConstants& c) {
    for (int sf = 0; sf < 64; ++sf)
        c.scaleFactorTable[sf] = float(std::pow(2.0, -sf / 3.0) * 65536.0);
    c.layer2StepFactor[0] = 0.0f;
    for (int q = 1; q < 18; ++q) c.layer2StepFactor[q] = float(2.0 / kLayer2Levels[q]);
    for (int k = 0; k < 32; ++k)
        for (int j = 0, v = k; j < 3; ++j, v /= 3) c.grouping3[k][j] = int8_t(v % 3 - 1);
    for (int k = 0; k < 128; ++k)
        for (int j = 0, v = k; j < 3; ++j, v /= 5) c.grouping5[k][j] = int8_t(v % 5 - 2);
    for (int k = 0; k < 1024; ++k)
        for (int j = 0, v = k; j < 3; ++j, v /= 9) c.grouping9[k][j] = int16_t(v % 9 - 4);
}

void BuildDecoderConstants(DecoderConstants& c) {
    BuildRequantisationTables(c);
    BuildStereoTables(c);
    BuildDctTable(c);
    BuildImdctTables(c);
}

const DecoderConstants& Constants() {
    static const DecoderConstants constants = [] {
        DecoderConstants c{};
        BuildLayer1Tables(c);
        BuildLayer2Tables(c);
        BuildDecoderConstants(c);
        // The Huffman decoding tables are derived now too, before any frame is decoded.
        HuffmanLookupTables();
        return c;
    }();
    return constants;
}

}  // namespace mpeg
