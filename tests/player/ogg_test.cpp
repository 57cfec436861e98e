// Ogg Vorbis and Opus playback against Debian's `oggdec` and `opusdec` as the references: files
// encoded at test time by `oggenc` and `opusenc` from PCM made here. With the dither off the
// engine's samples are within 1 LSB of the reference rounded; the length is the reference's to
// the sample frame; damaged and disguised files play. Seeks, restarts, files cut short and memory
// refused: source_contract_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine_run.h"
#include "input_file.h"
#include "opus_source.h"
#include "pcm_reduce.h"
#include "player_fixtures.h"
#include "shaped_songs.h"
#include "support/fixtures.h"
#include "vorbis_source.h"

namespace zirvak::test {
namespace {

// The dither off while a test compares with a reference rounded without it.
struct NoDither {
    NoDither() { ditherOff = true; }
    ~NoDither() { ditherOff = false; }
};

// The reference decoder's samples, as doubles in 16-bit LSBs: oggdec's 16-bit output (rounded
// already) or opusdec's floats.
std::vector<double> Reference(const TempDir& dir, const std::string& path, Codec codec) {
    const std::string out = dir.Path("reference.raw");
    std::vector<double> samples;
    if (codec == Codec::kVorbis) {
        RunTool("oggdec --quiet --raw -o '" + out + "' '" + path + "'");
        const Bytes raw = ReadFileBytes(out);
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            samples.push_back(int16_t(uint16_t(raw[i] | raw[i + 1] << 8)));
    } else {
        RunTool("opusdec --quiet --rate 48000 --float '" + path + "' '" + out + "'");
        const Bytes raw = ReadFileBytes(out);
        std::vector<float> floats(raw.size() / 4);
        std::memcpy(floats.data(), raw.data(), floats.size() * 4);
        for (const float f : floats) samples.push_back(double(f) * 32768.0);
    }
    return samples;
}

// The reference as the engine should play it: rounded, six channels (L C R BL BR LFE) mixed.
std::vector<int16_t> Expected(const std::vector<double>& reference, int32_t channels) {
    std::vector<int16_t> out;
    if (channels <= 2) {
        for (const double v : reference) out.push_back(Rounded(v));
        return out;
    }
    EXPECT_EQ(channels, 6);
    return MixedToStereo(reference,
                         {.left = 0, .right = 2, .centre = 1, .backLeft = 3, .backRight = 4});
}

TEST(OggPlayback, MatchesTheReferenceDecoder) {
    const struct {
        OggShape shape;
        // LSB. Vorbis's reference is rounded to 16 bits before a mix: its three rounding
        // errors, weighted, add up to 1.2 LSB more.
        int tolerance;
    } cases[] = {
        {{Codec::kVorbis, 1, 8000, 8000 * 3 + 17}, 1},
        {{Codec::kVorbis, 2, 44100, 44100 * 2 + 99}, 1},
        {{Codec::kVorbis, 2, 48000, 48000 * 2}, 1},
        {{Codec::kVorbis, 6, 48000, 48000 + 7}, 2},
        {{Codec::kOpus, 1, 48000, 48000 * 2 + 13}, 1},
        {{Codec::kOpus, 2, 48000, 48000 * 3 + 1}, 1},
        {{Codec::kOpus, 2, 44100, 44100 * 2}, 1},  // resampled by the encoder
        {{Codec::kOpus, 6, 48000, 48000 + 7}, 1},
    };
    const NoDither noDither;
    TempDir dir;
    for (const auto& c : cases) {
        const OggShape& s = c.shape;
        SCOPED_TRACE(testing::Message()
                     << Name(s.codec) << ", " << s.channels << " channels, " << s.rate << " Hz");
        const std::string path = EncodeOgg(dir, "case", s, OggSignal(s));
        const std::vector<double> reference = Reference(dir, path, s.codec);
        const std::vector<int16_t> want = Expected(reference, s.channels);
        const uint64_t frames = reference.size() / size_t(s.channels);
        if (s.codec == Codec::kVorbis || s.rate == 48000) {
            EXPECT_EQ(frames, s.frames);  // pre-skip and end trimming undone
        }

        TestAudioDevice device;
        PlayerEngine engine(device);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        EXPECT_EQ(device.format.sampleRateHz, int32_t(DecodedRate(s)));
        EXPECT_EQ(device.format.channels, s.channels == 1 ? 1 : 2);
        EXPECT_EQ(engine.songLengthMs(), frames * 1000 / DecodedRate(s));
        device.CompleteAll();
        const std::vector<int16_t> got = AsSamples(device.AllBytes());
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), c.tolerance);
    }
}

// Two square waves at full scale: the decoded signal rings over full scale thousands of times
// a second, and clipping it hard is thousands of LSB from what opusdec plays.
Bytes LoudSquares(uint32_t frames) {
    Bytes pcm(size_t(frames) * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const int left = (i / 109) % 2 ? 32000 : -32000;
        const int right = (i / 73) % 2 ? 31000 : -31000;
        for (int c = 0; c < 2; ++c) {
            const auto v = uint16_t(int16_t(c == 0 ? left : right));
            pcm[4 * i + 2 * c] = uint8_t(v);
            pcm[4 * i + 2 * c + 1] = uint8_t(v >> 8);
        }
    }
    WavParams params;
    params.sampleRate = 48000;
    return MakeWav(params, pcm);
}

// Overs are softened as opusdec softens them, the same whether the run began at the start or
// at a seek a while before.
TEST(OggPlayback, OpusOversAreSoftenedAsTheReferenceDecoderDoes) {
    const NoDither noDither;
    TempDir dir;
    const std::string path = EncodeOpus(dir, "loud", LoudSquares(48000 * 3));
    const std::string out = dir.Path("reference.raw");
    RunTool("opusdec --quiet --rate 48000 --no-dither '" + path + "' '" + out + "'");
    const std::vector<int16_t> want = AsSamples(ReadFileBytes(out));
    const std::vector<int16_t> got = AsSamples(PlayToTheEnd(path));
    ASSERT_EQ(got.size(), want.size());
    EXPECT_LE(MostDifference(got, want), 1);

    const Bytes whole = PlayToTheEnd(path);
    for (const uint32_t ms : {700u, 1500u, 2250u}) {
        const SeekRun run = PlayFrom(path, ms);
        EXPECT_EQ(run.startFrame, ms * 48u) << ms;
        EXPECT_TRUE(run.bytes == Tail(whole, run.startFrame, run.blockAlign)) << ms;
    }
}

// With the dither on, the samples stay within 1 LSB more of the reference, and the same file
// plays the same samples each time.
TEST(OggPlayback, DitherIsRepeatable) {
    TempDir dir;
    const OggShape s{Codec::kOpus, 2, 48000, 48000};
    const std::string path = EncodeOgg(dir, "dither", s, OggSignal(s));
    const std::vector<double> exact = Reference(dir, path, s.codec);
    const std::vector<int16_t> want = Expected(exact, s.channels);
    const Bytes first = PlayToTheEnd(path);
    EXPECT_TRUE(PlayToTheEnd(path) == first);
    const std::vector<int16_t> got = AsSamples(first);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_LE(MostDifference(got, want), 2);
    EXPECT_NE(got, want);
    // The noise has no bias: on average the samples are the reference's unrounded values.
    double bias = 0;
    for (size_t i = 0; i < got.size(); ++i) bias += got[i] - exact[i];
    EXPECT_LT(std::abs(bias / double(got.size())), 0.02);
}

// Files that are not Vorbis or Opus, whatever their name, are refused with the usual words.
TEST(OggPlayback, OtherFilesAreRefused) {
    TempDir dir;
    Bytes speex = {'O', 'g', 'g', 'S', 0, 2, 0, 0, 0, 0,  0,   0,   0,   0,   1,   0,   0,   0,
                   0,   0,   0,   0,   0, 0, 0, 0, 1, 80, 'S', 'p', 'e', 'e', 'x', ' ', ' ', ' '};
    speex.resize(28 + 80, 0);
    const std::string text = "Not a song at all, only words in a file named as one.\n";
    Bytes opusHeadOnly = speex;  // an Opus head and nothing after it
    std::memcpy(opusHeadOnly.data() + 28, "OpusHead", 8);
    const struct {
        std::string name;
        Bytes bytes;
        FileProblem problem;
    } files[] = {
        {"words.opus", Bytes(text.begin(), text.end()), FileProblem::kNotPlayable},
        {"words.ogg", Bytes(text.begin(), text.end()), FileProblem::kNotPlayable},
        {"speex.ogg", speex, FileProblem::kUnsupported},
        {"speex.mp3", speex, FileProblem::kUnsupported},
        {"head-only.opus", opusHeadOnly, FileProblem::kDamaged},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        TestAudioDevice device;
        PlayerEngine engine(device);
        EXPECT_NE(engine.Open(WriteBytes(dir.Path(f.name), f.bytes), 0, kDefaultEndMs),
                  kOpenStarted);
        EXPECT_EQ(engine.failure(), f.problem);
    }
}

// A Vorbis stream whose first audio pages are lost (cut from a longer one) plays what the
// reference plays: from its first page on, no silence for what came before it.
TEST(OggPlayback, AStreamWithoutItsFirstPagesPlaysFromWhereItStarts) {
    const NoDither noDither;
    TempDir dir;
    const OggShape s{Codec::kVorbis, 2, 44100, 44100 * 3};
    const Bytes good = ReadFileBytes(EncodeOgg(dir, "whole", s, OggSignal(s)));
    const auto [from, ignored] = PageBytes(good, 2);
    const auto [to, ignored2] = PageBytes(good, 5);
    Bytes cut(good.begin(), good.begin() + ptrdiff_t(from));
    cut.insert(cut.end(), good.begin() + ptrdiff_t(to), good.end());
    const std::string path = WriteBytes(dir.Path("cut.ogg"), cut);
    const std::vector<int16_t> want = Expected(Reference(dir, path, s.codec), s.channels);
    const std::vector<int16_t> got = AsSamples(PlayToTheEnd(path));
    ASSERT_EQ(got.size(), want.size());
    ASSERT_LT(want.size(), size_t(s.frames) * 2);  // something was cut
    EXPECT_LE(MostDifference(got, want), 1);
}

// Damage plays what decodes, without a crash or a hang (a file cut short, in its headers too, in
// source_contract_test.cpp): a page lost or bits flipped play on, silence standing in for what
// could not be decoded.
TEST(OggPlayback, DamagedFilesPlayWhatDecodes) {
    TempDir dir;
    for (const Codec codec : {Codec::kVorbis, Codec::kOpus}) {
        SCOPED_TRACE(Name(codec));
        const OggShape s{codec, 2, 48000, 48000 * 4};
        // Opus pages of 100 ms, so that each flip spoils only a little of the file.
        const std::string path = EncodeOgg(dir, "good", s, OggSignal(s), "--max-delay 100");
        const Bytes good = ReadFileBytes(path);
        const Bytes whole = PlayToTheEnd(path);
        Bytes flipped = good;
        for (size_t at = good.size() / 4; at < good.size(); at += good.size() / 6)
            flipped[at] ^= 0x41;
        const auto [lostFrom, lostTo] = PageBytes(good, 5);
        Bytes pageLost = good;
        pageLost.erase(pageLost.begin() + ptrdiff_t(lostFrom),
                       pageLost.begin() + ptrdiff_t(lostTo));
        const DamagedFile files[] = {
            {"flipped.ogg", flipped, true},
            {"page-lost.ogg", pageLost, true},
        };
        for (const auto& f : files) {
            SCOPED_TRACE(f.name);
            PlayDamaged(dir, f, whole, 4096);
        }
    }
}

// opusfile cannot seek back to the start of this damaged stream (a page spoiled by the fuzzer)
// once it has read it to its end: the run played again, as a repeat or a seek back does, plays
// what the first played, as does a run after a seek that fails.
TEST(OggPlayback, ADamagedStreamPlaysAgainAfterItsEnd) {
    // The fuzz input: two bytes for the fuzz target's seek, then the file.
    const Bytes input = ReadFileBytes(
        RepoPath("fuzz/regressions/sources/crash-403285177af38310192c53497b57b9a61cd9887d"));
    ASSERT_GT(input.size(), 2u);
    TempDir dir;
    const std::string path =
        WriteBytes(dir.Path("damaged.opus"), Bytes(input.begin() + 2, input.end()));
    InputFile file;
    ASSERT_EQ(file.Open(path), FileProblem::kNone);
    OpusSource source(file);
    const Bytes first = PlayRun(source);
    ASSERT_GT(first.size(), 0u);
    EXPECT_TRUE(PlayRun(source) == first);
    source.Start(source.lengthMs() - 30);
    EXPECT_TRUE(PlayRun(source) == first);
    EXPECT_TRUE(PlayToTheEnd(path) == first);
}

}  // namespace
}  // namespace zirvak::test
