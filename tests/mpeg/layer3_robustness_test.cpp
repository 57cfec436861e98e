// Damaged MP3 files decode or are refused cleanly, under every decoder option: bit-flipped and
// truncated copies of every fixture, and fixtures whose Layer III side information has been
// rewritten to extreme values. The sanitizer build turns any read or write out of bounds, and
// any undefined arithmetic, into a failure; these tests add that the damage stays local.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "mpeg_source.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

std::vector<std::string> Fixtures() {
    return ListFiles(RepoPath("tests/fixtures/mp3"), ".mp3");
}

// Every rate, channel option and sample width.
std::vector<mpeg::DecoderOptions> AllOptions() {
    std::vector<mpeg::DecoderOptions> all;
    for (int32_t shift = 0; shift <= 2; ++shift)
        for (int32_t channels = 0; channels <= 3; ++channels)
            for (int32_t bits : {0, mpeg::kOutputFlag8Bit})
                all.push_back({shift, channels | bits, 24000});
    return all;
}

void ExpectWholeSlots(const DecodedStream& d) {
    if (d.setUp) {
        EXPECT_EQ(d.pcm.size(), size_t(d.frames) * size_t(d.info.outputBytesPerFrame));
    }
}

TEST(Layer3Robustness, TruncatedFixturesDecodeOrRefuse) {
    const std::vector<mpeg::DecoderOptions> options = AllOptions();
    for (const std::string& path : Fixtures()) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        // Cuts all through the start (tag, header, side information, Xing header), then at
        // spread-out places through the stream, each with another option set.
        std::vector<size_t> cuts;
        for (size_t n = 0; n < 400 && n < bytes.size(); n += 7) cuts.push_back(n);
        for (size_t n = 400; n < bytes.size(); n += bytes.size() / 11 + 5) cuts.push_back(n);
        for (size_t i = 0; i < cuts.size(); ++i) {
            const DecodedStream d =
                DecodeBytes({bytes.data(), cuts[i]}, options[i % options.size()]);
            ExpectWholeSlots(d);
        }
    }
}

TEST(Layer3Robustness, BitFlippedFixturesDecodeOrRefuse) {
    std::mt19937 rng(TestSeed());
    const std::vector<mpeg::DecoderOptions> options = AllOptions();
    for (const std::string& path : Fixtures()) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> original = ReadFileBytes(path);
        for (int round = 0; round < 12; ++round) {
            std::vector<uint8_t> bytes = original;
            const int flips = 1 + int(rng() % 48);
            for (int i = 0; i < flips; ++i)
                bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
            ExpectWholeSlots(DecodeBytes(bytes, options[rng() % options.size()]));
        }
    }
}

// The side-information fields that the rewrites below set.
enum class Field {
    MainDataBegin,
    Part23Length,
    BigValues,
    GlobalGain,
    ScalefacCompress,
    WindowSwitching,
    BlockType,
    MixedBlock,
    TableSelect,  // every table_select of the granule
    Region0Count,
    Region1Count,
};

// Where the side information of one Layer III frame lies, in bits from the frame's first byte.
struct SideInfoLayout {
    bool mpeg1 = true;
    int channels = 2;
    size_t mainDataBegin = 0;
    size_t firstGranule = 0;
    size_t granuleBits = 0;
    int granules = 2;
};

SideInfoLayout LayoutOf(const mpeg::FrameHeader& h) {
    SideInfoLayout l;
    l.mpeg1 = h.version == 1;
    l.channels = h.mode == mpeg::kModeSingleChannel ? 1 : 2;
    l.mainDataBegin = 32 + (h.crcPresent ? 16 : 0);
    const size_t privateBits = l.mpeg1 ? (l.channels == 1 ? 5 : 3) : size_t(l.channels);
    const size_t scfsi = l.mpeg1 ? 4 * size_t(l.channels) : 0;
    l.firstGranule = l.mainDataBegin + (l.mpeg1 ? 9 : 8) + privateBits + scfsi;
    l.granuleBits = l.mpeg1 ? 59 : 63;
    l.granules = l.mpeg1 ? 2 : 1;
    return l;
}

// A big-endian bit field of a frame, read and written in place.
uint32_t GetBits(const uint8_t* frame, size_t at, int width) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i, ++at) v = (v << 1) | ((frame[at / 8] >> (7 - at % 8)) & 1u);
    return v;
}

void PutBits(uint8_t* frame, size_t at, int width, uint32_t value) {
    for (int i = width - 1; i >= 0; --i, ++at) {
        const uint8_t mask = uint8_t(0x80u >> (at % 8));
        frame[at / 8] = uint8_t((value >> i) & 1u ? frame[at / 8] | mask : frame[at / 8] & ~mask);
    }
}

// Sets one field, clipped to its width, in every granule and channel of the frame. The fields
// after window_switching_flag sit where that flag (as already rewritten) puts them; a field the
// flag leaves out (block_type of a long-block granule, say) is left alone.
void Rewrite(uint8_t* frame, const SideInfoLayout& l, Field field, uint32_t value) {
    auto put = [&](size_t at, int width) {
        PutBits(frame, at, width, value & ((1u << width) - 1));
    };
    if (field == Field::MainDataBegin) return put(l.mainDataBegin, l.mpeg1 ? 9 : 8);
    const int sfc = l.mpeg1 ? 4 : 9;
    for (int gc = 0; gc < l.granules * l.channels; ++gc) {
        const size_t g = l.firstGranule + size_t(gc) * l.granuleBits;
        const size_t ws = g + 29 + size_t(sfc);  // window_switching_flag
        const bool switching = GetBits(frame, ws, 1) != 0;
        if (field == Field::Part23Length) put(g, 12);
        if (field == Field::BigValues) put(g + 12, 9);
        if (field == Field::GlobalGain) put(g + 21, 8);
        if (field == Field::ScalefacCompress) put(g + 29, sfc);
        if (field == Field::WindowSwitching) put(ws, 1);
        if (field == Field::BlockType && switching) put(ws + 1, 2);
        if (field == Field::MixedBlock && switching) put(ws + 3, 1);
        if (field == Field::Region0Count && !switching) put(ws + 16, 4);
        if (field == Field::Region1Count && !switching) put(ws + 20, 3);
        if (field == Field::TableSelect) {
            for (size_t t = 0; t < (switching ? 2u : 3u); ++t)
                put(ws + (switching ? 4 : 1) + 5 * t, 5);
        }
    }
}

struct SideInfoRewrite {
    const char* name;
    std::vector<std::pair<Field, uint32_t>> fields;  // applied in order; values clip to width
};

const SideInfoRewrite kRewrites[] = {
    {"part2_3_length 4095", {{Field::Part23Length, 4095}}},
    {"big_values 511", {{Field::BigValues, 511}}},
    {"region counts 15 and 7, big_values 511",
     {{Field::WindowSwitching, 0},
      {Field::Region0Count, 15},
      {Field::Region1Count, 7},
      {Field::BigValues, 511}}},
    {"main_data_begin at its maximum", {{Field::MainDataBegin, 511}}},
    {"table_select 4 (no such table)", {{Field::WindowSwitching, 0}, {Field::TableSelect, 4}}},
    {"table_select 14 (no such table)", {{Field::TableSelect, 14}}},
    {"scalefac_compress at its maximum", {{Field::ScalefacCompress, 511}}},
    {"short blocks with the mixed flag",
     {{Field::WindowSwitching, 1}, {Field::BlockType, 2}, {Field::MixedBlock, 1}}},
    {"window switching with block type 0",
     {{Field::WindowSwitching, 1}, {Field::BlockType, 0}, {Field::MixedBlock, 1}}},
    {"global_gain 255", {{Field::GlobalGain, 255}}},
    {"global_gain 0", {{Field::GlobalGain, 0}}},
    {"everything at its extreme",
     {{Field::MainDataBegin, 511},
      {Field::Part23Length, 4095},
      {Field::BigValues, 511},
      {Field::GlobalGain, 255},
      {Field::ScalefacCompress, 511},
      {Field::WindowSwitching, 1},
      {Field::BlockType, 2},
      {Field::MixedBlock, 1},
      {Field::TableSelect, 31}}},
};

// Frame offsets (from the start of the file) of every frame the walk visits.
std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& file) {
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MpegAudioBounds bounds;
    std::vector<size_t> offsets;
    if (!LocateMpegAudio(*decoder, file, bounds)) return offsets;
    const uint8_t* data = file.data();
    MpegFrameWalk walk(*decoder, data + bounds.firstFrame,
                       data + bounds.audioStart + bounds.audioBytes);
    if (!walk.SetUp()) return offsets;
    while (!walk.AtEnd()) {
        offsets.push_back(bounds.firstFrame + walk.offset());
        walk.SkipNext();
    }
    return offsets;
}

TEST(Layer3Robustness, ExtremeSideInformationStaysLocal) {
    // MPEG-1 and lower-sampling-frequency side information, both with a bit reservoir in use.
    const char* const fixtures[] = {"mpeg1_44100_stereo_cbr128.mp3",
                                    "mpeg2_22050_joint_cbr48_id3v1.mp3",
                                    "mpeg25_8000_mono_cbr16.mp3"};
    const std::vector<size_t> damaged = {2, 3, 5, 6};  // frame numbers: two pairs in a row
    for (const char* name : fixtures) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> original = ReadFileBytes(RepoPath("tests/fixtures/mp3/") + name);
        const std::vector<size_t> offsets = FrameOffsets(original);
        // The damage reaches the next granule through the overlap, and the synthesis keeps 15
        // slots of that granule: one more frame where a frame is a single granule of 18 slots.
        mpeg::FrameHeader first;
        mpeg::DecoderPtr parser = mpeg::CreateDecoder();
        ASSERT_EQ(mpeg::ParseHeader(*parser, original.data() + offsets[0], first), 1);
        const size_t clean = damaged.back() + (first.version == 1 ? 2 : 3);
        ASSERT_GT(offsets.size(), clean + 2);
        const std::vector<mpeg::DecoderOptions> options = AllOptions();
        std::vector<DecodedStream> undamaged;
        for (const mpeg::DecoderOptions& o : options) undamaged.push_back(DecodeBytes(original, o));
        for (const SideInfoRewrite& rewrite : kRewrites) {
            SCOPED_TRACE(rewrite.name);
            std::vector<uint8_t> bytes = original;
            for (size_t frame : damaged) {
                uint8_t* p = bytes.data() + offsets[frame];
                mpeg::FrameHeader header;
                ASSERT_EQ(mpeg::ParseHeader(*parser, p, header), 1);
                const SideInfoLayout layout = LayoutOf(header);
                for (const auto& [field, value] : rewrite.fields) Rewrite(p, layout, field, value);
            }
            for (size_t i = 0; i < options.size(); ++i) {
                SCOPED_TRACE("shift " + std::to_string(options[i].downSamplingShift) + ", flags " +
                             std::to_string(options[i].outputFlags));
                const DecodedStream& expected = undamaged[i];
                const DecodedStream got = DecodeBytes(bytes, options[i]);
                ASSERT_TRUE(got.setUp);
                ASSERT_EQ(got.frames, expected.frames);  // headers untouched: the same walk
                ExpectWholeSlots(got);
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

}  // namespace
}  // namespace zirvak::test
