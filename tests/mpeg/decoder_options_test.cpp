// Every decoder option checked against what the plain full-rate, 16-bit, two-channel output of
// the same stream implies: one channel is that channel, 8-bit output is the top byte of the
// 16-bit output, the Layer III mix is the sum of the channels and the Layer I/II mix their
// average, and half and quarter rate give the same low-frequency signal with fewer samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

struct Source {
    const char* name;
    const char* path;  // from the repository root, or from the conformance folder
    bool conformance;
};

// Full paths of the sources, or empty when a conformance vector is missing (the caller skips
// or fails as the conformance tests do).
std::string PathOf(const Source& source) {
    if (!source.conformance) return RepoPath(source.path);
    const std::string dir = ConformanceDir();
    return dir.empty() ? std::string() : dir + "/" + source.path;
}

struct Channels {
    std::vector<int16_t> left, right;
};

Channels Split(const std::vector<int16_t>& interleaved) {
    Channels c;
    for (size_t i = 0; i + 1 < interleaved.size(); i += 2) {
        c.left.push_back(interleaved[i]);
        c.right.push_back(interleaved[i + 1]);
    }
    return c;
}

std::vector<uint8_t> ToEightBit(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    for (int16_t s : samples) out.push_back(uint8_t(((s >> 8) & 0xFF) ^ 0x80));
    return out;
}

DecodedStream Decode(const std::string& path, int32_t shift, int32_t flags) {
    DecodedStream d = DecodeFile(path, {shift, flags, 24000});
    EXPECT_TRUE(d.setUp) << "refused with error " << d.error;
    EXPECT_EQ(d.framesDecoded, d.frames);
    return d;
}

// Largest |a[i] - b[i]| over the common length, both lengths required equal.
int MaxError(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

#define ZIRVAK_SOURCE_OR_SKIP(source, path)                                                  \
    const std::string path = PathOf(source);                                                 \
    if (path.empty()) {                                                                      \
        if (ConformanceRequired()) FAIL() << "conformance vector required: " << source.path; \
        std::printf("skipping %s: conformance vectors not found\n", source.name);            \
        continue;                                                                            \
    }

// Two-channel streams of every layer.
const Source kStereoSources[] = {
    {"Layer III, MPEG-1 stereo", "tests/fixtures/mp3/mpeg1_44100_stereo_cbr128.mp3", false},
    {"Layer III, MPEG-2 joint", "tests/fixtures/mp3/mpeg2_24000_joint_vbr.mp3", false},
    {"Layer III, MPEG-2.5 joint", "tests/fixtures/mp3/mpeg25_11025_joint_cbr32.mp3", false},
    {"Layer II, MPEG-1 stereo", "l2-fl10.bit", true},
    {"Layer I, MPEG-1 stereo", "l1-fl1.bit", true},
};

TEST(DecoderOptions, ChannelOptionsFollowTheTwoChannelOutput) {
    for (const Source& source : kStereoSources) {
        SCOPED_TRACE(source.name);
        ZIRVAK_SOURCE_OR_SKIP(source, path);
        for (int32_t shift = 0; shift <= 2; ++shift) {
            SCOPED_TRACE("shift " + std::to_string(shift));
            const DecodedStream full = Decode(path, shift, mpeg::kChannelsBoth);
            ASSERT_EQ(full.info.outputChannels, 2);
            const Channels both = Split(AsSamples(full.pcm));
            const bool layer3 = full.info.layer == 3;

            const auto one = [&](int32_t option) {
                const DecodedStream d = Decode(path, shift, option);
                EXPECT_EQ(d.info.outputChannels, 1);
                return AsSamples(d.pcm);
            };
            EXPECT_EQ(one(mpeg::kChannelsLeft), both.left);
            EXPECT_EQ(one(mpeg::kChannelsRight), both.right);
            EXPECT_NE(both.left, both.right);  // else the two checks above prove little

            // Layer III adds the two spectra, Layers I and II average the subband samples:
            // exact up to the truncation of each channel's output and float rounding.
            std::vector<int16_t> expected(both.left.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                const int sum = int(both.left[i]) + int(both.right[i]);
                expected[i] = int16_t(layer3 ? std::clamp(sum, -32768, 32767) : sum / 2);
            }
            EXPECT_LE(MaxError(one(mpeg::kChannelsMix), expected), layer3 ? 2 : 1);
        }
    }
}

TEST(DecoderOptions, EightBitOutputIsTheTopByteOfSixteenBitOutput) {
    // Every combination of rate and channel option: the 8-bit output is derived from the 16-bit
    // output of the same options, sample for sample (and that, by the test above, from the
    // two-channel output at its rate).
    for (const Source& source : kStereoSources) {
        SCOPED_TRACE(source.name);
        ZIRVAK_SOURCE_OR_SKIP(source, path);
        for (int32_t shift = 0; shift <= 2; ++shift) {
            for (int32_t channels = 0; channels <= 3; ++channels) {
                SCOPED_TRACE("shift " + std::to_string(shift) + ", channels " +
                             std::to_string(channels));
                const DecodedStream wide = Decode(path, shift, channels);
                const DecodedStream narrow = Decode(path, shift, channels | mpeg::kOutputFlag8Bit);
                EXPECT_EQ(narrow.info.outputBits, 8);
                EXPECT_EQ(narrow.pcm, ToEightBit(AsSamples(wide.pcm)));
            }
        }
    }
}

TEST(DecoderOptions, OneChannelStreamsIgnoreTheChannelOption) {
    const std::string path = RepoPath("tests/fixtures/mp3/mpeg1_32000_mono_cbr64.mp3");
    const std::vector<uint8_t> plain = Decode(path, 0, mpeg::kChannelsBoth).pcm;
    for (int32_t channels : {mpeg::kChannelsMix, mpeg::kChannelsLeft, mpeg::kChannelsRight}) {
        SCOPED_TRACE(channels);
        EXPECT_EQ(Decode(path, 0, channels).pcm, plain);
    }
}

// Signal-to-error ratio in dB of `reduced` against every `step`-th sample of `full`, starting
// `delay` full-rate samples in, per channel of `channels`, over the samples in [skip, end).
double DecimationSnr(const std::vector<int16_t>& full, const std::vector<int16_t>& reduced,
                     int channels, int step, int delay, size_t skip) {
    double signal = 0, error = 0;
    const size_t frames = reduced.size() / size_t(channels);
    for (size_t n = skip; n < frames; ++n) {
        const long at = long(n) * step + delay;
        if (at < 0 || size_t(at) * size_t(channels) >= full.size()) continue;
        for (int c = 0; c < channels; ++c) {
            const double want = full[size_t(at) * size_t(channels) + size_t(c)];
            const double got = reduced[n * size_t(channels) + size_t(c)];
            signal += want * want;
            error += (got - want) * (got - want);
        }
    }
    return 10 * std::log10(signal / std::max(error, 1e-9));
}

// Material below 5 kHz only, the band that survives quarter-rate decoding at 44.1 kHz, so plain
// decimation of the full-rate output is a fair reference. Measured: 76 to 96 dB. With a window
// row off by one it is 39 to 47 dB; with a wrong ring step, the middle tap or a subband lost (the
// tones fixture has one in each of subbands 0-7), 12 dB or less.
constexpr double kMinDecimationSnrDb = 60;

const Source kRateSources[] = {
    {"Layer III, tones in subbands 0-7", "tests/fixtures/mp3/mpeg1_44100_stereo_cbr160_tones.mp3",
     false},
    {"Layer II, chord and kick drum", "res/sample.mp2", false},
    {"Layer II, MPEG-1 stereo", "l2-fl14.bit", true},
    {"Layer I, MPEG-1 stereo", "l1-fl5.bit", true},
};

TEST(DecoderOptions, ReducedRatesMatchTheDecimatedFullRateOutput) {
    for (const Source& source : kRateSources) {
        SCOPED_TRACE(source.name);
        ZIRVAK_SOURCE_OR_SKIP(source, path);
        const DecodedStream full = Decode(path, 0, 0);
        const std::vector<int16_t> fullSamples = AsSamples(full.pcm);
        const int channels = full.info.outputChannels;
        for (int32_t shift = 1; shift <= 2; ++shift) {
            const DecodedStream reduced = Decode(path, shift, 0);
            EXPECT_EQ(reduced.pcm.size() << shift, full.pcm.size());
            EXPECT_EQ(reduced.info.sampleRate, full.info.sampleRate >> shift);
            const std::vector<int16_t> samples = AsSamples(reduced.pcm);
            // The best alignment, searched over a few full-rate samples either way: the filter
            // bank's delay is the same at every rate, so it should be none.
            const int step = 1 << shift;
            const size_t skip = size_t(2048 >> shift);  // past the first frames' ramp
            double best = -1e9;
            int bestDelay = 0;
            for (int delay = -8; delay <= 8; ++delay) {
                const double snr = DecimationSnr(fullSamples, samples, channels, step, delay, skip);
                if (snr > best) best = snr, bestDelay = delay;
            }
            std::printf("%-34s rate/%d: delay %+d, %.1f dB\n", source.name, step, bestDelay, best);
            EXPECT_EQ(bestDelay, 0);
            EXPECT_GE(best, kMinDecimationSnrDb);
        }
    }
}

}  // namespace
}  // namespace zirvak::test
