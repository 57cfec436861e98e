// WAV playback: the header layouts, 0x48000-byte chunks, the bytes the device gets (converted
// to 16-bit PCM where they are not), and the files refused or clamped.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <unistd.h>

#include "player_engine_test_peer.h"
#include "player_fixtures.h"

namespace zirvak::test {
namespace {

// Plays `file` to the end on `device`; Open's result.
int32_t PlayWav(std::span<const uint8_t> file, TestAudioDevice& device) {
    TempDir dir;
    PlayerEngine engine(device);
    const int32_t result = engine.Open(WriteBytes(dir.Path("in.wav"), file), 0, kDefaultEndMs);
    device.CompleteAll();
    return result;
}

TEST(WavPlayback, EachLayoutPlaysExactlyItsSamples) {
    const uint32_t chunkFrames = kWavChunkBytes / 4;
    const struct {
        uint32_t dataStart;
        uint16_t channels;
        uint32_t rate, frames;
        size_t buffers;
    } cases[] = {
        {44, 2, 22050, chunkFrames * 2 + 1234, 3},
        {56, 2, 96000, chunkFrames + 1, 2},
        {58, 2, 8000, 3000, 1},              // below one chunk
        {44, 1, 44100, chunkFrames * 3, 2},  // mono: 1.5 chunks
        {44, 2, 44100, chunkFrames * 2, 3},  // an exact multiple: an empty last chunk
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dataStart << " " << c.channels << " " << c.frames);
        const Bytes samples = Pcm16Pattern(c.frames, c.channels);
        WavParams params;
        params.dataStart = c.dataStart;
        params.channels = c.channels;
        params.sampleRate = c.rate;
        TestAudioDevice device;
        ASSERT_EQ(PlayWav(MakeWav(params, samples), device), kOpenStarted);
        EXPECT_EQ(device.format.channels, c.channels);
        EXPECT_EQ(device.format.sampleRateHz, int32_t(c.rate));
        ASSERT_EQ(device.written.size(), c.buffers);
        EXPECT_TRUE(device.AllBytes() == samples);
    }
}

TEST(WavPlayback, RenderWritesTheSamplesOfTheFile) {
    const Bytes samples = Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2);
    EXPECT_TRUE(Render(Files().dir, Files().wav) == samples);
}

// Little-endian bytes of the given values, `width` bytes each.
Bytes Le(std::initializer_list<int64_t> values, int width) {
    Bytes out;
    for (int64_t v : values)
        for (int b = 0; b < width; ++b) out.push_back(uint8_t(uint64_t(v) >> (8 * b)));
    return out;
}

TEST(WavPlayback, OtherSampleFormatsAreConvertedTo16Bit) {
    const float floats[] = {0.5f, -0.25f, 1.0f, -1.0f, 2.0f, -3.0f, std::nanf(""), 0.0f};
    const struct {
        uint16_t formatTag, bits;
        Bytes samples;  // mono
        std::vector<int16_t> expected;
    } cases[] = {
        {1, 8, {0, 1, 127, 128, 129, 255}, {-32768, -32512, -256, 0, 256, 32512}},
        {1,
         24,
         Le({0x123456, -0x123456, 0x7FFFFF, -0x800000, 0xFF}, 3),
         {0x1234, -0x1235, 32767, -32768, 0}},
        {1,
         32,
         Le({0x12345678, -0x12345678, 0x7FFFFFFF, -0x7FFFFFFF - 1}, 4),
         {0x1234, -0x1235, 32767, -32768}},
        {3, 32, Bytes(sizeof floats), {16384, -8192, 32767, -32768, 32767, -32768, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        Bytes in = c.samples;
        if (c.formatTag == 3) std::memcpy(in.data(), floats, sizeof floats);
        WavParams params;
        params.channels = 1;
        params.formatTag = c.formatTag;
        params.bits = c.bits;
        TestAudioDevice device;
        ASSERT_EQ(PlayWav(MakeWav(params, in), device), kOpenStarted);
        const Bytes got = device.AllBytes();
        std::vector<int16_t> samples(got.size() / 2);
        std::memcpy(samples.data(), got.data(), got.size());
        EXPECT_EQ(samples, c.expected);
    }
}

// 3 GiB of 8-bit samples make 6 GiB of 16-bit PCM: the run's buffers reach the real end (the file
// is sparse: only its header takes room).
TEST(WavPlayback, PcmOfMoreThanFourGigabytesIsPlayedToItsEnd) {
    TempDir dir;
    WavParams params;
    params.channels = 1;
    params.bits = 8;
    params.sampleRate = 8000;
    const uint32_t dataBytes = 0xC0000000u;
    params.declaredBytes = dataBytes;
    const std::string path = WriteBytes(dir.Path("long.wav"), MakeWav(params, Bytes(64, 128)));
    ASSERT_EQ(truncate(path.c_str(), off_t(params.dataStart) + off_t(dataBytes)), 0);
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(engine.songLengthMs(), uint64_t(dataBytes) * 1000 / 8000);
    EXPECT_EQ(PlayerEngineTestPeer(engine).lastBufferIndex(),
              uint64_t(dataBytes) * 2 / kWavChunkBytes);
    engine.Close();
}

TEST(WavPlayback, MalformedFilesAreRefusedAndOverlongDataClamped) {
    const Bytes samples = Pcm16Pattern(1000, 2);
    auto with = [&](size_t at, const char* bytes, size_t n) {
        Bytes file = MakeWav({}, samples);
        std::memcpy(&file[at], bytes, n);
        return file;
    };
    Bytes cut = MakeWav({}, samples);
    cut.resize(40);
    const Bytes refused[] = {
        cut,                      // shorter than its header
        with(36, "LIST", 4),      // no known layout
        with(22, "\0", 1),        // no channels
        with(22, "\3", 1),        // three channels
        with(24, "\0\0\0\0", 4),  // no sample rate
        with(20, "\2", 1),        // ADPCM
        with(34, "\14", 1),       // 12-bit
    };
    for (const Bytes& file : refused) {
        TestAudioDevice device;
        EXPECT_EQ(PlayWav(file, device), kOpenFileFailed) << &file - refused;
        EXPECT_EQ(device.opens, 0);
    }
    // A chunk before the data whose size is damaged (odd, short, past the end): the data
    // chunk is found by its id and plays whole.
    for (const uint32_t listSize : {47u, 2u, 0xFFFFFFFFu}) {
        Bytes damaged = WavFile(samples, {InfoList({{"INAM", "Title"}, {"IART", "data"}})}, {});
        const Bytes size = {uint8_t(listSize), uint8_t(listSize >> 8), uint8_t(listSize >> 16),
                            uint8_t(listSize >> 24)};
        std::copy(size.begin(), size.end(), damaged.begin() + 40);
        TestAudioDevice device;
        ASSERT_EQ(PlayWav(damaged, device), kOpenStarted) << listSize;
        EXPECT_TRUE(device.AllBytes() == samples) << listSize;
    }
    // A data size past the end plays what is there, in whole sample frames.
    WavParams params;
    params.declaredBytes = 0xFFFFFFF0;
    Bytes file = MakeWav(params, samples);
    file.push_back(0x77);
    TestAudioDevice device;
    ASSERT_EQ(PlayWav(file, device), kOpenStarted);
    EXPECT_TRUE(device.AllBytes() == samples);
}

}  // namespace
}  // namespace zirvak::test
