// Polyphase synthesis: the fast DCT against the direct cosine sum, the whole filterbank against
// a double-precision model of the standard's synthesis, and the PCM conversion rules; the vector
// paths of the synthesis and of the Layer III hybrid filterbank against the plain ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "layer3.h"
#include "synthesis.h"

namespace mpeg {
namespace {

using std::numbers::pi;

// ISO/IEC 11172-3 Annex A synthesis in double precision: matrixing into a 1024-value shift
// register V, U gathered from V, windowing with D, and sums of 16 terms.
class ReferenceSynthesis {
public:
    void Slot(const double* subbands, double* pcm) {
        std::memmove(v_ + 64, v_, sizeof(double) * 960);
        for (int i = 0; i < 64; ++i) {
            v_[i] = 0;
            for (int k = 0; k < 32; ++k)
                v_[i] += std::cos((16 + i) * (2 * k + 1) * pi / 64) * subbands[k];
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
    double v_[1024] = {};
};

int Sample16(const std::vector<uint8_t>& out, size_t index) {
    return int16_t(out[2 * index] | out[2 * index + 1] << 8);
}

// Runs a Layer I/II routine over slots of 64 floats (a copy: the equaliser works in place).
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
        for (int trial = 0; trial < 50; ++trial) {
            float x[32], y[32];
            for (float& v : x) v = value(random);
            FastDct(x, y, n);
            if (n == 16) x[15] = 0.0f;  // the 16-point form leaves subband 15 out
            double largest = 0, error = 0;
            for (int k = 0; k < n; ++k) {
                double sum = 0;
                for (int i = 0; i < n; ++i) sum += x[i] * std::cos((2 * i + 1) * k * pi / (2 * n));
                largest = std::max(largest, std::fabs(sum));
                error = std::max(error, std::fabs(y[k] - sum));
            }
            ASSERT_LT(error / largest, 1e-5) << n << " points";
        }
    }
}

TEST(Synthesis, FullRateMatchesTheStandardSynthesis) {
    constexpr int kSlots = 48;
    std::mt19937 random(2024);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
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
                    const double error =
                        std::fabs(Sample16(out, size_t((32 * t + j) * channels + c)) - expected);
                    worst = std::max(worst, error);
                    ASSERT_LT(error, 1.0 + 1e-2) << "slot " << t << " sample " << j;  // truncation
                }
            }
        }
        EXPECT_GT(worst, 0.5);        // truncation, not rounding, and real signal
        const int32_t flat[10] = {};  // a flat equaliser changes nothing
        DecoderPtr equalised = CreateDecoder();
        SetEqualizer(*equalised, flat);
        EXPECT_EQ(Synthesize(*equalised, SynthSelection.layer12[channels - 1], samples, out.size()),
                  out);
    }
}

// A constant in subband 0 comes out as that constant once the ring is full, at every rate, with
// the standard's polarity although the stored window is -D. The ring steps back one slot at a
// time and is back at 0 after 16 slots.
TEST(Synthesis, ConstantInSubbandZeroSettlesToItself) {
    for (int shift = 0; shift <= 2; ++shift) {
        SCOPED_TRACE(shift);
        const int n = 32 >> shift;
        DecoderPtr d = CreateDecoder();
        std::vector<float> slot(64, 0.0f);
        slot[0] = 1000.0f;
        std::vector<uint8_t> out(size_t(n) * 2);
        for (int t = 0; t < 32; ++t) {
            SynthSelection.layer12[2 * shift](*d, slot.data(), out.data(), 1);
            if (t == 0) {
                EXPECT_EQ(d->synthPosition, 480 >> shift);
            }
            if (t % 16 == 15) {
                EXPECT_EQ(d->synthPosition, 0);
            }
            for (int j = 0; j < n && t >= 16; ++j)
                ASSERT_NEAR(Sample16(out, size_t(j)), 1000, 2) << t;
        }
    }
}

// Every routine writes exactly its share of bytes, and silence after a reset comes out as exact
// silence: 0 in 16-bit and 128 in 8-bit output.
TEST(Synthesis, SilenceAfterResetIsExactSilence) {
    struct Routine {
        SynthFunction synth;
        int shift, channels, bytesPerSample;
    };
    std::vector<Routine> routines;
    for (int i = 0; i < 12; ++i)
        routines.push_back({SynthSelection.layer12[i], (i % 6) / 2, 1 + i % 2, i < 6 ? 2 : 1});
    for (int option = 0; option < 3; ++option)
        for (int w = 0; w < 2; ++w)
            for (int shift = 0; shift < 3; ++shift)
                routines.push_back(
                    {SynthSelection.layer12Single[option][w][shift], shift, 1, 2 - w});
    constexpr int kSlots = 36;
    std::mt19937 random(5);
    for (const Routine& r : routines) {
        SCOPED_TRACE("shift " + std::to_string(r.shift) + " channels " +
                     std::to_string(r.channels) + " bytes " + std::to_string(r.bytesPerSample));
        const auto written =
            std::ptrdiff_t(kSlots * (32 >> r.shift) * r.channels * r.bytesPerSample);
        const uint8_t silence = r.bytesPerSample == 2 ? 0 : 128;
        DecoderPtr d = CreateDecoder();
        std::vector<float> loud = RandomSlots(random, kSlots, 3000.0f), quiet(loud.size(), 0.0f);
        std::vector<uint8_t> out(kSlots * 64 * 2 * 2, 0xA5);
        r.synth(*d, loud.data(), out.data(), kSlots);
        EXPECT_EQ(std::count(out.begin() + written, out.end(), 0xA5),
                  std::ptrdiff_t(out.size()) - written);
        EXPECT_NE(std::count(out.begin(), out.begin() + written, silence), written);
        ResetSynthesis(*d);
        EXPECT_EQ(d->synthPosition, 0);
        r.synth(*d, quiet.data(), out.data(), kSlots);
        EXPECT_EQ(std::count(out.begin(), out.begin() + written, silence), written);
    }
}

// Each vector path gives exactly the plain path's bytes and writes no byte more, over enough
// slots to wrap the ring several times: loud input that clips, an equaliser, a NaN and
// infinities, both layers' routines, one channel and two.
TEST(Synthesis, VectorPathsGiveThePlainSamples) {
    constexpr int kSlots = 72;  // four Layer III granules of 18 slots
    std::mt19937 random(77);
    std::vector<float> samples = RandomSlots(random, kSlots, 3000.0f);
    const std::vector<float> loud = RandomSlots(random, kSlots, 60000.0f);
    std::copy(loud.begin() + 64 * 40, loud.begin() + 64 * 44, samples.begin() + 64 * 40);
    samples[64 * 50 + 3] = std::nanf("");
    samples[64 * 52 + 8] = std::numeric_limits<float>::infinity();
    samples[64 * 60 + 1] = -std::numeric_limits<float>::infinity();
    const int32_t bands[10] = {-120, 30, 0, 60, -30, 90, 0, -60, 120, 15};

    // Runs `count` calls of `synth` on consecutive pieces of the input into one output with a
    // canary after it; Layer III routines are called once per channel of each granule.
    const auto run = [&](SimdPath path, SynthFunction (*pick)(const Decoder&), bool layer3,
                         int channels, bool equalised) {
        DecoderPtr d = CreateDecoder();
        EXPECT_EQ(SetSimdPath(*d, path), 1);
        if (equalised) SetEqualizer(*d, bands);
        const SynthFunction synth = pick(*d);
        std::vector<float> in = samples;
        const size_t bytes = size_t(kSlots) * 32 * size_t(channels) * 2;
        std::vector<uint8_t> out(bytes + 64, 0xA5);
        if (layer3) {
            for (int g = 0; g < kSlots / 18; ++g)
                for (int c = 0; c < channels; ++c)
                    synth(*d, in.data() + 576 * (2 * g + c) % in.size(),
                          out.data() + size_t(g) * 18 * 32 * size_t(channels) * 2, c);
        } else {
            synth(*d, in.data(), out.data(), kSlots);
        }
        EXPECT_EQ(std::count(out.begin() + std::ptrdiff_t(bytes), out.end(), 0xA5), 64);
        return out;
    };
    struct Routine {
        const char* name;
        SynthFunction (*pick)(const Decoder&);
        bool layer3;
        int channels;
    };
    const Routine routines[] = {
        {"layer I/II mono", [](const Decoder& d) { return SelectLayer12Synth(d, 1); }, false, 1},
        {"layer I/II stereo", [](const Decoder& d) { return SelectLayer12Synth(d, 2); }, false, 2},
        {"layer III mono", [](const Decoder& d) { return SelectLayer3Synth(d, 1); }, true, 1},
        {"layer III stereo", [](const Decoder& d) { return SelectLayer3Synth(d, 2); }, true, 2},
    };
    int compared = 0;
    for (const SimdPath path : {SimdPath::kSse2, SimdPath::kAvx2}) {
        if (!SimdPathAvailable(path)) continue;
        for (const Routine& r : routines) {
            for (const bool equalised : {false, true}) {
                SCOPED_TRACE(std::string(SimdPathName(path)) + ", " + r.name +
                             (equalised ? ", equalised" : ""));
                const std::vector<uint8_t> plain =
                    run(SimdPath::kGeneric, r.pick, r.layer3, r.channels, equalised);
                const std::vector<uint8_t> vector =
                    run(path, r.pick, r.layer3, r.channels, equalised);
                EXPECT_TRUE(plain == vector);
                ++compared;
            }
        }
    }
#if defined(__x86_64__)
    EXPECT_GT(compared, 0);  // SSE2 is always there
#endif
}

// The hybrid filterbank's vector paths give exactly the plain path's outputs over granules in
// a row, so the overlap carries over: every block type, mixed blocks (also with fewer lines than
// the long part holds), partial blocks of lanes, a lower line limit, the previous overlap played
// out past a shorter granule, a second channel accumulated, lines past the transform that are
// not zero, a NaN and infinities.
TEST(Hybrid, VectorPathsGiveThePlainOutputs) {
    struct Case {
        const char* name;
        int blockType, normalSubbands, lineLimit;
        int lines[3];  // per granule
        bool accumulate;
    };
    const Case cases[] = {
        {"long", 0, 0, 576, {576, 260, 418}, false},
        {"start", 1, 0, 576, {418, 576, 100}, false},
        {"stop", 3, 0, 576, {300, 0, 576}, false},
        {"short", 2, 0, 576, {576, 190, 400}, false},
        {"mixed short", 2, 2, 576, {400, 20, 576}, false},
        {"mixed start", 1, 2, 576, {576, 300, 90}, false},
        {"mixed stop", 3, 2, 576, {130, 576, 500}, false},
        {"line limit", 0, 0, 198, {198, 100, 198}, false},
        {"short, line limit", 2, 0, 270, {270, 54, 270}, false},
        {"long, accumulated", 0, 0, 576, {300, 576, 200}, true},
        {"short, accumulated", 2, 0, 576, {576, 100, 330}, true},
        {"mixed, accumulated", 2, 2, 576, {200, 576, 30}, true},
    };
    // Every output of every granule; NaNs compare equal whatever their payload.
    const auto run = [](SimdPath path, const Case& k) {
        DecoderPtr d = CreateDecoder();
        EXPECT_EQ(SetSimdPath(*d, path), 1);
        d->layer3.lineLimit = k.lineLimit;
        d->layer3.filterbank = &SelectFilterbank(*d);
        std::mt19937 random(11);
        std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
        std::vector<float> spectrum(4 * 576, 0.0f);  // [channel][slot][576]
        float samples[18][32];
        std::fill(&samples[0][0], &samples[0][0] + 576, 7.0f);
        std::vector<uint32_t> out;
        int32_t previous = 0;
        for (int g = 0; g < 3; ++g) {
            const int slot = g & 1;
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 576; ++i)
                    spectrum[size_t(576 * (2 * ch + slot) + i)] = value(random);
            if (g == 1) {
                spectrum[size_t(576 * slot + 40)] = std::nanf("");
                spectrum[size_t(576 * (2 + slot) + 75)] = std::numeric_limits<float>::infinity();
                spectrum[size_t(576 * slot + 300)] = -std::numeric_limits<float>::infinity();
            }
            float* own = &spectrum[size_t(576 * slot)];
            const int lines = std::min(k.lines[g], k.lineLimit);
            const int longLines = k.blockType != 2 ? lines : k.normalSubbands > 0 ? 36 : 0;
            previous = ImdctGranule(*d, own, &spectrum[size_t(576 * (slot ^ 1))], samples,
                                    k.blockType, longLines, lines, previous, k.normalSubbands);
            out.push_back(uint32_t(previous));
            if (k.accumulate)
                out.push_back(
                    uint32_t(ImdctAccumulate(*d, &spectrum[size_t(576 * (2 + slot))], own, samples,
                                             k.blockType, longLines, lines / 2, k.normalSubbands)));
            for (const float* v = &samples[0][0]; v != &samples[0][0] + 576; ++v)
                out.push_back(*v != *v ? 0x7FC00000u : std::bit_cast<uint32_t>(*v));
        }
        return out;
    };
    int compared = 0;
    for (const SimdPath path : {SimdPath::kSse2, SimdPath::kAvx2}) {
        if (!SimdPathAvailable(path)) continue;
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(SimdPathName(path)) + ", " + k.name);
            EXPECT_TRUE(run(SimdPath::kGeneric, k) == run(path, k));
            ++compared;
        }
    }
#if defined(__x86_64__)
    EXPECT_GT(compared, 0);
#endif
}

// Mixing both channels into one: where the second channel's sound reaches further than the
// first's, its overlap still plays out in the next granule, exactly as that channel's own would.
TEST(Hybrid, MixingPlaysOutTheOverlapOfTheWiderChannel) {
    const auto setUp = [](SimdPath path) {
        DecoderPtr d = CreateDecoder();
        EXPECT_EQ(SetSimdPath(*d, path), 1);
        LayerIIIState& s = d->layer3;
        s.channels = 2;
        s.lineLimit = 576;
        s.filterbank = &SelectFilterbank(*d);
        d->synth = [](Decoder&, float*, uint8_t*, int32_t) { return 1; };
        for (int slot = 0; slot < 2; ++slot) {
            s.granules[slot][1].block_type = 2;  // short against long: summed after the IMDCT
            s.granules[slot][1].window_switching_flag = 1;
        }
        return d;
    };
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    for (const SimdPath path : {SimdPath::kGeneric, SimdPath::kSse2, SimdPath::kAvx2}) {
        if (!SimdPathAvailable(path)) continue;
        SCOPED_TRACE(SimdPathName(path));
        DecoderPtr mixed = setUp(path), alone = setUp(path);
        // Granule 0: the first channel silent, the second sounding in 20 subbands; granule 1:
        // both silent.
        for (int i = 0; i < 360; ++i)
            mixed->spectrum[1][0][i] = alone->spectrum[1][0][i] = value(random);
        for (int slot = 0; slot < 2; ++slot) {
            mixed->layer3.nonzeroCount[slot][1] = alone->layer3.nonzeroCount[slot][1] =
                slot == 0 ? 360 : 0;
            kHybridRoutines[2](*mixed, nullptr, slot);
            TransformChannel(*alone, slot, 1);
        }
        int sounding = 0;
        for (int t = 0; t < 18; ++t)
            for (int sb = 0; sb < 32; ++sb) {
                ASSERT_EQ(mixed->layer3.subbandSamples[t][sb], alone->layer3.subbandSamples[t][sb])
                    << t << ", " << sb;
                sounding += alone->layer3.subbandSamples[t][sb] != 0.0f;
            }
        EXPECT_EQ(sounding, 20 * 12);  // a short block overlaps in 12 of its 18 outputs
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

}  // namespace
}  // namespace mpeg
