// Whatever the bytes, the decoder decodes them or refuses them cleanly: the illegal and unusual
// streams of the conformance set, truncated and bit-flipped copies of legal streams, random
// bytes behind valid headers, and Layer III side information rewritten to extreme values. The
// sanitizer build turns any read outside the input, or any undefined arithmetic, into a failure.
// The fuzzers cover broad random input; these are the deterministic, targeted cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "memory_source.h"
#include "mpeg_stream.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// Every rate, channel option and sample width.
std::vector<mpeg::DecoderOptions> AllOptions() {
    std::vector<mpeg::DecoderOptions> all;
    for (int32_t shift = 0; shift <= 2; ++shift)
        for (int32_t channels = 0; channels <= 3; ++channels)
            for (int32_t bits : {0, mpeg::kOutputFlag8Bit})
                all.push_back({shift, channels | bits, 24000});
    return all;
}

// Decodes, and checks that a stream that is set up yields one whole slot per frame walked.
DecodedStream Check(std::span<const uint8_t> bytes, const mpeg::DecoderOptions& options) {
    DecodedStream d = DecodeBytes(bytes, options);
    if (d.setUp) {
        EXPECT_EQ(d.pcm.size(), size_t(d.frames) * size_t(d.info.outputBytesPerFrame));
    }
    return d;
}

bool StartsWith(const std::string& path, const char* prefix) {
    return path.compare(path.rfind('/') + 1, std::strlen(prefix), prefix) == 0;
}

TEST(Robustness, IllegalNonstandardFreeFormatAndFuzzVectorsDecodeOrRefuse) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    std::vector<std::string> files = ListFiles(dir + "/fuzz", "", true);
    for (const std::string& f : ListFiles(dir, ".bit"))
        if (StartsWith(f, "ILL") || StartsWith(f, "l3-he_mode") ||
            f.find("nonstandard") != std::string::npos || f.find("free") != std::string::npos)
            files.push_back(f);
    ASSERT_GT(files.size(), 20u);
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        if (path.find("free") != std::string::npos) {  // not played as its first frame
            mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
            mpeg::FrameHeader header;
            EXPECT_EQ(mpeg::ParseHeader(*decoder, bytes.data(), header), 0);
            EXPECT_EQ(mpeg::LastDecoderError(*decoder), mpeg::kErrorInvalidHeader);
        }
        for (const mpeg::DecoderOptions& options : AllOptions()) Check(bytes, options);
    }
}

// Cuts all through the start (headers, side information, Xing header) and spread through the
// stream, then seeded bit flips, each with another option set.
TEST(Robustness, TruncatedAndBitFlippedStreamsDecodeOrRefuse) {
    std::vector<std::string> files = ListFiles(RepoPath("tests/fixtures/mp3"), ".mp3");
    const std::string dir = ConformanceDir();
    if (dir.empty() && ConformanceRequired()) ADD_FAILURE() << "conformance vectors required";
    for (const std::string& f : dir.empty() ? std::vector<std::string>{} : ListFiles(dir, ".bit"))
        if (StartsWith(f, "l1-") || StartsWith(f, "l2-fl") || StartsWith(f, "M2L3") ||
            StartsWith(f, "l3-si."))
            files.push_back(f);
    const std::vector<mpeg::DecoderOptions> options = AllOptions();
    std::mt19937 rng(TestSeed());
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> original = ReadFileBytes(path);
        size_t round = 0;
        for (size_t n = 0; n < original.size(); n += n < 400 ? 9 : original.size() / 9 + 13) {
            const DecodedStream d = Check({original.data(), n}, options[round++ % options.size()]);
            if (d.setUp) {
                EXPECT_GT(d.frames, 0);
            }
        }
        for (int flipRound = 0; flipRound < 8; ++flipRound) {
            std::vector<uint8_t> bytes = original;
            for (int i = 0, flips = 1 + int(rng() % 64); i < flips; ++i)
                bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
            Check(bytes, options[rng() % options.size()]);
        }
    }
}

TEST(Robustness, RandomBytesBehindValidHeadersDecodeOrRefuse) {
    std::mt19937 rng(TestSeed());
    const std::vector<mpeg::DecoderOptions> options = AllOptions();
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes(size_t(rng() % 6000));
        for (uint8_t& b : bytes) b = uint8_t(rng());
        // Headers of every layer and version here and there, so the layer decoders get to work.
        for (size_t at = 0; at + 4 <= bytes.size(); at += 50 + rng() % 900) {
            bytes[at] = 0xFF;
            bytes[at + 1] = uint8_t(0xE2 | (rng() % 14));
            bytes[at + 2] = uint8_t(((1 + rng() % 14) << 4) | ((rng() % 3) << 2) | (rng() % 4));
        }
        Check(bytes, options[size_t(round) % options.size()]);
    }
}

// Layer III side-information fields.
enum Field { kBegin, kPart23, kBigValues, kSwitch, kBlockType, kMixed, kTable, kRegion0, kRegion1 };

void PutBits(uint8_t* frame, size_t at, int width, uint32_t value) {
    for (int i = width - 1; i >= 0; --i, ++at) {
        const uint8_t mask = uint8_t(0x80u >> (at % 8));
        frame[at / 8] = uint8_t((value >> i) & 1u ? frame[at / 8] | mask : frame[at / 8] & ~mask);
    }
}

// Sets one field, clipped to its width, in every granule and channel of the frame. Fields that
// window_switching_flag (as already rewritten) leaves out are left alone.
void Rewrite(uint8_t* frame, const mpeg::FrameHeader& h, Field field, uint32_t value) {
    const bool mpeg1 = h.version == 1;
    const size_t channels = h.mode == mpeg::kModeSingleChannel ? 1 : 2;
    const size_t start = 32 + (h.crcPresent ? 16 : 0);
    auto put = [&](size_t at, int width) {
        PutBits(frame, at, width, value & ((1u << width) - 1));
    };
    if (field == kBegin) return put(start, mpeg1 ? 9 : 8);
    const size_t first =
        start + (mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + channels);
    for (size_t gc = 0; gc < (mpeg1 ? 2 : 1) * channels; ++gc) {
        const size_t g = first + gc * (mpeg1 ? 59 : 63);
        const size_t ws = g + 29 + (mpeg1 ? 4 : 9);  // window_switching_flag
        const bool switching = (frame[ws / 8] >> (7 - ws % 8)) & 1;
        if (field == kPart23) put(g, 12);
        if (field == kBigValues) put(g + 12, 9);
        if (field == kSwitch) put(ws, 1);
        if (field == kBlockType && switching) put(ws + 1, 2);
        if (field == kMixed && switching) put(ws + 3, 1);
        if (field == kRegion0 && !switching) put(ws + 16, 4);
        if (field == kRegion1 && !switching) put(ws + 20, 3);
        if (field == kTable)
            for (size_t t = 0; t < (switching ? 2u : 3u); ++t)
                put(ws + (switching ? 4 : 1) + 5 * t, 5);
    }
}

struct SideInfoRewrite {
    const char* name;
    std::vector<std::pair<Field, uint32_t>> fields;  // applied in order
};

const SideInfoRewrite kRewrites[] = {
    {"part2_3_length 4095", {{kPart23, 4095}}},
    {"big_values 511", {{kBigValues, 511}}},
    {"region counts past the band table",
     {{kSwitch, 0}, {kRegion0, 15}, {kRegion1, 7}, {kBigValues, 511}}},
    {"main_data_begin past the reservoir", {{kBegin, 511}}},
    {"table_select 4", {{kSwitch, 0}, {kTable, 4}}},
    {"table_select 14", {{kTable, 14}}},
    {"mixed short blocks, everything at its extreme",
     {{kBegin, 511},
      {kPart23, 4095},
      {kBigValues, 511},
      {kSwitch, 1},
      {kBlockType, 2},
      {kMixed, 1},
      {kTable, 31}}},
};

// Damaged frames 2, 3, 5 and 6 of fixtures with a bit reservoir in use: the decoder stays in
// bounds, and the damage stays local (the overlap and the synthesis carry it a frame further,
// two where a frame is a single granule).
TEST(Robustness, ExtremeLayer3SideInformationStaysLocal) {
    const std::vector<mpeg::DecoderOptions> options = AllOptions();
    for (const char* name : {"mpeg1_44100_stereo_cbr128.mp3", "mpeg2_22050_joint_cbr48_id3v1.mp3",
                             "mpeg25_8000_mono_cbr16.mp3"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> original = ReadFileBytes(RepoPath("tests/fixtures/mp3/") + name);
        mpeg::DecoderPtr parser = mpeg::CreateDecoder();
        MemorySource source(original);
        MpegStream stream;
        ASSERT_EQ(OpenMpegStream(*parser, source, stream), FileProblem::kNone);
        MpegFrameWalk& walk = *stream.walk;
        std::vector<size_t> offsets;
        for (; !walk.AtEnd(); walk.SkipNext()) offsets.push_back(size_t(walk.offset()));
        mpeg::FrameHeader first;
        ASSERT_EQ(mpeg::ParseHeader(*parser, original.data() + offsets[0], first), 1);
        const size_t clean = 6 + (first.version == 1 ? 2 : 3);
        ASSERT_GT(offsets.size(), clean + 2);
        std::vector<DecodedStream> undamaged;
        for (const mpeg::DecoderOptions& o : options) undamaged.push_back(DecodeBytes(original, o));
        for (const SideInfoRewrite& rewrite : kRewrites) {
            SCOPED_TRACE(rewrite.name);
            std::vector<uint8_t> bytes = original;
            for (size_t frame : {2, 3, 5, 6}) {
                mpeg::FrameHeader header;
                ASSERT_EQ(mpeg::ParseHeader(*parser, bytes.data() + offsets[frame], header), 1);
                for (const auto& [field, value] : rewrite.fields)
                    Rewrite(bytes.data() + offsets[frame], header, field, value);
            }
            for (size_t i = 0; i < options.size(); ++i) {
                SCOPED_TRACE("option set " + std::to_string(i));
                const DecodedStream& expected = undamaged[i];
                const DecodedStream got = Check(bytes, options[i]);
                ASSERT_TRUE(got.setUp);
                ASSERT_EQ(got.frames, expected.frames);  // headers untouched: the same walk
                if (i == 0) {
                    EXPECT_NE(got.pcm, expected.pcm) << "the rewrite changed nothing";
                }
                const auto from = std::ptrdiff_t(clean) * expected.info.outputBytesPerFrame;
                EXPECT_TRUE(
                    std::equal(got.pcm.begin() + from, got.pcm.end(), expected.pcm.begin() + from));
            }
        }
    }
}

// An encoder may end a channel's count1 region with a quadruple that runs a few bits past the
// channel's data; that quadruple is dropped, the rest of the channel plays. Shortening the last
// channel of some frames by 1 to 8 bits makes such overruns (the next frame's data begins where
// its main_data_begin says, so nothing else moves): those channels must not fall silent.
TEST(Robustness, ChannelsEndingInAnOverrunQuadruplePlayOn) {
    const std::vector<uint8_t> original =
        ReadFileBytes(RepoPath("tests/fixtures/mp3/mpeg1_44100_stereo_cbr128.mp3"));
    mpeg::DecoderPtr parser = mpeg::CreateDecoder();
    MemorySource source(original);
    MpegStream stream;
    ASSERT_EQ(OpenMpegStream(*parser, source, stream), FileProblem::kNone);
    std::vector<size_t> offsets;
    for (MpegFrameWalk& walk = *stream.walk; !walk.AtEnd(); walk.SkipNext())
        offsets.push_back(size_t(walk.offset()));
    const DecodedStream expected = DecodeBytes(original, {});
    const size_t frameBytes = size_t(expected.info.outputBytesPerFrame);
    for (uint32_t shortBy = 1; shortBy <= 8; ++shortBy) {
        SCOPED_TRACE("short by " + std::to_string(shortBy));
        std::vector<uint8_t> bytes = original;
        for (size_t frame = 4; frame + 2 < offsets.size(); frame += 3) {
            mpeg::FrameHeader h;
            ASSERT_EQ(mpeg::ParseHeader(*parser, bytes.data() + offsets[frame], h), 1);
            ASSERT_EQ(h.version, 1);
            // part2_3_length of granule 1, channel 1: behind the header, main_data_begin,
            // private bits, the two scfsi sets and three channels' granule fields.
            const size_t at =
                8 * offsets[frame] + 32 + (h.crcPresent ? 16 : 0) + 9 + 3 + 8 + 3 * 59;
            uint32_t length = 0;
            for (size_t b = at; b < at + 12; ++b)
                length = (length << 1) | ((bytes[b / 8] >> (7 - b % 8)) & 1u);
            PutBits(bytes.data(), at, 12, length - std::min(length, shortBy));
        }
        const DecodedStream got = DecodeBytes(bytes, {});
        ASSERT_EQ(got.pcm.size(), expected.pcm.size());
        // The right channel of granule 1 of every damaged frame: its error is small next to
        // the music in it, as silence's would not be.
        for (size_t frame = 4; frame + 2 < offsets.size(); frame += 3) {
            double music = 0, error = 0;
            for (size_t i = frame * frameBytes + frameBytes / 2 + 2; i < (frame + 1) * frameBytes;
                 i += 4) {
                const auto sample = [&](const std::vector<uint8_t>& pcm) {
                    return double(int16_t(pcm[i] | (pcm[i + 1] << 8)));
                };
                music += sample(expected.pcm) * sample(expected.pcm);
                error += (sample(got.pcm) - sample(expected.pcm)) *
                         (sample(got.pcm) - sample(expected.pcm));
            }
            EXPECT_LT(error, 0.1 * music) << "frame " << frame;
        }
    }
}

}  // namespace
}  // namespace zirvak::test
