// Layer I and II decoding of frames built field by field: joint stereo sharing, forbidden
// allocations, the subband limit, bit-rate switches, over-allocated frames.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "frame_writer.h"

namespace mpeg {
namespace {

const float* Slot(const Decoder& d, int t) {
    return &d.spectrum[0][0][0] + 64 * t;
}

DecoderPtr DecodeOne(const Bytes& input, const DecoderOptions& options = {}) {
    DecoderPtr d = NewDecoder(options);
    EXPECT_EQ(SetUpStream(*d, input.data(), int32_t(input.size())), 1);
    Bytes out(4608);
    FrameJob job;
    EXPECT_EQ(Decode(*d, input.data(), int32_t(input.size()), out, job), 1);
    return d;
}

// A joint-stereo Layer I frame (44100 Hz, 448 kbit/s: 484 bytes) with bound 4: each channel its
// own allocation below it and its own scale factor everywhere; one silent shared subband and
// one with the forbidden allocation 15. Every sample of every slot must come out as coded, with
// the subbands above the frequency limit left silent and subband 31 decoded at full rate.
TEST(Layer1, JointStereoForbiddenAllocationAndFrequencyLimit) {
    int allocation[32][2] = {{3, 5}, {0, 2}, {4, 0}, {14, 1}};
    for (int sb = 4; sb < 32; ++sb) allocation[sb][0] = 1 + sb % 4;
    allocation[9][0] = 0;
    allocation[17][0] = 15;
    auto alloc = [&](int sb, int ch) { return allocation[sb][sb < 4 ? ch : 0]; };
    auto coded = [&](int sb, int ch) { return alloc(sb, ch) != 0 && alloc(sb, ch) != 15; };
    auto code = [&](int t, int sb, int ch) {
        return uint32_t((5 * t + 3 * sb + 7 * (sb < 4 ? ch : 0)) % ((2 << alloc(sb, ch)) - 1));
    };
    FrameWriter w({0xFF, 0xFF, 0xE0, 0x40});
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < (sb < 4 ? 2 : 1); ++ch) w.Put(uint32_t(allocation[sb][ch]), 4);
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < 2; ++ch)
            if (coded(sb, ch)) w.Put(uint32_t(sb + 20 * ch), 6);
    for (int t = 0; t < 12; ++t)
        for (int sb = 0; sb < 32; ++sb)
            for (int ch = 0; ch < (sb < 4 ? 2 : 1); ++ch)
                if (coded(sb, ch)) w.Put(code(t, sb, ch), alloc(sb, ch) + 1);
    ASSERT_LE(w.BitCount(), 484 * 8);
    const Bytes frame = w.Finish(484);
    const DecoderConstants& c = Constants();
    for (int limitHz : {24000, 11025}) {
        SCOPED_TRACE(limitHz);
        const int limit = limitHz == 24000 ? 32 : 16;
        const DecoderPtr d = DecodeOne(frame, {0, 0, limitHz});
        for (int t = 0; t < 12; ++t)
            for (int sb = 0; sb < 32; ++sb)
                for (int ch = 0; ch < 2; ++ch) {
                    const int a = alloc(sb, ch);
                    const float expected =
                        sb >= limit || !coded(sb, ch)
                            ? 0.0f
                            : float(int(code(t, sb, ch)) - ((1 << a) - 1)) *
                                  (c.layer1StepFactor[a] * c.scaleFactorTable[sb + 20 * ch]);
                    ASSERT_EQ(Slot(*d, t)[2 * sb + ch], expected)
                        << "slot " << t << " subband " << sb << " channel " << ch;
                }
        if (limit == 32) {
            EXPECT_NE(Slot(*d, 1)[62], 0.0f);  // subband 31
        }
    }
}

// Layer II at 160 kbit/s and 44100 Hz (table 0, 27 subbands, 522 bytes), joint stereo with
// bound 4, every subband allocated, scale-factor selection cycling through 0..3.
Bytes JointStereoLayer2Frame() {
    std::mt19937 random(3);
    FrameWriter w({0xFF, 0xFD, 0x90, 0x40});
    for (int sb = 0; sb < 27; ++sb)
        for (int ch = 0; ch < (sb < 4 ? 2 : 1); ++ch)
            w.Put(uint32_t(1 + sb % 2), sb < 11 ? 4 : sb < 23 ? 3 : 2);
    constexpr int kScaleFactors[4] = {3, 2, 1, 2};
    for (int e = 0; e < 54; ++e) w.Put(uint32_t(e % 4), 2);
    for (int e = 0; e < 54; ++e)
        for (int i = 0; i < kScaleFactors[e % 4]; ++i) w.Put(uint32_t(random() % 63), 6);
    while (w.BitCount() < 522 * 8) w.Put(uint32_t(random()), 8);
    return w.Finish(522);
}

// The subbands above the limit are skipped, the others stay in step.
TEST(Layer2, SkippedSubbandsLeaveTheOthersInStep) {
    const Bytes frame = JointStereoLayer2Frame();
    const DecoderPtr full = DecodeOne(frame);
    const DecoderPtr limited = DecodeOne(frame, {0, 0, 11025});
    ASSERT_EQ(limited->layer12.subbandLimit, 32);
    bool highSignal = false;
    for (int t = 0; t < 36; ++t)
        for (int e = 0; e < 54; ++e) {
            ASSERT_EQ(Slot(*limited, t)[e], e < 32 ? Slot(*full, t)[e] : 0.0f) << t << " " << e;
            highSignal |= e >= 32 && Slot(*full, t)[e] != 0.0f;
        }
    EXPECT_TRUE(highSignal);
}

// A stream may switch bit rates, and with them allocation tables: the 160 kbit/s frame (27
// subbands) after a 192 kbit/s one (30 subbands, each entry at class 1, random scale factors
// and samples) decodes as it does on its own, the three subbands it lacks silent.
TEST(Layer2, EachFrameTakesTheAllocationTableOfItsBitRate) {
    std::mt19937 random(5);
    FrameWriter w({0xFF, 0xFD, 0xA0, 0x00});
    for (int e = 0; e < 60; ++e) w.Put(1, e < 22 ? 4 : e < 46 ? 3 : 2);
    for (int e = 0; e < 60; ++e) w.Put(2, 2);
    while (w.BitCount() < 626 * 8) w.Put(uint32_t(random()), 8);
    Bytes stream = w.Finish(626);
    const Bytes second = JointStereoLayer2Frame();
    stream.insert(stream.end(), second.begin(), second.end());
    DecoderPtr d = NewDecoder();
    ASSERT_EQ(SetUpStream(*d, stream.data(), int32_t(stream.size())), 1);
    Bytes out(4608);
    FrameJob job;
    for (size_t at = 0; at < stream.size(); at += size_t(job.inputLength))
        ASSERT_EQ(Decode(*d, stream.data() + at, int32_t(stream.size() - at), out, job), 1);
    const DecoderPtr alone = DecodeOne(second);
    for (int t = 0; t < 36; ++t)
        for (int e = 0; e < 64; ++e) ASSERT_EQ(Slot(*d, t)[e], Slot(*alone, t)[e]) << t << " " << e;
}

// A frame whose allocation needs far more bits than it has is played as silence. The bytes after
// it are poisoned in the sanitizer build (enough of them that the decoder reads the input in
// place), so reading any sample bits would fail the test.
TEST(Layer12, OverAllocatedFrameIsSilencedWithoutReadingPastIt) {
    std::vector<int> layer2Widths;
    for (int sb = 0; sb < 27; ++sb)
        layer2Widths.insert(layer2Widths.end(), 2, sb < 11 ? 4 : sb < 23 ? 3 : 2);
    struct Case {
        Bytes header;
        int length;
        std::vector<int> widths;  // allocation fields, each set to its largest allowed value
        uint32_t maxCode;
    };
    std::mt19937 random(17);
    for (const Case& c : {Case{{0xFF, 0xFF, 0xE4, 0x00}, 448, std::vector<int>(64, 4), 14},
                          Case{{0xFF, 0xFD, 0xD4, 0x00}, 960, layer2Widths, 15}}) {
        SCOPED_TRACE(c.length);
        FrameWriter w(c.header);
        for (int width : c.widths) w.Put(std::min(c.maxCode, (1u << width) - 1), width);
        while (w.BitCount() < c.length * 8) w.Put(uint32_t(random()), 8);
        const Bytes input = w.Finish(size_t(c.length) + 600);
        DecoderPtr d = NewDecoder();
        ASSERT_EQ(SetUpStream(*d, input.data(), int32_t(input.size())), 1);
        Bytes out(4608, 0x55);
        FrameJob job;
        ASAN_POISON_MEMORY_REGION(input.data() + c.length, 600);
        const int32_t result = Decode(*d, input.data(), int32_t(input.size()), out, job);
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
