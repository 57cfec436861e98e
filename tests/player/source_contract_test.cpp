// What every source owes the engine (audio_source.h), held by each kind of file: WAV, MPEG,
// gapless MPEG, FLAC, Ogg Vorbis, Opus, WavPack and AAC in MP4, in the shapes that test a format's
// edges (depths, channel counts, block sizes, files without a seek table). A row is one song; for
// every row, through the source the engine would make and through the engine itself:
// - the whole song plays, and a seek starts on the sample frame of its time (MPEG: within the
//   millisecond after it), playing what the whole run plays from there;
// - a run started again after the end plays the song again, the same bytes;
// - damage (bytes spoiled in the middle, the file cut short) plays on or ends cleanly, the
//   length still right where the format can know it, and plays the same again;
// - a Start refused for want of memory, whichever of its buffers could not be had, is followed
//   by one that plays the whole song.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "audio_source_factory.h"
#include "engine_run.h"
#include "input_file.h"
#include "player_fixtures.h"
#include "shaped_songs.h"
#include "support/fixtures.h"
#include "zeroed_bytes.h"

namespace zirvak::test {
namespace {

// The source the engine makes for a song, as it makes it.
std::unique_ptr<AudioSource> MakeSource(InputFile& file, bool gapless) {
    return MakeAudioSource(file, 0, kDefaultEndMs, gapless);
}

// An open file and its source.
struct OpenSource {
    OpenSource(const std::string& path, bool gapless) {
        EXPECT_EQ(file.Open(path), FileProblem::kNone) << path;
        source = MakeSource(file, gapless);
    }
    InputFile file;
    std::unique_ptr<AudioSource> source;
};

struct Song {
    std::string name;  // of the case
    // Writes the song into the folder; its path.
    std::function<std::string(const TempDir&)> make;
    bool gapless = false;
    uint32_t allocations = 2;  // a Start's allocations at least: its buffers, each refused in turn
    uint64_t frames = 0;       // sample frames it plays, where the format says so exactly
    bool seeksExactly = true;  // else up to a millisecond later: MPEG cuts at byte positions
    // A time at a block, page, frame or chunk edge, from the file's bytes.
    std::function<uint32_t(const Bytes&)> edgeMs;
    // Spoiled bytes leave the length as it was; MPEG frames spoiled are lost, as in mpg123, and
    // the song is as long as the frames that are left.
    bool spoiledKeepsLength = true;
    // Its index of samples lies after them (an MP4 file's movie box last), so a file cut in
    // half has none left and is refused.
    bool cutLosesIndex = false;
};

void PrintTo(const Song& song, std::ostream* out) {
    *out << song.name;
}

std::string Wav(const TempDir& dir, uint16_t channels, uint16_t bits, uint32_t rate,
                uint32_t frames) {
    WavParams params;
    params.channels = channels, params.bits = bits, params.sampleRate = rate;
    Bytes samples(size_t(frames) * channels * (bits / 8));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7 + i / 251);
    return WriteBytes(dir.Path("song.wav"), MakeWav(params, samples));
}

// The edge of the first chunk of 16-bit output, one frame on.
uint32_t ChunkEdgeMs(uint16_t channels, uint32_t rate) {
    return uint32_t(uint64_t(kWavChunkBytes / (2u * channels)) * 1000 / rate) + 1;
}

Song FlacSong(std::string name, FlacShape shape, std::string args, bool piped = false) {
    const uint32_t edgeMs = shape.rate == 48000 ? 200 : 512;  // frame 9600 or 4096
    return {.name = std::move(name),
            .make =
                [=](const TempDir& dir) {
                    return piped ? EncodePipedFlac(dir, "song", shape, FlacSignal(shape), args)
                                 : EncodeRawFlac(dir, "song", shape, FlacSignal(shape), args);
                },
            .frames = shape.frames,
            .edgeMs = [=](const Bytes&) { return edgeMs; }};
}

// WavPack songs in blocks of 100 ms, seeking on the end of the second.
Song WavPackSong(std::string name, FlacShape shape, std::string args, bool piped = false) {
    return {.name = std::move(name),
            .make =
                [=](const TempDir& dir) {
                    return EncodeWavPack(
                        dir, "song", shape, FlacSignal(shape),
                        "--blocksize=" + std::to_string(shape.rate / 10) + " " + args, piped);
                },
            .frames = shape.frames,
            .edgeMs = [](const Bytes&) { return 200u; }};
}

// AAC in MP4, with its movie before or after its samples; a seek on an access unit's edge.
Song AacSong(std::string name, FlacShape shape, bool movieFirst) {
    const std::string args = "-movie_timescale " + std::to_string(shape.rate) +
                             (movieFirst ? " -movflags +faststart" : "");
    return {.name = std::move(name),
            .make =
                [=](const TempDir& dir) {
                    return EncodeAac(dir, "song", shape, FlacSignal(shape), args);
                },
            .frames = shape.frames,
            .edgeMs = [=](const Bytes&) { return uint32_t(19 * 1024 * 1000 / shape.rate); },
            .cutLosesIndex = !movieFirst};
}

// Ogg songs in pages of at most 100 ms (Opus), seeking on the end of their fourth page.
Song OggSong(std::string name, OggShape shape) {
    return {.name = std::move(name),
            .make =
                [=](const TempDir& dir) {
                    return EncodeOgg(dir, "song", shape, OggSignal(shape), "--max-delay 100");
                },
            .frames = shape.frames,
            .edgeMs =
                [=](const Bytes& file) {
                    // Opus counts its pre-skip in the granule.
                    const uint64_t preSkip = shape.codec == Codec::kOpus ? 312 : 0;
                    return uint32_t((PageGranule(file, 4) - preSkip) * 1000 / DecodedRate(shape));
                }};
}

Song MpegSong(std::string name, std::string lameArgs, uint32_t frames, bool gapless) {
    return {.name = std::move(name),
            .make =
                [=](const TempDir& dir) {
                    return EncodeMp3(dir, "song", MakeWav({}, Pcm16Pattern(frames, 2)), lameArgs);
                },
            .gapless = gapless,
            // Gapless, two runs of the plain source's buffers (before and at a seek) and its own.
            .allocations = gapless ? 6u : 2u,
            .frames = gapless ? frames : 0,
            .seeksExactly = gapless,
            .edgeMs = [](const Bytes&) { return 20 * 1152 * 1000 / 44100; },
            .spoiledKeepsLength = false};
}

const Song kSongs[] = {
    {.name = "Wav16BitStereo",
     .make = [](const TempDir& dir) { return Wav(dir, 2, 16, 44100, kWavChunkBytes * 5 / 8); },
     .frames = kWavChunkBytes * 5 / 8,
     .edgeMs = [](const Bytes&) { return ChunkEdgeMs(2, 44100); }},
    // Converted: two buffers and the raw samples' scratch.
    {.name = "Wav8BitMono",
     .make = [](const TempDir& dir) { return Wav(dir, 1, 8, 22050, kWavChunkBytes * 5 / 4); },
     .allocations = 3,
     .frames = kWavChunkBytes * 5 / 4,
     .edgeMs = [](const Bytes&) { return ChunkEdgeMs(1, 22050); }},
    {.name = "MpegLayerTwo",
     .make = [](const TempDir&) { return RepoPath("res/sample.mp2"); },
     .seeksExactly = false,
     .edgeMs = [](const Bytes&) { return 9 * 26 + 13; },  // past the nine priming frames
     .spoiledKeepsLength = false},
    MpegSong("MpegLayerThree", "-b 128", 44100 * 3, false),
    MpegSong("MpegGapless", "-b 128", 44100 * 2 + 2511, true),
    MpegSong("MpegGaplessVariableRate", "-V 2", 44100 + 7, true),
    FlacSong("FlacBlocksOf2400", {2, 48000, 16, 48000 * 3 + 123}, "--blocksize=2400"),
    FlacSong("FlacMonoWithoutSeekTable", {1, 8000, 16, 8000 * 5},
             "--blocksize=4096 --no-seektable"),
    FlacSong("Flac24BitDithered", {2, 44100, 24, 44100 * 2}, ""),  // dither follows the frame
    FlacSong("FlacSixChannels", {6, 48000, 16, 48000 * 2}, "--blocksize=2400"),
    // No sample count, no seek table.
    FlacSong("FlacWrittenToAPipe", {2, 48000, 16, 48000 * 2}, "--blocksize=2400", true),
    OggSong("VorbisStereo", {Codec::kVorbis, 2, 44100, 44100 * 4 + 5}),
    OggSong("VorbisSixChannels", {Codec::kVorbis, 6, 48000, 48000 * 2}),
    OggSong("OpusStereo", {Codec::kOpus, 2, 48000, 48000 * 4 + 5}),
    OggSong("OpusMono", {Codec::kOpus, 1, 48000, 48000 * 2}),
    WavPackSong("WavPackStereo", {2, 44100, 16, 44100 * 3 + 17}, ""),
    WavPackSong("WavPack24BitSixChannels", {6, 48000, 24, 48000 * 2 + 5}, ""),
    WavPackSong("WavPackHybrid", {2, 48000, 16, 48000 * 2}, "-b3"),
    WavPackSong("WavPackHybridCorrected", {1, 44100, 16, 44100 * 2}, "-b3 -c"),
    WavPackSong("WavPackWrittenToAPipe", {2, 48000, 16, 48000 * 2}, "", true),
    AacSong("AacInMp4", {2, 44100, 16, 44100 * 3 + 17}, "-movie_timescale 44100"),
    AacSong("AacMonoMovieFirst", {1, 48000, 16, 48000 * 2},
            "-movie_timescale 48000 -movflags +faststart"),
};

class SourceContract : public ::testing::TestWithParam<Song> {
protected:
    void SetUp() override {
        path = song.make(dir);
        TestAudioDevice device;
        PlayerEngine engine(device);
        engine.SetGapless(song.gapless);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        lengthMs = engine.songLengthMs();
        rate = engine.sampleRate();
        blockAlign = engine.channels() * 2;
        whole = PlayFile(path, 0, kDefaultEndMs, song.gapless).pcm;
        ASSERT_FALSE(whole.empty());
        if (song.frames != 0) {
            ASSERT_EQ(whole.size(), song.frames * uint64_t(blockAlign));
        }
    }

    const Song& song = GetParam();
    TempDir dir;
    std::string path;
    Bytes whole;  // the engine's run from the start to the end
    uint32_t lengthMs = 0, rate = 0;
    int32_t blockAlign = 0;
};

TEST_P(SourceContract, ASeekLandsOnTheSampleFrameOfItsTime) {
    OpenSource open(path, song.gapless);
    EXPECT_TRUE(PlayRun(*open.source, std::nullopt) == whole);
    EXPECT_EQ(open.source->lengthMs(), lengthMs);
    const uint32_t edge = song.edgeMs(ReadFileBytes(path));
    ASSERT_GT(edge, 0u);
    for (const uint32_t t : {0u, 1u, edge, edge + 1, lengthMs / 2, lengthMs - 1}) {
        SCOPED_TRACE(t);
        ASSERT_LT(t, lengthMs);
        const uint64_t tFrame = uint64_t(t) * rate / 1000;
        const SeekRun played = PlayFrom(path, t, song.gapless);
        if (song.seeksExactly) {
            EXPECT_EQ(played.startFrame, tFrame);
        } else {
            EXPECT_GE(played.startFrame, tFrame);
            EXPECT_LE(played.startFrame, tFrame + rate / 1000 + 1);
        }
        const Bytes expected = Tail(whole, played.startFrame, blockAlign);
        ASSERT_LE(size_t(played.startFrame) * size_t(blockAlign), whole.size());
        EXPECT_TRUE(played.bytes == expected)
            << played.bytes.size() << " bytes played of " << expected.size() << "; first "
            << "difference at byte "
            << std::mismatch(played.bytes.begin(), played.bytes.end(), expected.begin(),
                             expected.end())
                       .first -
                   played.bytes.begin();
        // The source itself, seeking from where its last run left it.
        RunStart start;
        const Bytes fromSource = PlayRun(*open.source, t, &start);
        EXPECT_EQ(start.problem, FileProblem::kNone);
        EXPECT_EQ(start.startFrame, played.startFrame);
        EXPECT_TRUE(fromSource == expected);
    }
}

TEST_P(SourceContract, ARestartAfterTheEndPlaysTheSongAgain) {
    OpenSource open(path, song.gapless);
    const Bytes first = PlayRun(*open.source, std::nullopt);
    EXPECT_TRUE(first == whole);
    EXPECT_TRUE(PlayRun(*open.source, std::nullopt) == whole);
    PlayRun(*open.source, lengthMs / 2);
    EXPECT_TRUE(PlayRun(*open.source, std::nullopt) == whole) << "after a seek";
    // The engine, Play after the end.
    TestAudioDevice device;
    PlayerEngine engine(device);
    engine.SetGapless(song.gapless);
    ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    device.CompleteAll();
    EXPECT_TRUE(engine.endReached());
    device.written.clear();
    ASSERT_EQ(engine.Restart(), kOpenStarted);
    device.CompleteAll();
    EXPECT_TRUE(device.AllBytes() == whole);
    EXPECT_TRUE(device.misuse().empty());
}

// A damaged copy of the song, and how much of the song's length it keeps.
struct Damage {
    std::string name;
    Bytes bytes;
    std::optional<bool> keepsLength;  // none: the format cannot know it
    bool mayBeRefused = false;        // nothing of it can play
};

TEST_P(SourceContract, DamagePlaysOnOrEndsCleanly) {
    const Bytes good = ReadFileBytes(path);
    Bytes spoiled = good;  // a run of bytes overwritten in the middle
    const size_t spoilt = std::min<size_t>(20000, good.size() / 8);
    std::fill_n(spoiled.begin() + ptrdiff_t(good.size() / 2), spoilt, uint8_t(0xFF));
    const Damage damages[] = {
        {"cut", Bytes(good.begin(), good.begin() + ptrdiff_t(good.size() / 2)), false,
         song.cutLosesIndex},
        // Within the first metadata block or page, or just after it.
        {"cut-in-header", Bytes(good.begin(), good.begin() + 50), false, true},
        {"cut-in-headers", Bytes(good.begin(), good.begin() + 60), false, true},
        {"spoiled", spoiled, song.spoiledKeepsLength ? std::optional<bool>(true) : std::nullopt},
    };
    // What comes before the damage plays as in the good file.
    constexpr size_t kIntact = 4096 * 4;
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        const std::string damaged = WriteBytes(dir.Path(d.name), d.bytes);
        // A hybrid WavPack file's correction file goes with it, whole.
        if (std::filesystem::exists(path + "c"))
            std::filesystem::copy_file(path + "c", damaged + "c",
                                       std::filesystem::copy_options::overwrite_existing);
        TestAudioDevice device;
        PlayerEngine engine(device);
        engine.SetGapless(song.gapless);
        if (engine.Open(damaged, 0, kDefaultEndMs) != kOpenStarted) {
            EXPECT_TRUE(d.mayBeRefused) << "refused";
            continue;
        }
        device.CompleteAll();
        EXPECT_TRUE(engine.endReached());
        const Bytes played = device.AllBytes();
        if (d.keepsLength == true) {
            EXPECT_EQ(played.size(), whole.size());
        } else if (d.keepsLength == false) {
            EXPECT_LT(played.size(), whole.size());
        }
        const size_t before = std::min(played.size(), kIntact);
        EXPECT_TRUE(std::equal(played.begin(), played.begin() + ptrdiff_t(before), whole.begin()));
        EXPECT_TRUE(device.misuse().empty());
        // The source plays what the engine played, and the same again after its end.
        OpenSource open(damaged, song.gapless);
        EXPECT_TRUE(PlayRun(*open.source, std::nullopt) == played);
        EXPECT_TRUE(PlayRun(*open.source, std::nullopt) == played);
    }
}

TEST_P(SourceContract, AStartRefusedForMemoryIsFollowedByOneThatPlays) {
    uint32_t refused = 0;
    for (uint32_t failing = 1;; ++failing) {
        SCOPED_TRACE(testing::Message() << "allocation " << failing);
        OpenSource open(path, song.gapless);
        failingAllocation = failing;
        RunStart start;
        const Bytes first = PlayRun(*open.source, std::nullopt, &start);
        failingAllocation = 0;
        if (!start.noBufferMemory) {
            EXPECT_TRUE(first == whole);
            break;
        }
        ++refused;
        EXPECT_EQ(start.problem, FileProblem::kNone);
        EXPECT_TRUE(PlayRun(*open.source, std::nullopt) == whole);
        ASSERT_LT(failing, 10u) << "every Start refused";
    }
    EXPECT_GE(refused, song.allocations);
    // The engine: Open refused, then Play plays the song whole.
    for (uint32_t failing = 1; failing <= song.allocations; ++failing) {
        SCOPED_TRACE(testing::Message() << "the engine, allocation " << failing);
        TestAudioDevice device;
        PlayerEngine engine(device);
        engine.SetGapless(song.gapless);
        failingAllocation = failing;
        EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenNoBufferMemory);
        failingAllocation = 0;
        ASSERT_EQ(engine.Restart(), kOpenStarted);
        device.CompleteAll();
        EXPECT_TRUE(device.AllBytes() == whole);
    }
}

INSTANTIATE_TEST_SUITE_P(Songs, SourceContract, ::testing::ValuesIn(kSongs),
                         [](const ::testing::TestParamInfo<Song>& row) { return row.param.name; });

}  // namespace
}  // namespace zirvak::test
