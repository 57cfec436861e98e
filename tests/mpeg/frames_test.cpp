// The decoder's front end: header parsing, stream information, set-up, frame decoding and the
// sync search, with their refusals and error codes.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame_writer.h"

namespace mpeg {
namespace {

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
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

}  // namespace
}  // namespace mpeg
