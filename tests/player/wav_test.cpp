// WAV playback: the three header layouts, chunking into 0x48000-byte buffers, the bytes the
// device gets (straight from the file for 16-bit PCM, converted for other sample formats),
// and the files the engine refuses or clamps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

struct Played {
    int32_t result = -1;
    SteppedAudioDevice device;
    uint32_t lastBufferIndex = 0;
};

// Opens `file` on a fresh engine and plays it to the end.
void PlayWav(std::span<const uint8_t> file, Played& out) {
    TempDir dir;
    WriteBytes(dir.Path("in.wav"), file);
    PlayerEngine engine(out.device);
    out.result = engine.Open(dir.Path("in.wav"), 0, kDefaultEndMs);
    out.lastBufferIndex = engine.lastBufferIndex();
    out.device.CompleteAll();
}

TEST(WavPlayback, EachLayoutPlaysExactlyItsSamples) {
    struct Case {
        WavLayout layout;
        uint16_t channels;
        uint32_t rate;
        uint32_t frames;
        size_t buffers;
    };
    const uint32_t chunkFrames = kWavChunkBytes / 4;
    const Case cases[] = {
        {WavLayout::kPlain, 2, 22050, chunkFrames * 2 + 1234, 3},
        {WavLayout::kFact16, 2, 96000, chunkFrames + 1, 2},  // all 32 bits of the rate
        {WavLayout::kFact18, 2, 8000, 3000, 1},
        {WavLayout::kPlain, 1, 44100, kWavChunkBytes / 2 * 3 / 2, 2},  // mono: 1.5 chunks
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("samples at " + std::to_string(uint32_t(c.layout)) + ", " +
                     std::to_string(c.channels) + " channels");
        const Bytes samples = Pcm16Pattern(c.frames, c.channels);
        WavParams params;
        params.layout = c.layout;
        params.channels = c.channels;
        params.sampleRate = c.rate;
        Played p;
        PlayWav(MakeWav(params, samples), p);
        ASSERT_EQ(p.result, kOpenStarted);
        EXPECT_EQ(p.device.format.channels, c.channels);
        EXPECT_EQ(p.device.format.sampleRateHz, int32_t(c.rate));
        ASSERT_EQ(p.device.written.size(), c.buffers);
        EXPECT_TRUE(p.device.AllBytes() == samples);
        // Straight from the mapping: each chunk begins 0x48000 bytes after the one before.
        for (size_t i = 1; i < c.buffers; ++i) {
            EXPECT_EQ(p.device.written[i].data - p.device.written[i - 1].data,
                      ptrdiff_t(kWavChunkBytes));
        }
    }
}

TEST(WavPlayback, OneChunkRunEndsOnItsOwnReturn) {
    SteppedAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().wavShort(), 0, kDefaultEndMs), kOpenStarted);
    // The Refill inside Open already found the end; Open still ends in Playing.
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_TRUE(engine.endReached());
    EXPECT_EQ(engine.lastBufferIndex(), 0u);
    ASSERT_EQ(device.written.size(), 1u);
    EXPECT_EQ(device.written[0].bytes.size(), 40000u);
    device.CompleteOldest();
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_EQ(device.written.size(), 1u);
}

TEST(WavPlayback, ExactMultipleOfAChunkQueuesAnEmptyLastChunk) {
    const Bytes samples = Pcm16Pattern(kWavChunkBytes * 2 / 4, 2);
    Played p;
    PlayWav(MakeWav({}, samples), p);
    ASSERT_EQ(p.result, kOpenStarted);
    EXPECT_EQ(p.lastBufferIndex, 2u);
    ASSERT_EQ(p.device.written.size(), 3u);
    EXPECT_EQ(p.device.written[2].bytes.size(), 0u);
    EXPECT_TRUE(p.device.AllBytes() == samples);
}

TEST(WavPlayback, RenderWritesTheSamplesOfTheFile) {
    const Bytes samples = Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2);
    EXPECT_TRUE(Render(Files().dir, Files().wav()) == samples);
}

// Little-endian bytes of the given values, `width` bytes each.
Bytes Le(std::initializer_list<int64_t> values, int width) {
    Bytes out;
    for (int64_t v : values) {
        for (int b = 0; b < width; ++b) out.push_back(uint8_t(uint64_t(v) >> (8 * b)));
    }
    return out;
}

Bytes Floats(std::initializer_list<float> values) {
    Bytes out(values.size() * 4);
    std::memcpy(out.data(), std::data(values), out.size());
    return out;
}

TEST(WavPlayback, OtherSampleFormatsAreConvertedTo16Bit) {
    struct Case {
        const char* name;
        uint16_t formatTag;
        uint16_t bits;
        Bytes samples;  // mono
        std::vector<int16_t> expected;
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {"8-bit", 1, 8, Bytes{0, 1, 127, 128, 129, 255}, {-32768, -32512, -256, 0, 256, 32512}},
        {"24-bit",
         1,
         24,
         Le({0x123456, -0x123456, 0x7FFFFF, -0x800000, 0xFF}, 3),
         {0x1234, -0x1235, 32767, -32768, 0}},
        {"32-bit",
         1,
         32,
         Le({0x12345678, -0x12345678, 0x7FFFFFFF, -0x7FFFFFFF - 1}, 4),
         {0x1234, -0x1235, 32767, -32768}},
        {"float",
         3,
         32,
         Floats({0.5f, -0.25f, 1.0f, -1.0f, 2.0f, -3.0f, nan, 0.0f}),
         {16384, -8192, 32767, -32768, 32767, -32768, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavParams params;
        params.channels = 1;
        params.formatTag = c.formatTag;
        params.bits = c.bits;
        Played p;
        PlayWav(MakeWav(params, c.samples), p);
        ASSERT_EQ(p.result, kOpenStarted);
        const Bytes got = p.device.AllBytes();
        std::vector<int16_t> samples(got.size() / 2);
        std::memcpy(samples.data(), got.data(), got.size());
        EXPECT_EQ(samples, c.expected);
    }
}

TEST(WavPlayback, ConversionFollowsTheChunks) {
    // 2.5 chunks of 16-bit output from 24-bit stereo: each chunk starts at its own frame.
    const uint32_t frames = kWavChunkBytes * 5 / 2 / 4;
    const Bytes pcm16 = Pcm16Pattern(frames, 2);
    Bytes pcm24;
    for (size_t i = 0; i < pcm16.size(); i += 2)
        pcm24.insert(pcm24.end(), {0x5A, pcm16[i], pcm16[i + 1]});
    WavParams params;
    params.bits = 24;
    Played p;
    PlayWav(MakeWav(params, pcm24), p);
    ASSERT_EQ(p.result, kOpenStarted);
    ASSERT_EQ(p.device.written.size(), 3u);
    EXPECT_TRUE(p.device.AllBytes() == pcm16);
    // Converted into the engine's two buffers, in turn.
    EXPECT_EQ(p.device.written[0].data, p.device.written[2].data);
    EXPECT_NE(p.device.written[0].data, p.device.written[1].data);
}

TEST(WavPlayback, MalformedFilesAreRefusedAndOverlongDataClamped) {
    const Bytes samples = Pcm16Pattern(1000, 2);
    auto with = [&](auto change) {
        Bytes file = MakeWav({}, samples);
        change(file);
        return file;
    };
    const Bytes header = MakeWav({}, {});
    const Bytes refused[] = {
        Bytes(header.begin(), header.begin() + 40),              // shorter than its header
        with([](Bytes& f) { std::memcpy(&f[36], "LIST", 4); }),  // no known layout
        with([](Bytes& f) { f[22] = 0; }),                       // no channels
        with([](Bytes& f) { f[22] = 3; }),                       // three channels
        with([](Bytes& f) { std::memset(&f[24], 0, 4); }),       // no sample rate
        with([](Bytes& f) { f[20] = 2; }),                       // ADPCM
        with([](Bytes& f) { f[34] = 12; }),                      // 12-bit
    };
    for (size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE("refused file " + std::to_string(i));
        Played p;
        PlayWav(refused[i], p);
        EXPECT_EQ(p.result, kOpenFileFailed);
        EXPECT_EQ(p.device.opens, 0);
    }
    // A data size past the end plays what is there, in whole sample frames.
    WavParams params;
    params.declaredBytes = 0xFFFFFFF0;
    Bytes file = MakeWav(params, samples);
    file.push_back(0x77);  // half a sample frame
    Played p;
    PlayWav(file, p);
    ASSERT_EQ(p.result, kOpenStarted);
    EXPECT_TRUE(p.device.AllBytes() == samples);
}

}  // namespace
}  // namespace zirvak::test
