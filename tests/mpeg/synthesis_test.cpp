// Polyphase synthesis: the fast DCT against the direct cosine sum, the whole filterbank against
// a double-precision model of the standard's synthesis, and the PCM conversion rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "synthesis.h"

namespace mpeg {
namespace {

using std::numbers::pi;

// ISO/IEC 11172-3 Annex A synthesis in double precision: matrixing into a 1024-value shift
// register V, U gathered from V, windowing with D, and sums of 16 terms.
class ReferenceSynthesis {
public:
    ReferenceSynthesis() {
        for (int i = 0; i < 64; ++i)
            for (int k = 0; k < 32; ++k) matrix_[i][k] = std::cos((16 + i) * (2 * k + 1) * pi / 64);
    }

    void Slot(const double* subbands, double* pcm) {
        std::memmove(v_ + 64, v_, sizeof(double) * 960);
        for (int i = 0; i < 64; ++i) {
            v_[i] = 0;
            for (int k = 0; k < 32; ++k) v_[i] += matrix_[i][k] * subbands[k];
        }
        double u[512];
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 32; ++j) {
                u[64 * i + j] = v_[128 * i + j];
                u[64 * i + 32 + j] = v_[128 * i + 96 + j];
            }
        for (int j = 0; j < 32; ++j) {
            pcm[j] = 0;
            for (int i = 0; i < 16; ++i)
                pcm[j] += u[j + 32 * i] * StandardSynthesisWindow(j + 32 * i);
        }
    }

private:
    double matrix_[64][32];
    double v_[1024] = {};
};

// Sample `index` of 16-bit little-endian PCM.
int Sample16(const std::vector<uint8_t>& out, size_t index) {
    return int16_t(out[2 * index] | out[2 * index + 1] << 8);
}

// Runs a Layer I/II routine over `slots` slots of 64 floats (a copy: the equaliser works in
// place).
std::vector<uint8_t> Synthesize(Decoder& d, SynthFunction synth, std::vector<float> samples,
                                size_t outBytes) {
    std::vector<uint8_t> out(outBytes);
    synth(d, samples.data(), out.data(), int32_t(samples.size() / 64));
    return out;
}

std::vector<float> RandomSlots(std::mt19937& random, int slots, float amplitude) {
    std::uniform_real_distribution<float> value(-amplitude, amplitude);
    std::vector<float> samples(size_t(slots) * 64);
    for (float& v : samples) v = value(random);
    return samples;
}

TEST(Synthesis, FastDctMatchesTheCosineSum) {
    std::mt19937 random(99);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int n : {32, 16, 8}) {
        double worst = 0;
        for (int trial = 0; trial < 50; ++trial) {
            float x[32];
            for (float& v : x) v = value(random);
            float y[32];
            FastDct(x, y, n);
            if (n == 16) x[15] = 0.0f;  // the 16-point form leaves subband 15 out
            double largest = 0, error = 0;
            for (int k = 0; k < n; ++k) {
                double sum = 0;
                for (int i = 0; i < n; ++i) sum += x[i] * std::cos((2 * i + 1) * k * pi / (2 * n));
                largest = std::max(largest, std::fabs(sum));
                error = std::max(error, std::fabs(y[k] - sum));
            }
            worst = std::max(worst, error / largest);
        }
        EXPECT_LT(worst, 1e-5) << n << " points";
    }
}

TEST(Synthesis, FullRateMatchesTheStandardSynthesis) {
    constexpr int kSlots = 48;
    std::mt19937 random(2024);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels == 1 ? "mono" : "stereo");
        DecoderPtr d = CreateDecoder();
        const std::vector<float> samples = RandomSlots(random, kSlots, 700.0f);
        const std::vector<uint8_t> out = Synthesize(*d, SynthSelection.layer12[channels - 1],
                                                    samples, kSlots * 32 * channels * 2);
        double worst = 0;
        for (int c = 0; c < channels; ++c) {
            ReferenceSynthesis reference;
            for (int t = 0; t < kSlots; ++t) {
                double in[32], pcm[32];
                for (int sb = 0; sb < 32; ++sb) in[sb] = samples[64 * t + channels * sb + c];
                reference.Slot(in, pcm);
                for (int j = 0; j < 32; ++j) {
                    const double expected = std::clamp(pcm[j], -32768.0, 32767.0);
                    const int ours = Sample16(out, size_t((32 * t + j) * channels + c));
                    worst = std::max(worst, std::fabs(ours - expected));
                    // Truncation moves a value by less than one.
                    ASSERT_LT(std::fabs(ours - expected), 1.0 + 1e-2)
                        << "slot " << t << " sample " << j << " channel " << c;
                }
            }
        }
        EXPECT_GT(worst, 0.5);  // truncation, not rounding, and real signal
    }
}

// A constant in subband 0 comes out as that constant once the ring is full, at every rate,
// with the standard's polarity although the stored window is -D.
TEST(Synthesis, ConstantInSubbandZeroSettlesToItself) {
    constexpr float kValue = 1000.0f;
    for (int shift = 0; shift <= 2; ++shift) {
        SCOPED_TRACE(shift);
        const int n = 32 >> shift;
        DecoderPtr d = CreateDecoder();
        std::vector<float> samples(32 * 64, 0.0f);
        for (int t = 0; t < 32; ++t) samples[64 * t] = kValue;
        const std::vector<uint8_t> out =
            Synthesize(*d, SynthSelection.layer12[2 * shift], samples, 32 * n * 2);
        for (int t = 16; t < 32; ++t)
            for (int j = 0; j < n; ++j)
                ASSERT_NEAR(Sample16(out, size_t(t * n + j)), kValue, 2) << "slot " << t;
    }
}

struct Routine {
    SynthFunction synth;
    int shift, channels, bytesPerSample;
    bool interleaved;  // reads a two-channel slot
};

std::vector<Routine> Layer12Routines() {
    std::vector<Routine> routines;
    for (int i = 0; i < 12; ++i)
        routines.push_back(
            {SynthSelection.layer12[i], (i % 6) / 2, 1 + i % 2, i < 6 ? 2 : 1, i % 2 == 1});
    for (int option = 0; option < 3; ++option)
        for (int w = 0; w < 2; ++w)
            for (int shift = 0; shift < 3; ++shift)
                routines.push_back({SynthSelection.layer12Single[option][w][shift], shift, 1,
                                    w == 0 ? 2 : 1, true});
    return routines;
}

// Every routine writes exactly its share of bytes, and silence after a reset comes out as
// exact silence.
TEST(Synthesis, SilenceAfterResetIsExactSilence) {
    constexpr int kSlots = 36;
    std::mt19937 random(5);
    for (const Routine& r : Layer12Routines()) {
        SCOPED_TRACE("shift " + std::to_string(r.shift) + " channels " +
                     std::to_string(r.channels) + " bytes " + std::to_string(r.bytesPerSample));
        const size_t written = size_t(kSlots * (32 >> r.shift) * r.channels * r.bytesPerSample);
        const uint8_t silence = r.bytesPerSample == 2 ? 0 : 128;
        DecoderPtr d = CreateDecoder();
        std::vector<float> loud = RandomSlots(random, kSlots, 3000.0f);
        std::vector<float> quiet(loud.size(), 0.0f);
        std::vector<uint8_t> out(kSlots * 64 * 2 * 2, 0xA5);

        r.synth(*d, loud.data(), out.data(), kSlots);
        EXPECT_TRUE(std::all_of(out.begin() + ptrdiff_t(written), out.end(),
                                [](uint8_t b) { return b == 0xA5; }));
        EXPECT_TRUE(std::any_of(out.begin(), out.begin() + ptrdiff_t(written),
                                [&](uint8_t b) { return b != silence; }));

        ResetSynthesis(*d);
        r.synth(*d, quiet.data(), out.data(), kSlots);
        EXPECT_TRUE(std::all_of(out.begin(), out.begin() + ptrdiff_t(written),
                                [&](uint8_t b) { return b == silence; }));
    }
}

TEST(Synthesis, RingPositionStepsBackOneSlotAtATime) {
    struct Case {
        int shift, second, third;
    };
    for (const Case& c : {Case{0, 480, 448}, Case{1, 240, 224}, Case{2, 120, 112}}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE("shift " + std::to_string(c.shift) + " channels " +
                         std::to_string(channels));
            DecoderPtr d = CreateDecoder();
            std::vector<float> slot(64, 1.0f);
            std::vector<uint8_t> out(256);
            const SynthFunction synth = SynthSelection.layer12[2 * c.shift + channels - 1];
            std::vector<int32_t> positions = {d->synthPosition};
            for (int t = 0; t < 16; ++t) {
                synth(*d, slot.data(), out.data(), 1);
                positions.push_back(d->synthPosition);
            }
            EXPECT_EQ(positions[0], 0);
            EXPECT_EQ(positions[1], c.second);
            EXPECT_EQ(positions[2], c.third);
            EXPECT_EQ(positions[16], 0);
            synth(*d, slot.data(), out.data(), 1);
            ResetSynthesis(*d);
            EXPECT_EQ(d->synthPosition, 0);
        }
    }
}

// Below full rate only the subbands that fit are used, and at half rate subband 15 is left out
// too: changing them changes nothing.
TEST(Synthesis, ReducedRatesIgnoreTheSubbandsAboveThem) {
    std::mt19937 random(8);
    for (const Routine& r : Layer12Routines()) {
        if (r.shift == 0) continue;
        SCOPED_TRACE("shift " + std::to_string(r.shift) + " channels " +
                     std::to_string(r.channels) + " bytes " + std::to_string(r.bytesPerSample));
        const int unused = r.shift == 1 ? 15 : 8;
        std::vector<float> samples = RandomSlots(random, 24, 1000.0f);
        DecoderPtr a = CreateDecoder();
        const std::vector<uint8_t> expected = Synthesize(*a, r.synth, samples, 24 * 64 * 2 * 2);
        for (int t = 0; t < 24; ++t)
            for (int e = unused * (r.interleaved ? 2 : 1); e < 64; ++e)
                samples[64 * t + e] = 5000.0f;
        DecoderPtr b = CreateDecoder();
        EXPECT_EQ(Synthesize(*b, r.synth, samples, 24 * 64 * 2 * 2), expected);
    }
}

TEST(Synthesis, PcmConversion) {
    struct Case16 {
        float sum;
        int32_t pcm;
    };
    for (const Case16& c :
         {Case16{40000.7f, 32767}, Case16{-40000.7f, -32768}, Case16{1.9f, 1}, Case16{-1.9f, -1},
          Case16{32767.5f, 32767}, Case16{-32768.0f, -32768}, Case16{std::nanf(""), 0},
          Case16{std::numeric_limits<float>::infinity(), 32767}})
        EXPECT_EQ(ToPcm16(c.sum), c.pcm) << c.sum;

    struct Case8 {
        int32_t pcm16;
        int pcm8;
    };
    for (const Case8& c : {Case8{-1, 127}, Case8{0, 128}, Case8{255, 128}, Case8{256, 129},
                           Case8{32767, 255}, Case8{-32768, 0}, Case8{-256, 127}, Case8{-257, 126}})
        EXPECT_EQ(ToPcm8(c.pcm16), c.pcm8) << c.pcm16;
}

TEST(Synthesis, Equaliser) {
    std::mt19937 random(11);
    const std::vector<float> samples = RandomSlots(random, 24, 500.0f);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const SynthFunction synth = SynthSelection.layer12[channels - 1];
        const size_t bytes = 24 * 32 * size_t(channels) * 2;
        DecoderPtr plain = CreateDecoder();
        const std::vector<uint8_t> expected = Synthesize(*plain, synth, samples, bytes);

        const int32_t flat[10] = {};
        DecoderPtr d = CreateDecoder();
        SetEqualizer(*d, flat);
        EXPECT_EQ(Synthesize(*d, synth, samples, bytes), expected);

        const int32_t loud[10] = {60, 60, 60, 60, 60, 60, 60, 60, 60, 60};
        d = CreateDecoder();
        SetEqualizer(*d, loud);
        EXPECT_NE(Synthesize(*d, synth, samples, bytes), expected);
        d = CreateDecoder();
        SetEqualizer(*d, loud);
        SetEqualizer(*d, nullptr);
        EXPECT_EQ(Synthesize(*d, synth, samples, bytes), expected);
    }

    // +20 dB on band 0 (subband 0 alone): a constant there comes out ten times larger.
    const int32_t boost[10] = {200, -200, -200, -200, -200, -200, -200, -200, -200, -200};
    DecoderPtr d = CreateDecoder();
    SetEqualizer(*d, boost);
    std::vector<float> constant(32 * 64, 0.0f);
    for (int t = 0; t < 32; ++t) constant[64 * t] = 100.0f;
    const std::vector<uint8_t> out =
        Synthesize(*d, SynthSelection.layer12[0], constant, 32 * 32 * 2);
    for (size_t i = 16 * 32; i < 32 * 32; ++i) ASSERT_NEAR(Sample16(out, i), 1000, 2) << i;
    // Bands 6 to 9 cover subbands 6-7, 8-11, 12-19 and 20-31.
    const int32_t ramp[10] = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    SetEqualizer(*d, ramp);
    const int kBandOf[32] = {0, 1, 2, 3, 4, 5, 6, 6, 7, 7, 7, 7, 8, 8, 8, 8,
                             8, 8, 8, 8, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    for (int sb = 0; sb < 32; ++sb)
        EXPECT_FLOAT_EQ(d->equaliserFactors[sb], float(std::pow(10.0, kBandOf[sb] / 20.0))) << sb;
}

}  // namespace
}  // namespace mpeg
