// The decoder's front end: header parsing, stream information, stream set-up, frame decoding
// and the sync search, with the refusals and their error codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame_writer.h"
#include "mpeg_decoder.h"

namespace mpeg {
namespace {

using Bytes = std::vector<uint8_t>;

// A frame of `size` bytes: the header, then zeros.
Bytes Frame(const Bytes& header, size_t size = 1500) {
    Bytes frame(size, 0);
    std::memcpy(frame.data(), header.data(), header.size());
    return frame;
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

TEST(FrameHeader, VersionComesFromTheSyncNibbleAndVersionBit) {
    DecoderPtr d = NewDecoder();
    // 0xE8..0xEF have the version bit set, yet the 0xE nibble makes them MPEG-2.5.
    for (int b1 = 0xE8; b1 <= 0xEF; ++b1) {
        const Bytes h = {0xFF, uint8_t(b1), 0x90, 0x00};
        FrameHeader header;
        const int32_t ok = ParseHeader(*d, h.data(), header);
        EXPECT_EQ(header.version, 3) << std::hex << b1;
        if ((b1 & 6) == 0) {
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(LastDecoderError(*d), kErrorInvalidHeader);
        } else {
            EXPECT_EQ(ok, 1);
            EXPECT_EQ(header.layer, 4 - ((b1 >> 1) & 3));
        }
    }
    struct Case {
        uint8_t b1;
        int32_t version, layer, crc;
    };
    for (const Case& c : {Case{0xFB, 1, 3, 0}, Case{0xFA, 1, 3, 1}, Case{0xF3, 2, 3, 0},
                          Case{0xE2, 3, 3, 1}, Case{0xFD, 1, 2, 0}, Case{0xF7, 2, 1, 0}}) {
        const Bytes h = {0xFF, c.b1, 0x90, 0x00};
        FrameHeader header;
        ASSERT_EQ(ParseHeader(*d, h.data(), header), 1) << std::hex << int(c.b1);
        EXPECT_EQ(header.version, c.version);
        EXPECT_EQ(header.layer, c.layer);
        EXPECT_EQ(header.crcPresent, c.crc);
    }
}

TEST(FrameHeader, RefusalsCarryTheirErrorCodes) {
    struct Case {
        Bytes header;
        int32_t error;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x00, 0x00}, kErrorInvalidHeader},  // free format
        {{0xFF, 0xFB, 0xF0, 0x00}, kErrorInvalidHeader},  // bit-rate index 15
        {{0xFF, 0xFB, 0x9C, 0x00}, kErrorInvalidHeader},  // sample-rate index 3
        {{0xFF, 0xF9, 0x90, 0x00}, kErrorInvalidHeader},  // layer bits 0
        {{0xFF, 0xE1, 0x90, 0x00}, kErrorInvalidHeader},  // layer bits 0, MPEG-2.5
        {{0xFE, 0xFB, 0x90, 0x00}, kErrorNoSync},        {{0x00, 0xFB, 0x90, 0x00}, kErrorNoSync},
        {{0xFF, 0xDB, 0x90, 0x00}, kErrorNoSync},        {{0xFF, 0x1B, 0x90, 0x00}, kErrorNoSync},
    };
    DecoderPtr d = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header));
        FrameHeader header;
        EXPECT_EQ(ParseHeader(*d, c.header.data(), header), 0);
        EXPECT_EQ(LastDecoderError(*d), c.error);
        StreamInfo info;
        const Bytes frame = Frame(c.header);
        EXPECT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1), 0);
        EXPECT_EQ(LastDecoderError(*d), c.error);
    }
}

TEST(FrameHeader, FieldsAreFilledEvenWhenRefused) {
    DecoderPtr d = NewDecoder();
    // Sync byte wrong (code 3), then sample-rate index 3 (code 4): same fields both times.
    for (const Bytes& h : {Bytes{0x00, 0xFB, 0x9F, 0x7D}, Bytes{0xFF, 0xFB, 0x9F, 0x7D}}) {
        FrameHeader f;
        EXPECT_EQ(ParseHeader(*d, h.data(), f), 0);
        const std::vector<int32_t> fields = {
            f.bitrateIndex,  f.sampleRateIndex, f.padding,      f.privateBit, f.mode,
            f.modeExtension, f.copyrightFlag,   f.originalFlag, f.emphasis};
        EXPECT_EQ(fields, (std::vector<int32_t>{9, 3, 1, 1, 1, 3, 1, 1, 1}));
    }
}

TEST(StreamInfo, RefusesFewerThan156Bytes) {
    DecoderPtr d = NewDecoder();
    const Bytes frame = Frame({0xFF, 0xFB, 0x90, 0x00});
    StreamInfo info;
    EXPECT_EQ(ParseFrameInfo(*d, frame.data(), 155, info, 1), 0);
    EXPECT_EQ(LastDecoderError(*d), kErrorTooFewBytes);
    EXPECT_EQ(ParseFrameInfo(*d, frame.data(), 156, info, 1), 1);
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo, no CRC: a VBR header sits at offset 36.
constexpr int kXingOffset = 36;

TEST(StreamInfo, XingNeedsTheFramesOrBytesFlag) {
    DecoderPtr d = NewDecoder();
    for (uint32_t flags : {1u, 2u, 3u, 0x0Fu, 0x105u, 0u, 4u, 8u, 12u}) {
        SCOPED_TRACE(flags);
        Bytes frame = Frame({0xFF, 0xFB, 0x90, 0x00});
        uint8_t* p = frame.data() + kXingOffset;
        std::memcpy(p, "Xing", 4);
        PutU32(p + 4, flags);
        PutU32(p + 8, 0x1234);  // read here whatever the flags say
        PutU32(p + 12, 0x56789);
        StreamInfo info;
        const int32_t ok = ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1);
        if ((flags & 3) == 0) {
            EXPECT_EQ(ok, 0);
            EXPECT_EQ(LastDecoderError(*d), kErrorInvalidHeader);
            continue;
        }
        ASSERT_EQ(ok, 1);
        EXPECT_EQ(info.totalFrames, 0x1234);
        EXPECT_EQ(info.totalBytes, 0x56789);
        EXPECT_EQ(info.bitrate, 0);
        EXPECT_EQ(info.frameLength, 417);
        EXPECT_EQ(info.minFrameLength, 104);   // 32 kbit/s
        EXPECT_EQ(info.maxFrameLength, 1045);  // 320 kbit/s plus the padding slot
    }
}

TEST(StreamInfo, VbrHeadersAreLookedForAfterTheSideInformation) {
    struct Case {
        Bytes header;
        int offset;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 36},  // MPEG-1 Layer III stereo
        {{0xFF, 0xFA, 0x90, 0x00}, 38},  // same with CRC
        {{0xFF, 0xFB, 0x90, 0xC0}, 21},  // MPEG-1 Layer III mono
        {{0xFF, 0xF3, 0x80, 0x00}, 21},  // MPEG-2 Layer III stereo
        {{0xFF, 0xE3, 0x80, 0xC0}, 13},  // MPEG-2.5 Layer III mono
        {{0xFF, 0xFD, 0x90, 0x00}, 4},   // Layer II
        {{0xFF, 0xFC, 0x90, 0x00}, 6},   // Layer II with CRC
        {{0xFF, 0xFF, 0x90, 0x00}, 4},   // Layer I
    };
    DecoderPtr d = NewDecoder();
    for (const Case& c : cases) {
        for (int shift : {0, 1}) {
            SCOPED_TRACE(::testing::PrintToString(c.header) + " shift " + std::to_string(shift));
            Bytes frame = Frame(c.header);
            uint8_t* p = frame.data() + c.offset + shift;
            std::memcpy(p, "VBRI", 4);
            PutU32(p + 10, 0xABCDE);  // bytes
            PutU32(p + 14, 0x321);    // frames
            StreamInfo info;
            info.totalFrames = 99;
            ASSERT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1), 1);
            if (shift == 0) {
                EXPECT_EQ(info.totalFrames, 0x321);
                EXPECT_EQ(info.totalBytes, 0xABCDE);
                EXPECT_EQ(info.bitrate, 0);
                EXPECT_GT(info.frameLength, 0);
            } else {  // not at the header's position: an ordinary frame
                EXPECT_EQ(info.totalFrames, 0);
                EXPECT_EQ(info.totalBytes, 0);
                EXPECT_GT(info.bitrate, 0);
                EXPECT_EQ(info.frameLength, 0);
            }
        }
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
        {{0xFF, 0xF3, 0x80, 0x00}, {}, 2304, 2, 16, 22050},  // MPEG-2 Layer III
        {{0xFF, 0xFD, 0x90, 0x00}, {}, 4608, 2, 16, 44100},  // Layer II
        {{0xFF, 0xFF, 0x90, 0x00}, {}, 1536, 2, 16, 44100},  // Layer I
        {{0xFF, 0xFB, 0x90, 0x00}, {0, kOutputFlag8Bit, 24000}, 2304, 2, 8, 44100},
        {{0xFF, 0xFB, 0x90, 0xC0}, {}, 2304, 1, 16, 44100},  // single channel
        {{0xFF, 0xFB, 0x90, 0x00}, {0, kChannelsMix, 24000}, 2304, 1, 16, 44100},
        {{0xFF, 0xFB, 0x90, 0x00}, {0, kChannelsRight, 24000}, 2304, 1, 16, 44100},
        {{0xFF, 0xFB, 0x90, 0x00}, {1, 0, 24000}, 2304, 2, 16, 22050},
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
        ASSERT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 0), 1);
        EXPECT_EQ(info.outputBytesPerFrame, c.bytes);
        EXPECT_EQ(info.outputChannels, c.channels);
        EXPECT_EQ(info.outputBits, c.bits);
        EXPECT_EQ(info.sampleRate, c.rate);
        EXPECT_EQ(PublishedSampleRate(*d), 0);  // nothing published without asking
        ASSERT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1), 1);
        EXPECT_EQ(PublishedSampleRate(*d) >> c.options.downSamplingShift, c.rate);
        EXPECT_EQ(PublishedOutputBytesPerFrame(*d), c.bytes);
    }
}

TEST(StreamInfo, FrameLengthsOfConstantBitRateFrames) {
    struct Case {
        Bytes header;
        int32_t bitrate, minLength, maxLength;
    };
    const Case cases[] = {
        {{0xFF, 0xFF, 0x10, 0x00}, 32000, 32, 36},       // Layer I, 44100 Hz
        {{0xFF, 0xFF, 0xE4, 0x00}, 448000, 448, 452},    // Layer I, 48000 Hz
        {{0xFF, 0xF7, 0x10, 0x00}, 32000, 68, 72},       // Layer I, MPEG-2 22050 Hz
        {{0xFF, 0xFD, 0x90, 0x00}, 160000, 522, 523},    // Layer II, 44100 Hz
        {{0xFF, 0xFD, 0x92, 0x00}, 160000, 522, 523},    // same, padded
        {{0xFF, 0xFD, 0xE8, 0x00}, 384000, 1728, 1729},  // Layer II, 32000 Hz
        {{0xFF, 0xF5, 0xE4, 0x00}, 160000, 960, 961},    // Layer II, MPEG-2 24000 Hz
        {{0xFF, 0xFB, 0xE4, 0x00}, 320000, 960, 961},    // Layer III, 48000 Hz
        {{0xFF, 0xF3, 0x80, 0x00}, 64000, 208, 209},     // Layer III, MPEG-2 22050 Hz
        {{0xFF, 0xE3, 0x18, 0x00}, 8000, 72, 73},        // Layer III, MPEG-2.5 8000 Hz
    };
    DecoderPtr d = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header));
        const Bytes frame = Frame(c.header);
        StreamInfo info;
        ASSERT_EQ(ParseFrameInfo(*d, frame.data(), int32_t(frame.size()), info, 1), 1);
        EXPECT_EQ(info.bitrate, c.bitrate);
        EXPECT_EQ(info.frameLength, 0);
        EXPECT_EQ(info.minFrameLength, c.minLength);
        EXPECT_EQ(info.maxFrameLength, c.maxLength);
    }
}

TEST(StreamSetUp, LayerTwoNeedsAnAllocationTable) {
    struct Case {
        Bytes header;
        bool accepted;
    };
    const Case cases[] = {
        {{0xFF, 0xFD, 0xB0, 0xC0}, false},  // single channel, 44100 Hz, 192 kbit/s
        {{0xFF, 0xFD, 0x10, 0x00}, false},  // stereo at 32 kbit/s
        {{0xFF, 0xFD, 0x10, 0xC0}, true},   // single channel at 32 kbit/s
        {{0xFF, 0xFD, 0xB0, 0x00}, true},   // stereo at 192 kbit/s
        {{0xFF, 0xF5, 0xB0, 0xC0}, true},   // MPEG-2 has one table for everything
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header));
        DecoderPtr d = NewDecoder();
        // A stream set up before must not lend its tables to a refused one.
        const Bytes good = Frame({0xFF, 0xFD, 0x90, 0x00});
        ASSERT_EQ(SetUpStream(*d, good.data(), int32_t(good.size())), 1);

        const Bytes frame = Frame(c.header);
        EXPECT_EQ(SetUpStream(*d, frame.data(), int32_t(frame.size())), c.accepted ? 1 : 0);
        if (c.accepted) continue;
        EXPECT_EQ(LastDecoderError(*d), kErrorUnsupported);
        Bytes out(4608, 0x55);
        FrameJob job;
        job.input = frame.data();
        job.inputLength = int32_t(frame.size());
        job.output = out.data();
        job.outputLength = int32_t(out.size());
        EXPECT_EQ(DecodeFrame(*d, job), 0);
        EXPECT_EQ(LastDecoderError(*d), kErrorUnsupported);
        EXPECT_EQ(out, Bytes(4608, 0x55));
    }
}

TEST(DecodeFrame, RefusesShortInputAndOutput) {
    DecoderPtr d = NewDecoder();
    const Bytes frame = Frame({0xFF, 0xFD, 0x90, 0x00});  // 522 bytes, 4608 bytes of PCM
    Bytes out(4608);
    FrameJob job;
    job.input = frame.data();
    job.output = out.data();

    job.inputLength = 522;
    job.outputLength = 4608;
    EXPECT_EQ(DecodeFrame(*d, job), 0);  // nothing set up yet
    EXPECT_EQ(LastDecoderError(*d), kErrorUnsupported);

    ASSERT_EQ(SetUpStream(*d, frame.data(), int32_t(frame.size())), 1);
    struct Case {
        int32_t inputLength, outputLength, result;
    };
    for (const Case& c : {Case{4, 4608, 0}, Case{521, 4608, 0}, Case{522, 4607, 0},
                          Case{522, 4608, 1}, Case{1500, 9000, 1}}) {
        SCOPED_TRACE(std::to_string(c.inputLength) + " in, " + std::to_string(c.outputLength) +
                     " out");
        job.inputLength = c.inputLength;
        job.outputLength = c.outputLength;
        ASSERT_EQ(DecodeFrame(*d, job), c.result);
        if (c.result == 0) {
            EXPECT_EQ(LastDecoderError(*d), kErrorTooFewBytes);
        } else {
            EXPECT_EQ(job.inputLength, 522);
            EXPECT_EQ(job.outputLength, 4608);
            EXPECT_EQ(job.bitrate, 160000);
        }
    }
}

// Layer I frames whose last sample ends on their last bit, each held in a heap block of
// exactly its size: the sanitizer build fails if decoding reads a byte beyond the frame. A
// reader that has to refill for the last sample always loads past the end, and over twenty
// frames with their samples spread differently that happens for sure.
TEST(DecodeFrame, ReadsAFrameEndingAtTheEndOfItsInputSafely) {
    std::mt19937 random(7);
    for (int variant = 0; variant < 20; ++variant) {
        SCOPED_TRACE(variant);
        // 448 kbit/s, 44100 Hz, CRC, mono: 484 bytes, filled exactly by 32 allocated subbands
        // whose sample widths add up to 292.
        int bits[32];
        std::fill(bits, bits + 32, 9);
        for (int extra = 0; extra < 4; ++extra) ++bits[random() % 32];
        for (int step = 0; step < 100; ++step) {
            const int from = int(random() % 32), to = int(random() % 32);
            if (bits[from] > 2 && bits[to] < 15) --bits[from], ++bits[to];
        }
        zirvak::test::FrameWriter w({0xFF, 0xFE, 0xE0, 0xC0});
        w.Put(0, 16);  // CRC, not checked
        for (int sb = 0; sb < 32; ++sb) w.Put(uint32_t(bits[sb] - 1), 4);
        for (int sb = 0; sb < 32; ++sb) w.Put(30, 6);
        for (int t = 0; t < 12; ++t)
            for (int sb = 0; sb < 32; ++sb)
                w.Put(uint32_t(random() % ((1u << bits[sb]) - 1)), bits[sb]);
        ASSERT_EQ(w.BitCount(), 484 * 8);
        const Bytes frame = w.Finish(484);

        DecoderPtr d = NewDecoder();
        ASSERT_EQ(SetUpStream(*d, frame.data(), int32_t(frame.size())), 1);
        std::vector<uint8_t> input(frame.begin(), frame.end());  // capacity == size
        Bytes out(768);
        FrameJob job;
        job.input = input.data();
        job.inputLength = int32_t(input.size());
        job.output = out.data();
        job.outputLength = int32_t(out.size());
        ASSERT_EQ(DecodeFrame(*d, job), 1);
        EXPECT_EQ(job.inputLength, 484);
        EXPECT_EQ(job.outputLength, 768);
        EXPECT_NE(out, Bytes(768, 0));  // decoded, not silenced
    }
}

TEST(FindSync, FindsTheFirstSyncThatLeavesAFullHeader) {
    struct Case {
        Bytes bytes;
        int32_t result, offset;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 1, 0},
        {{0x00, 0xFF, 0xE2, 0x00, 0x00}, 1, 1},
        {{0x00, 0xFF, 0xD0, 0xFF, 0xF3, 0x00, 0x00}, 1, 3},  // 0xD is no sync nibble
        {{0x00, 0x00, 0x00, 0xFF, 0xE0, 0x00}, 0, 0},        // too close to the end
        {{0xFF, 0xFB, 0x90}, 0, 0},
        {{}, 0, 0},
    };
    DecoderPtr d = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        int32_t offset = -1;
        EXPECT_EQ(FindSync(*d, c.bytes.data(), int32_t(c.bytes.size()), offset), c.result);
        EXPECT_EQ(offset, c.offset);
        if (c.result == 0) {
            EXPECT_EQ(LastDecoderError(*d), kErrorTooFewBytes);
        }
    }
}

}  // namespace
}  // namespace mpeg
