// Ogg Vorbis and Opus playback against Debian's `oggdec` and `opusdec` as the references: files
// encoded at test time by `oggenc` and `opusenc` from PCM made here. With the dither off the
// engine's samples are within 1 LSB of the reference rounded; the length is the reference's to
// the sample frame; seeks land on the exact frame; damaged and disguised files play.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input_file.h"
#include "opus_source.h"
#include "pcm_reduce.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "vorbis_source.h"

namespace zirvak::test {
namespace {

enum class Codec { kVorbis, kOpus };

struct Shape {
    Codec codec = Codec::kVorbis;
    int32_t channels = 2;
    uint32_t rate = 44100;  // of the PCM encoded; Opus always decodes at 48 kHz
    uint32_t frames = 44100;
};

const char* Name(Codec codec) {
    return codec == Codec::kVorbis ? "Vorbis" : "Opus";
}

// The dither off while a test compares with a reference rounded without it.
struct NoDither {
    NoDither() { ditherOff = true; }
    ~NoDither() { ditherOff = false; }
};

// Interleaved 16-bit samples: a tone per channel with some noise.
Bytes Signal(const Shape& shape) {
    Bytes out;
    uint32_t seed = 11;
    for (uint32_t i = 0; i < shape.frames; ++i)
        for (int32_t c = 0; c < shape.channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (double(seed >> 8) / double(1 << 24) - 0.5) * 0.05;
            const double tone = std::sin(2 * M_PI * (330.0 * (c + 1)) * i / shape.rate) * 0.6;
            const auto v = int16_t(std::lround((tone + noise) * 32767));
            out.push_back(uint8_t(v));
            out.push_back(uint8_t(uint16_t(v) >> 8));
        }
    return out;
}

// Encodes `pcm` of `shape` to `dir`/`name` (.ogg or .opus) with the codec's encoder.
std::string Encode(const TempDir& dir, const std::string& name, const Shape& shape,
                   const Bytes& pcm, const std::string& opusArgs = "") {
    const std::string raw = WriteBytes(dir.Path(name + ".raw"), pcm);
    const std::string channels = std::to_string(shape.channels);
    const std::string rate = std::to_string(shape.rate);
    if (shape.codec == Codec::kVorbis) {
        const std::string out = dir.Path(name + ".ogg");
        RunTool("oggenc --quiet -r -B 16 -C " + channels + " -R " + rate + " -q 4 -o '" + out +
                "' '" + raw + "'");
        return out;
    }
    const std::string out = dir.Path(name + ".opus");
    RunTool("opusenc --quiet --raw --raw-bits 16 --raw-rate " + rate + " --raw-chan " + channels +
            " --bitrate 96 " + opusArgs + " '" + raw + "' '" + out + "'");
    return out;
}

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

uint32_t DecodedRate(const Shape& shape) {
    return shape.codec == Codec::kOpus ? 48000 : shape.rate;
}

TEST(OggPlayback, MatchesTheReferenceDecoder) {
    const struct {
        Shape shape;
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
        const Shape& s = c.shape;
        SCOPED_TRACE(testing::Message()
                     << Name(s.codec) << ", " << s.channels << " channels, " << s.rate << " Hz");
        const std::string path = Encode(dir, "case", s, Signal(s));
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

// With the dither on, the samples stay within 1 LSB more of the reference, and the same file
// plays the same samples each time.
TEST(OggPlayback, DitherIsRepeatable) {
    TempDir dir;
    const Shape s{Codec::kOpus, 2, 48000, 48000};
    const std::string path = Encode(dir, "dither", s, Signal(s));
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

// Every byte played after a seek to `ms`, with the sample frame the run began at.
std::pair<Bytes, uint64_t> PlayFrom(const std::string& path, uint32_t ms) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    device.CompleteOldest();
    device.written.clear();
    EXPECT_EQ(engine.Seek(ms), kOpenStarted) << ms;
    const uint64_t startFrame = engine.runStartFrame();
    device.CompleteAll();
    return {device.AllBytes(), startFrame};
}

// The granule position of the `n`-th page of an Ogg file (pages counted from 0).
uint64_t PageGranule(const Bytes& ogg, int n) {
    size_t at = 0;
    for (int page = 0; at + 27 <= ogg.size(); ++page) {
        uint64_t granule = 0;
        for (int b = 7; b >= 0; --b) granule = granule << 8 | ogg[at + 6 + size_t(b)];
        if (page == n) return granule;
        size_t body = 0;
        for (int i = 0; i < ogg[at + 26]; ++i) body += ogg[at + 27 + size_t(i)];
        at += 27 + ogg[at + 26] + body;
    }
    return 0;
}

TEST(OggSeek, PlaysWhatTheUnbrokenRunPlaysFromThatFrame) {
    const Shape shapes[] = {
        {Codec::kVorbis, 2, 44100, 44100 * 4 + 5},
        {Codec::kVorbis, 6, 48000, 48000 * 2},
        {Codec::kOpus, 2, 48000, 48000 * 4 + 5},
        {Codec::kOpus, 1, 48000, 48000 * 2},
    };
    TempDir dir;
    for (const Shape& s : shapes) {
        SCOPED_TRACE(testing::Message() << Name(s.codec) << ", " << s.channels << " channels");
        const std::string path = Encode(dir, "seek", s, Signal(s), "--max-delay 100");
        const Bytes whole = PlayToTheEnd(path);
        const uint32_t rate = DecodedRate(s);
        const uint32_t blockAlign = s.channels == 1 ? 2 : 4;
        const uint64_t frames = whole.size() / blockAlign;
        const auto length = uint32_t(frames * 1000 / rate);
        // The end of the fourth page, as a time (Opus counts its pre-skip in the granule).
        const uint64_t preSkip = s.codec == Codec::kOpus ? 312 : 0;
        const auto pageEdgeMs =
            uint32_t((PageGranule(ReadFileBytes(path), 4) - preSkip) * 1000 / rate);
        ASSERT_GT(pageEdgeMs, 0u);
        for (const uint32_t t : {0u, 1u, pageEdgeMs, pageEdgeMs + 1, length / 2, length - 1}) {
            SCOPED_TRACE(t);
            ASSERT_LT(t, length);
            const auto [bytes, startFrame] = PlayFrom(path, t);
            EXPECT_EQ(startFrame, uint64_t(t) * rate / 1000);
            const size_t from = size_t(startFrame) * blockAlign;
            ASSERT_LE(from, whole.size());
            EXPECT_TRUE(bytes == Bytes(whole.begin() + ptrdiff_t(from), whole.end()))
                << bytes.size() << " bytes played of " << whole.size() - from;
        }
    }
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

// The byte range of the `n`-th page.
std::pair<size_t, size_t> PageBytes(const Bytes& ogg, int n) {
    size_t at = 0;
    for (int page = 0; at + 27 <= ogg.size(); ++page) {
        size_t body = 0;
        for (int i = 0; i < ogg[at + 26]; ++i) body += ogg[at + 27 + size_t(i)];
        const size_t end = at + 27 + ogg[at + 26] + body;
        if (page == n) return {at, end};
        at = end;
    }
    return {ogg.size(), ogg.size()};
}

// A Vorbis stream whose first audio pages are lost (cut from a longer one) plays what the
// reference plays: from its first page on, no silence for what came before it.
TEST(OggPlayback, AStreamWithoutItsFirstPagesPlaysFromWhereItStarts) {
    const NoDither noDither;
    TempDir dir;
    const Shape s{Codec::kVorbis, 2, 44100, 44100 * 3};
    const Bytes good = ReadFileBytes(Encode(dir, "whole", s, Signal(s)));
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

// Damage plays what decodes, without a crash or a hang: a file cut short ends early; a page
// lost or bits flipped play on, silence standing in for what could not be decoded.
TEST(OggPlayback, DamagedFilesPlayWhatDecodes) {
    TempDir dir;
    for (const Codec codec : {Codec::kVorbis, Codec::kOpus}) {
        SCOPED_TRACE(Name(codec));
        const Shape s{codec, 2, 48000, 48000 * 4};
        // Opus pages of 100 ms, so that each flip spoils only a little of the file.
        const std::string path = Encode(dir, "good", s, Signal(s), "--max-delay 100");
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
            {"cut.ogg", Bytes(good.begin(), good.begin() + ptrdiff_t(good.size() / 2)), false},
            {"cut-in-headers.ogg", Bytes(good.begin(), good.begin() + 60), false, true},
            {"flipped.ogg", flipped, true},
            {"page-lost.ogg", pageLost, true},
        };
        for (const auto& f : files) {
            SCOPED_TRACE(f.name);
            PlayDamaged(dir, f, whole, 4096);
        }
    }
}

// Every byte of a run of `source` from its start.
Bytes RunFromTheStart(AudioSource& source) {
    const RunStart run = source.Start(std::nullopt);
    EXPECT_EQ(run.problem, FileProblem::kNone);
    Bytes out(run.first.data, run.first.data + run.first.length);
    for (uint32_t i = 1; i <= run.lastBufferIndex && !run.first.cameShort; ++i) {
        const SourceBuffer b = source.Fill(uint8_t(i % 2), i);
        out.insert(out.end(), b.data, b.data + b.length);
        if (b.cameShort) break;
    }
    return out;
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
    const Bytes first = RunFromTheStart(source);
    ASSERT_GT(first.size(), 0u);
    EXPECT_TRUE(RunFromTheStart(source) == first);
    source.Start(source.lengthMs() - 30);
    EXPECT_TRUE(RunFromTheStart(source) == first);
    EXPECT_TRUE(PlayToTheEnd(path) == first);
}

}  // namespace
}  // namespace zirvak::test
