// The decoder's front end (header parsing, stream information, set-up, frame decoding, sync
// search, with their refusals and error codes) and Layer I/II decoding of frames built field by
// field: joint stereo sharing, forbidden allocations, the subband limit, bit-rate switches,
// over-allocated frames.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decoder.h"
#include "mpeg_decoder.h"

namespace mpeg {
namespace {

using Bytes = std::vector<uint8_t>;

// Builds a frame field by field, most significant bit first, as the decoder reads them.
class FrameWriter {
public:
    explicit FrameWriter(const Bytes& header) {
        for (uint8_t b : header) Put(b, 8);
    }
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i, ++count_) {
            if (count_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (count_ % 8));
        }
    }
    int BitCount() const { return count_; }
    Bytes Finish(size_t length) const {  // zero-filled or cut to `length` bytes
        Bytes frame = bytes_;
        frame.resize(length, 0);
        return frame;
    }

private:
    Bytes bytes_;
    int count_ = 0;
};

// A frame of `size` bytes: the header, then zeros.
Bytes Frame(const Bytes& header, size_t size = 1500) {
    return FrameWriter(header).Finish(size);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

DecoderPtr NewDecoder(const DecoderOptions& options = {}) {
    DecoderPtr d = CreateDecoder();
    InitDecoderTables(*d);
    SetDecoderOptions(*d, options);
    return d;
}

int32_t Decode(Decoder& d, const uint8_t* in, int32_t inLength, Bytes& out, FrameJob& job) {
    job.input = in;
    job.inputLength = inLength;
    job.output = out.data();
    job.outputLength = int32_t(out.size());
    return DecodeFrame(d, job);
}

TEST(FrameHeader, ParsesOrRefusesWithItsErrorCode) {
    struct Case {
        Bytes header;
        int32_t error, version, layer, crc;  // error 0: accepted
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 0, 1, 3, 0},
        {{0xFF, 0xF3, 0x90, 0x00}, 0, 2, 3, 0},
        {{0xFF, 0xFD, 0x90, 0x00}, 0, 1, 2, 0},
        {{0xFF, 0xE2, 0x90, 0x00}, 0, 3, 3, 1},
        // The version bit set under the 0xE sync nibble is still MPEG-2.5.
        {{0xFF, 0xEB, 0x90, 0x00}, 0, 3, 3, 0},
        {{0xFF, 0xEF, 0x90, 0x00}, 0, 3, 1, 0},
        {{0xFF, 0xE9, 0x90, 0x00}, kErrorInvalidHeader, 3, 0, 0},  // layer bits 0
        {{0xFF, 0xFB, 0x00, 0x00}, kErrorInvalidHeader, 1, 0, 0},  // free format
        {{0xFF, 0xFB, 0xF0, 0x00}, kErrorInvalidHeader, 1, 0, 0},  // bit-rate index 15
        {{0xFF, 0xFB, 0x9C, 0x00}, kErrorInvalidHeader, 1, 0, 0},  // sample-rate index 3
        {{0xFE, 0xFB, 0x90, 0x00}, kErrorNoSync, -1, -1, -1},
        {{0xFF, 0xDB, 0x90, 0x00}, kErrorNoSync, -1, -1, -1},
    };
    DecoderPtr d = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header));
        FrameHeader h;
        EXPECT_EQ(ParseHeader(*d, c.header.data(), h), c.error == 0 ? 1 : 0);
        if (c.error != 0) {
            EXPECT_EQ(LastDecoderError(*d), c.error);
        }
        if (c.version >= 0) {
            EXPECT_EQ(std::vector<int32_t>({h.version, h.layer, h.crcPresent}),
                      std::vector<int32_t>({c.version, c.layer, c.crc}));
        }
        StreamInfo info;
        const Bytes frame = Frame(c.header);
        EXPECT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1), c.error == 0);
        EXPECT_EQ(LastDecoderError(*d), c.error == 0 ? kErrorNone : c.error);
    }
    const Bytes frame = Frame({0xFF, 0xFB, 0x90, 0x00});
    StreamInfo info;
    EXPECT_EQ(ParseFrameInfo(*d, frame.data(), 155, info, 1), 0);
    EXPECT_EQ(LastDecoderError(*d), kErrorTooFewBytes);
}

// A VBR header sits right after the side information; a "Xing" header needs its frames or bytes
// flag. A VBR frame reports no bit rate but a frame length.
TEST(StreamInfo, VbrHeaders) {
    struct Case {
        Bytes header;
        const char* tag;
        int offset;
        uint32_t flags;
        bool vbr;  // else an ordinary frame; Xing without flags 1 or 2 is refused
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, "Xing", 36, 1, true},  // MPEG-1 Layer III stereo
        {{0xFF, 0xFB, 0x90, 0x00}, "Xing", 36, 0x102, true},
        {{0xFF, 0xFB, 0x90, 0x00}, "Xing", 36, 0, false},
        {{0xFF, 0xFB, 0x90, 0x00}, "VBRI", 36, 0, true},
        {{0xFF, 0xFB, 0x90, 0x00}, "VBRI", 37, 0, false},
        {{0xFF, 0xFA, 0x90, 0x00}, "VBRI", 38, 0, true},  // with CRC
        {{0xFF, 0xFB, 0x90, 0xC0}, "VBRI", 21, 0, true},  // mono
        {{0xFF, 0xE3, 0x80, 0xC0}, "VBRI", 13, 0, true},  // MPEG-2.5 mono
        {{0xFF, 0xFC, 0x90, 0x00}, "VBRI", 6, 0, true},   // Layer II with CRC
    };
    DecoderPtr d = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header) + c.tag + " at " +
                     std::to_string(c.offset));
        Bytes frame = Frame(c.header);
        uint8_t* p = frame.data() + c.offset;
        const bool xing = c.tag[0] == 'X';
        std::memcpy(p, c.tag, 4);
        PutU32(p + 4, c.flags);
        PutU32(p + (xing ? 8 : 14), 0x321);     // frames, read whatever the flags say
        PutU32(p + (xing ? 12 : 10), 0xABCDE);  // bytes
        StreamInfo info;
        const int32_t ok = ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1);
        ASSERT_EQ(ok, !xing || c.vbr);
        if (!ok) {
            EXPECT_EQ(LastDecoderError(*d), kErrorInvalidHeader);
            continue;
        }
        EXPECT_EQ(info.totalFrames, c.vbr ? 0x321 : 0);
        EXPECT_EQ(info.totalBytes, c.vbr ? 0xABCDE : 0);
        EXPECT_EQ(info.bitrate == 0, c.vbr);
        EXPECT_EQ(info.frameLength > 0, c.vbr);
        EXPECT_TRUE(!c.vbr || !xing || info.frameLength == 417) << info.frameLength;
    }
}

TEST(StreamInfo, OutputSizeFollowsLayerVersionAndOptions) {
    struct Case {
        Bytes header;
        DecoderOptions options;
        int32_t bytes, channels, bits, rate;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, {}, 4608, 2, 16, 44100},  // MPEG-1 Layer III
        {{0xFF, 0xFF, 0x90, 0x00}, {}, 1536, 2, 16, 44100},  // Layer I
        {{0xFF, 0xFB, 0x90, 0x00}, {0, kOutputFlag8Bit, 24000}, 2304, 2, 8, 44100},
        {{0xFF, 0xFB, 0x90, 0x00}, {0, kChannelsMix, 24000}, 2304, 1, 16, 44100},
        {{0xFF, 0xFF, 0x90, 0x00}, {2, 0, 24000}, 384, 2, 16, 11025},
        {{0xFF, 0xFD, 0x90, 0xC0}, {2, kOutputFlag8Bit, 24000}, 288, 1, 8, 11025},
        {{0xFF, 0xE3, 0x80, 0x00}, {1, 0, 24000}, 1152, 2, 16, 5512},  // MPEG-2.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header) + " shift " +
                     std::to_string(c.options.downSamplingShift) + " flags " +
                     std::to_string(c.options.outputFlags));
        DecoderPtr d = NewDecoder(c.options);
        const Bytes frame = Frame(c.header);
        StreamInfo info;
        ASSERT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1), 1);
        EXPECT_EQ(std::vector<int32_t>({info.outputBytesPerFrame, info.outputChannels,
                                        info.outputBits, info.sampleRate}),
                  std::vector<int32_t>({c.bytes, c.channels, c.bits, c.rate}));
        EXPECT_EQ(PublishedOutputBytesPerFrame(*d), c.bytes);
    }
}

TEST(DecodeFrame, Refusals) {
    DecoderPtr d = NewDecoder();
    const Bytes frame = Frame({0xFF, 0xFD, 0x90, 0x00});  // Layer II: 522 bytes, 4608 of PCM
    Bytes out(9000, 0x55);
    FrameJob job;
    EXPECT_EQ(Decode(*d, frame.data(), 522, out, job), 0);  // nothing set up yet
    EXPECT_EQ(LastDecoderError(*d), kErrorUnsupported);
    ASSERT_EQ(SetUpStream(*d, frame.data(), int32_t(frame.size())), 1);
    struct Case {
        int32_t inputLength, outputLength, result;
    };
    for (const Case& c : {Case{4, 4608, 0}, Case{521, 4608, 0}, Case{522, 4607, 0},
                          Case{522, 4608, 1}, Case{1500, 9000, 1}}) {
        SCOPED_TRACE(std::to_string(c.inputLength) + " in, " + std::to_string(c.outputLength));
        out.resize(size_t(c.outputLength));
        ASSERT_EQ(Decode(*d, frame.data(), c.inputLength, out, job), c.result);
        if (c.result == 0) {
            EXPECT_EQ(LastDecoderError(*d), kErrorTooFewBytes);
        } else {
            EXPECT_EQ(std::vector<int32_t>({job.inputLength, job.outputLength, job.bitrate}),
                      std::vector<int32_t>({522, 4608, 160000}));
        }
    }
    // Layer II with no allocation table (mono at 192 kbit/s, stereo at 32 kbit/s) is refused,
    // and the stream set up before does not lend it its tables.
    for (const Bytes& header : {Bytes{0xFF, 0xFD, 0xB0, 0xC0}, Bytes{0xFF, 0xFD, 0x10, 0x00}}) {
        SCOPED_TRACE(::testing::PrintToString(header));
        const Bytes refused = Frame(header);
        EXPECT_EQ(SetUpStream(*d, refused.data(), int32_t(refused.size())), 0);
        EXPECT_EQ(LastDecoderError(*d), kErrorUnsupported);
        std::fill(out.begin(), out.end(), 0x55);
        EXPECT_EQ(Decode(*d, refused.data(), int32_t(refused.size()), out, job), 0);
        EXPECT_EQ(LastDecoderError(*d), kErrorUnsupported);
        EXPECT_EQ(out, Bytes(out.size(), 0x55));
    }
}

// Layer I frames whose last sample ends on their last bit, each in a heap block of exactly its
// size: the sanitizer build fails if decoding reads a byte beyond the frame. Over twenty frames
// with their samples spread differently, a refill for the last sample happens for sure.
TEST(DecodeFrame, ReadsAFrameEndingAtTheEndOfItsInputSafely) {
    std::mt19937 random(7);
    for (int variant = 0; variant < 20; ++variant) {
        SCOPED_TRACE(variant);
        // 448 kbit/s, 44100 Hz, CRC, mono: 484 bytes, filled by sample widths adding up to 292.
        int bits[32];
        std::fill(bits, bits + 32, 9);
        for (int extra = 0; extra < 4; ++extra) ++bits[random() % 32];
        for (int step = 0; step < 100; ++step) {
            const int from = int(random() % 32), to = int(random() % 32);
            if (bits[from] > 2 && bits[to] < 15) --bits[from], ++bits[to];
        }
        FrameWriter w({0xFF, 0xFE, 0xE0, 0xC0});
        w.Put(0, 16);  // CRC, not checked
        for (int sb = 0; sb < 32; ++sb) w.Put(uint32_t(bits[sb] - 1), 4);
        for (int sb = 0; sb < 32; ++sb) w.Put(30, 6);
        for (int t = 0; t < 12; ++t)
            for (int sb = 0; sb < 32; ++sb)
                w.Put(uint32_t(random() % ((1u << bits[sb]) - 1)), bits[sb]);
        ASSERT_EQ(w.BitCount(), 484 * 8);
        const Bytes input = w.Finish(484);  // capacity == size
        DecoderPtr d = NewDecoder();
        ASSERT_EQ(SetUpStream(*d, input.data(), int32_t(input.size())), 1);
        Bytes out(768);
        FrameJob job;
        ASSERT_EQ(Decode(*d, input.data(), 484, out, job), 1);
        EXPECT_EQ(job.outputLength, 768);
        EXPECT_NE(out, Bytes(768, 0));  // decoded, not silenced
    }
}

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

// A frame whose allocation needs far more bits than it has is played as silence. The bytes after
// it are poisoned in the sanitizer build (enough of them that the decoder reads the input in
// place), so reading any sample bits would fail the test.
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
