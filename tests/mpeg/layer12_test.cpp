// Layer I and Layer II frame decoding on frames built field by field: joint stereo sharing,
// forbidden allocations, the subband limit and the skipping of the subbands above it, and
// frames that claim more bits than they hold.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decoder.h"
#include "frame_writer.h"

namespace mpeg {
namespace {

using Bytes = std::vector<uint8_t>;
using zirvak::test::FrameWriter;

const float* Slot(const Decoder& d, int t) {
    return &d.spectrum[0][0][0] + 64 * t;
}

struct Decoded {
    DecoderPtr decoder;
    Bytes pcm;
};

Decoded DecodeOne(const Bytes& input, const DecoderOptions& options = {}) {
    Decoded out{CreateDecoder(), Bytes(4608, 0x55)};
    Decoder& d = *out.decoder;
    InitDecoderTables(d);
    SetDecoderOptions(d, options);
    EXPECT_EQ(SetUpStream(d, input.data(), int32_t(input.size())), 1);
    FrameJob job;
    job.input = input.data();
    job.inputLength = int32_t(input.size());
    job.output = out.pcm.data();
    job.outputLength = int32_t(out.pcm.size());
    EXPECT_EQ(DecodeFrame(d, job), 1);
    return out;
}

// A Layer I frame (44100 Hz, 448 kbit/s: 484 bytes) and the subband samples it must give.
struct Layer1Frame {
    std::string name;
    int mode = kModeStereo;
    int modeExtension = 0;
    int allocation[32][2] = {};  // a subband shared by both channels uses channel 0's
    int scale[32][2] = {};

    int Channels() const { return mode == kModeSingleChannel ? 1 : 2; }
    int Bound() const { return mode == kModeJointStereo ? 4 * (modeExtension + 1) : 32; }
    int CodedChannels(int sb) const { return sb < Bound() ? Channels() : 1; }
    int Allocation(int sb, int ch) const { return allocation[sb][sb < Bound() ? ch : 0]; }
    static bool Coded(int a) { return a != 0 && a != 15; }  // 15 is forbidden: no samples

    uint32_t Code(int t, int sb, int ch) const {
        const int a = Allocation(sb, ch);
        return uint32_t((5 * t + 3 * sb + 7 * (sb < Bound() ? ch : 0)) % ((2 << a) - 1));
    }

    float Expected(int t, int sb, int ch) const {
        const int a = Allocation(sb, ch);
        if (!Coded(a)) return 0.0f;
        const DecoderConstants& c = Constants();
        const float scaled = c.layer1StepFactor[a] * c.scaleFactorTable[scale[sb][ch]];
        return float(int(Code(t, sb, ch)) - ((1 << a) - 1)) * scaled;
    }

    Bytes Build() const {
        FrameWriter w({0xFF, 0xFF, 0xE0, uint8_t(mode << 6 | modeExtension << 4)});
        for (int sb = 0; sb < 32; ++sb)
            for (int ch = 0; ch < CodedChannels(sb); ++ch) w.Put(uint32_t(allocation[sb][ch]), 4);
        for (int sb = 0; sb < 32; ++sb)
            for (int ch = 0; ch < Channels(); ++ch)
                if (Coded(Allocation(sb, ch))) w.Put(uint32_t(scale[sb][ch]), 6);
        for (int t = 0; t < 12; ++t)
            for (int sb = 0; sb < 32; ++sb)
                for (int ch = 0; ch < CodedChannels(sb); ++ch)
                    if (Coded(Allocation(sb, ch))) w.Put(Code(t, sb, ch), Allocation(sb, ch) + 1);
        EXPECT_LE(w.BitCount(), 484 * 8) << name;
        return w.Finish(484);
    }
};

std::vector<Layer1Frame> Layer1Frames() {
    std::vector<Layer1Frame> frames;
    Layer1Frame joint{"joint stereo, bound 4", kModeJointStereo, 0};
    const int low[4][2] = {{3, 5}, {0, 2}, {4, 0}, {14, 1}};
    for (int sb = 0; sb < 32; ++sb) {
        joint.allocation[sb][0] = sb < 4 ? low[sb][0] : 1 + sb % 4;
        joint.allocation[sb][1] = sb < 4 ? low[sb][1] : 0;
        joint.scale[sb][0] = sb;
        joint.scale[sb][1] = sb + 20;  // each channel its own scale factor
    }
    joint.allocation[9][0] = 0;    // a silent shared subband
    joint.allocation[17][0] = 15;  // a forbidden one
    frames.push_back(joint);

    Layer1Frame stereo{"stereo, forbidden allocations", kModeStereo, 0};
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < 2; ++ch) {
            stereo.allocation[sb][ch] = sb % 5 == ch ? 15 : 1 + (sb + ch) % 3;
            stereo.scale[sb][ch] = 2 * sb + ch;
        }
    frames.push_back(stereo);

    Layer1Frame mono{"single channel", kModeSingleChannel, 0};
    for (int sb = 0; sb < 32; ++sb) {
        mono.allocation[sb][0] = 1 + sb % 6;
        mono.scale[sb][0] = 62 - sb;
    }
    frames.push_back(mono);
    return frames;
}

// Every sample of every slot, with the subbands from `limit` on left silent.
TEST(Layer1, DecodesEverySubbandAsCoded) {
    for (const Layer1Frame& f : Layer1Frames()) {
        for (int limitHz : {24000, 11025}) {
            SCOPED_TRACE(f.name + ", limit " + std::to_string(limitHz) + " Hz");
            const int limit = limitHz == 24000 ? 32 : 16;  // 35 capped at 32; 16.5
            const Decoded r = DecodeOne(f.Build(), {0, 0, limitHz});
            EXPECT_EQ(r.decoder->layer12.subbandLimit, limit * f.Channels());
            int nonZero = 0;
            for (int t = 0; t < 12; ++t)
                for (int sb = 0; sb < 32; ++sb)
                    for (int ch = 0; ch < f.Channels(); ++ch) {
                        const float expected = sb < limit ? f.Expected(t, sb, ch) : 0.0f;
                        const float actual = Slot(*r.decoder, t)[sb * f.Channels() + ch];
                        ASSERT_EQ(actual, expected)
                            << "slot " << t << " subband " << sb << " channel " << ch;
                        nonZero += actual != 0.0f;
                    }
            EXPECT_GT(nonZero, 12 * limit / 2);
            // Subband 31 is decoded at full rate: the reference streams carry signal there.
            if (limit == 32) {
                EXPECT_NE(Slot(*r.decoder, 1)[31 * f.Channels()], 0.0f);
            }
        }
    }
}

TEST(Layer12, SubbandLimitFollowsTableRateAndOptions) {
    struct Case {
        Bytes header;
        DecoderOptions options;
        int32_t entries, limit;
    };
    const Case cases[] = {
        {{0xFF, 0xFD, 0x90, 0x00}, {}, 54, 54},             // II, 44100 Hz, table 0
        {{0xFF, 0xFD, 0x90, 0x00}, {0, 0, 11025}, 54, 32},  // 16 subbands
        {{0xFF, 0xFD, 0x90, 0x00}, {1, 0, 24000}, 54, 30},  // half-rate cap 15
        {{0xFF, 0xFD, 0x90, 0x00}, {2, 0, 24000}, 54, 16},  // quarter-rate cap 8
        {{0xFF, 0xFD, 0x90, 0xC0}, {}, 30, 30},             // mono 160 kbit/s: table 1
        {{0xFF, 0xFD, 0x44, 0x00}, {}, 16, 16},             // 48000 Hz, 64 kbit/s: table 2
        {{0xFF, 0xFD, 0x48, 0x00}, {}, 24, 24},             // 32000 Hz, 64 kbit/s: table 3
        {{0xFF, 0xF5, 0x80, 0x00}, {}, 60, 60},             // MPEG-2: table 4
        {{0xFF, 0xF5, 0x80, 0x00}, {0, 0, 5000}, 60, 30},   // 14.5 -> 15 subbands
        {{0xFF, 0xFF, 0x90, 0x00}, {}, 64, 64},             // I: full rate caps at 32
        {{0xFF, 0xFF, 0x90, 0xC0}, {0, 0, 11025}, 32, 16},
        {{0xFF, 0xFF, 0x90, 0x00}, {1, 0, 24000}, 64, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header) + " limit " +
                     std::to_string(c.options.frequencyLimitHz) + " shift " +
                     std::to_string(c.options.downSamplingShift));
        Bytes frame(1800, 0);
        std::copy(c.header.begin(), c.header.end(), frame.begin());
        DecoderPtr d = CreateDecoder();
        SetDecoderOptions(*d, c.options);
        ASSERT_EQ(SetUpStream(*d, frame.data(), int32_t(frame.size())), 1);
        EXPECT_EQ(d->layer12.entryCount, c.entries);
        EXPECT_EQ(d->layer12.subbandLimit, c.limit);
    }
}

// Table 0 at 44100 Hz, 160 kbit/s, joint stereo with 4 subbands per channel; every subband
// allocated, scale-factor selection cycling through 0..3, random sample bits.
Bytes Layer2Frame(uint32_t seed) {
    std::mt19937 random(seed);
    FrameWriter w({0xFF, 0xFD, 0x90, 0x40});
    auto width = [](int sb) { return sb < 11 ? 4 : sb < 23 ? 3 : 2; };
    for (int sb = 0; sb < 27; ++sb)
        for (int ch = 0; ch < (sb < 4 ? 2 : 1); ++ch) w.Put(uint32_t(1 + sb % 2), width(sb));
    constexpr int kScaleFactors[4] = {3, 2, 1, 2};
    for (int e = 0; e < 54; ++e) w.Put(uint32_t(e % 4), 2);
    for (int e = 0; e < 54; ++e)
        for (int i = 0; i < kScaleFactors[e % 4]; ++i) w.Put(uint32_t(random() % 63), 6);
    while (w.BitCount() < 522 * 8) w.Put(uint32_t(random()), 8);
    return w.Finish(522);
}

TEST(Layer2, SkippedSubbandsLeaveTheOthersInStep) {
    const Bytes frame = Layer2Frame(3);
    const Decoded full = DecodeOne(frame);
    const Decoded limited = DecodeOne(frame, {0, 0, 11025});
    ASSERT_EQ(limited.decoder->layer12.subbandLimit, 32);
    bool highSignal = false, lowSignal = false;
    for (int t = 0; t < 36; ++t) {
        const float* a = Slot(*full.decoder, t);
        const float* b = Slot(*limited.decoder, t);
        for (int e = 0; e < 54; ++e) {
            if (e < 32) {
                ASSERT_EQ(b[e], a[e]) << "slot " << t << " entry " << e;
                lowSignal |= a[e] != 0.0f;
            } else {
                ASSERT_EQ(b[e], 0.0f) << "slot " << t << " entry " << e;
                highSignal |= a[e] != 0.0f;
            }
        }
        // Shared subbands: one sample, two scale factors.
        for (int e = 8; e < 54; e += 2)
            ASSERT_EQ(a[e] == 0.0f, a[e + 1] == 0.0f) << "slot " << t << " entry " << e;
    }
    EXPECT_TRUE(lowSignal);
    EXPECT_TRUE(highSignal);
}

// A frame whose allocation needs far more bits than it has is played as silence. The bytes
// after it are poisoned in the sanitizer build (and there are enough of them that the decoder
// reads the input in place), so reading any sample bits would fail the test.
TEST(Layer12, OverAllocatedFrameIsSilencedWithoutReadingPastIt) {
    struct Case {
        std::string name;
        Bytes header;
        int length;
        std::vector<int> widths;  // allocation field widths, all set to their largest value
        int32_t maxCode;
    };
    std::vector<int> layer2Widths;
    for (int sb = 0; sb < 27; ++sb)
        layer2Widths.insert(layer2Widths.end(), 2, sb < 11 ? 4 : sb < 23 ? 3 : 2);
    const Case cases[] = {
        {"Layer I", {0xFF, 0xFF, 0xE4, 0x00}, 448, std::vector<int>(64, 4), 14},
        {"Layer II", {0xFF, 0xFD, 0xD4, 0x00}, 960, layer2Widths, 15},
    };
    std::mt19937 random(17);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameWriter w(c.header);
        for (int width : c.widths) w.Put(uint32_t(std::min(c.maxCode, (1 << width) - 1)), width);
        while (w.BitCount() < c.length * 8) w.Put(uint32_t(random()), 8);
        Bytes input = w.Finish(c.length);
        input.resize(input.size() + 600, 0);

        DecoderPtr d = CreateDecoder();
        ASSERT_EQ(SetUpStream(*d, input.data(), int32_t(input.size())), 1);
        Bytes out(4608, 0x55);
        FrameJob job;
        job.input = input.data();
        job.inputLength = int32_t(input.size());
        job.output = out.data();
        job.outputLength = int32_t(out.size());
        ASAN_POISON_MEMORY_REGION(input.data() + c.length, 600);
        const int32_t result = DecodeFrame(*d, job);
        ASAN_UNPOISON_MEMORY_REGION(input.data() + c.length, 600);
        ASSERT_EQ(result, 1);
        EXPECT_EQ(job.inputLength, c.length);
        EXPECT_TRUE(std::all_of(out.begin(), out.begin() + job.outputLength,
                                [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(Slot(*d, 0), Slot(*d, 36), [](float v) { return v == 0.0f; }));
    }
}

}  // namespace
}  // namespace mpeg
