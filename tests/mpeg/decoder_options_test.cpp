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

// A stream by its path from the repository root, or (ending in .bit) from the conformance
// folder. Returns false when the decode should be skipped: a conformance vector is missing and
// not required (when required, the test fails).
bool PathOf(const std::string& source, std::string& path) {
    if (source.ends_with(".mp3") || source.ends_with(".mp2")) return path = RepoPath(source), true;
    const std::string dir = ConformanceDir();
    if (dir.empty()) {
        if (ConformanceRequired()) ADD_FAILURE() << "conformance vector required: " << source;
        std::printf("skipping %s: conformance vectors not found\n", source.c_str());
        return false;
    }
    return path = dir + "/" + source, true;
}

std::vector<int16_t> Decode(const std::string& path, int32_t shift, int32_t flags,
                            mpeg::StreamInfo* info = nullptr) {
    const DecodedStream d = DecodeFile(path, {shift, flags, 24000});
    EXPECT_TRUE(d.setUp) << "refused with error " << d.error;
    EXPECT_EQ(d.framesDecoded, d.frames);
    if (info) *info = d.info;
    if (flags & mpeg::kOutputFlag8Bit) return std::vector<int16_t>(d.pcm.begin(), d.pcm.end());
    return AsSamples(d.pcm);
}

TEST(DecoderOptions, ChannelAndEightBitOptionsFollowTheTwoChannelOutput) {
    for (const char* source :
         {"tests/fixtures/mp3/mpeg1_44100_stereo_cbr128.mp3",
          "tests/fixtures/mp3/mpeg2_24000_joint_vbr.mp3",
          "tests/fixtures/mp3/mpeg25_11025_joint_cbr32.mp3", "l2-fl10.bit", "l1-fl1.bit"}) {
        std::string path;
        if (!PathOf(source, path)) continue;
        for (int32_t shift = 0; shift <= 2; ++shift) {
            SCOPED_TRACE(std::string(source) + ", shift " + std::to_string(shift));
            mpeg::StreamInfo info;
            const std::vector<int16_t> both = Decode(path, shift, mpeg::kChannelsBoth, &info);
            std::vector<int16_t> left, right, mix;
            for (size_t i = 0; i + 1 < both.size(); i += 2) {
                left.push_back(both[i]);
                right.push_back(both[i + 1]);
                // Layer III adds the two spectra, Layers I and II average the subband samples.
                const int sum = int(both[i]) + int(both[i + 1]);
                mix.push_back(int16_t(info.layer == 3 ? std::clamp(sum, -32768, 32767) : sum / 2));
            }
            EXPECT_EQ(Decode(path, shift, mpeg::kChannelsLeft), left);
            EXPECT_EQ(Decode(path, shift, mpeg::kChannelsRight), right);
            EXPECT_NE(left, right);  // else the two checks above prove little
            // Exact up to the truncation of each channel's output and float rounding.
            const std::vector<int16_t> mixed = Decode(path, shift, mpeg::kChannelsMix);
            ASSERT_EQ(mixed.size(), mix.size());
            int worst = 0;
            for (size_t i = 0; i < mix.size(); ++i)
                worst = std::max(worst, std::abs(mixed[i] - mix[i]));
            EXPECT_LE(worst, info.layer == 3 ? 2 : 1);
            for (int32_t channels = 0; channels <= 3; ++channels) {  // 8 bits: the top byte
                std::vector<int16_t> top = Decode(path, shift, channels);
                for (int16_t& s : top) s = int16_t(((s >> 8) & 0xFF) ^ 0x80);
                EXPECT_EQ(Decode(path, shift, channels | mpeg::kOutputFlag8Bit), top) << channels;
            }
        }
    }
}

// Material below 5 kHz only, the band that survives quarter-rate decoding at 44.1 kHz, so plain
// decimation of the full-rate output is a fair reference. Measured: 76 to 96 dB. With a window
// row off by one it is 39 to 47 dB; with a wrong ring step, the middle tap or a subband lost
// (the tones fixture has one in each of subbands 0-7), 12 dB or less.
TEST(DecoderOptions, ReducedRatesMatchTheDecimatedFullRateOutput) {
    for (const char* source : {"tests/fixtures/mp3/mpeg1_44100_stereo_cbr160_tones.mp3",
                               "res/sample.mp2", "l2-fl14.bit", "l1-fl5.bit"}) {
        std::string path;
        if (!PathOf(source, path)) continue;
        mpeg::StreamInfo info;
        const std::vector<int16_t> full = Decode(path, 0, 0, &info);
        const size_t channels = size_t(info.outputChannels);
        for (int32_t shift = 1; shift <= 2; ++shift) {
            SCOPED_TRACE(std::string(source) + ", shift " + std::to_string(shift));
            mpeg::StreamInfo reducedInfo;
            const std::vector<int16_t> reduced = Decode(path, shift, 0, &reducedInfo);
            EXPECT_EQ(reduced.size() << shift, full.size());
            EXPECT_EQ(reducedInfo.sampleRate, info.sampleRate >> shift);
            // The best alignment, searched a few full-rate samples either way: the filter bank's
            // delay is the same at every rate, so it should be none. Past the first frames' ramp.
            double best = -1e9;
            int bestDelay = 0;
            for (int delay = -8; delay <= 8; ++delay) {
                double signal = 0, error = 0;
                for (size_t n = size_t(2048 >> shift); n < reduced.size() / channels; ++n) {
                    const long at = (long(n) << shift) + delay;
                    if (at < 0 || size_t(at) * channels >= full.size()) continue;
                    for (size_t c = 0; c < channels; ++c) {
                        const double want = full[size_t(at) * channels + c];
                        signal += want * want;
                        error += std::pow(reduced[n * channels + c] - want, 2);
                    }
                }
                const double snr = 10 * std::log10(signal / std::max(error, 1e-9));
                if (snr > best) best = snr, bestDelay = delay;
            }
            std::printf("%-56s rate/%d: delay %+d, %.1f dB\n", source, 1 << shift, bestDelay, best);
            EXPECT_EQ(bestDelay, 0);
            EXPECT_GE(best, 60);
        }
    }
}

}  // namespace
}  // namespace zirvak::test
