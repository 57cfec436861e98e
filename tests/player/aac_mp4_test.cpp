// AAC in MP4 against ffmpeg's decoder run as a black box, on files ffmpeg encodes here from PCM
// made here: the song's exact length by its edit list, or by an iTunSMPB item alone; `info`
// says where the gap came from; the tables read from the file, wherever the movie box lies;
// files without a movie, or cut short. Seeks, restarts, damage and memory refused:
// source_contract_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "aac_mp4_source.h"
#include "input_file.h"
#include "memory_source.h"
#include "mp4_boxes.h"
#include "pcm_reduce.h"
#include "playable_file.h"
#include "player_fixtures.h"
#include "shaped_songs.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

struct NoDither {
    NoDither() { ditherOff = true; }
    ~NoDither() { ditherOff = false; }
};

// What ffmpeg decodes `path` to, as 16-bit samples (untrimmed where the file has no edit list).
std::vector<int16_t> FfmpegDecoded(const TempDir& dir, const std::string& path) {
    const std::string out = dir.Path("reference.raw");
    RunTool("ffmpeg -v error -y -i '" + path + "' -f s16le '" + out + "'");
    return AsSamples(ReadFileBytes(out));
}

struct Played {
    std::vector<int16_t> samples;
    AudioFormat format;
    Mp4GapOrigin origin{};
};

Played Play(const std::string& path, std::optional<uint32_t> seekMs = std::nullopt) {
    InputFile file;
    EXPECT_EQ(file.Open(path), FileProblem::kNone);
    AacMp4Source source(file);
    Played played;
    RunStart run = source.Start(seekMs);
    EXPECT_EQ(run.problem, FileProblem::kNone) << run.detail;
    played.format = source.format();
    played.origin = source.gapOrigin();
    for (uint32_t i = 0;; ++i) {
        const SourceBuffer buffer = i == 0 ? run.first : source.Fill(uint8_t(i % 2), i);
        const std::vector<int16_t> part = AsSamples({buffer.data, buffer.length});
        for (const int16_t v : part) played.samples.push_back(v);
        if (i >= run.lastBufferIndex) break;
    }
    return played;
}

std::vector<int16_t> Slice(const std::vector<int16_t>& samples, size_t from, size_t count) {
    from = std::min(from, samples.size());
    count = std::min(count, samples.size() - from);
    return {samples.begin() + ptrdiff_t(from), samples.begin() + ptrdiff_t(from + count)};
}

// Adds an iTunSMPB freeform item to the movie's tags of a file ffmpeg wrote: its `moov` is the
// last box, and udta, meta and ilst each the last of their parent, so the item goes at the
// end and each of them grows by its size.
void AddITunSMPB(const std::string& path, uint32_t delay, uint32_t padding, uint64_t samples) {
    Bytes file = ReadFileBytes(path);
    MemorySource source(file);
    const auto be32 = [](Bytes& out, uint64_t v) {
        for (int i = 3; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
    };
    const auto box = [&](const char* type, const Bytes& body) {
        Bytes out;
        be32(out, 8 + body.size());
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(type[i]));
        for (const uint8_t b : body) out.push_back(b);
        return out;
    };
    const auto text = [](const std::string& s, size_t zeros) {
        Bytes out(zeros, 0);
        for (const char c : s) out.push_back(uint8_t(c));
        return out;
    };
    char fields[96];
    std::snprintf(fields, sizeof fields, " 00000000 %08X %08X %016llX", delay, padding,
                  static_cast<unsigned long long>(samples));
    Bytes item = box("mean", text("com.apple.iTunes", 4));
    for (const Bytes& part : {box("name", text("iTunSMPB", 4)), box("data", text(fields, 8))})
        for (const uint8_t b : part) item.push_back(b);
    item[item.size() - std::string(fields).size() - 5] = 1;  // the data's type: UTF-8 text
    const Bytes freeform = box("----", item);
    // The chain of boxes to grow, each the last of its parent.
    std::vector<Mp4Box> chain;
    std::optional<Mp4Box> at = FindBox(source, 0, file.size(), BoxType("moov"));
    for (const auto& [type, skip] : {std::pair{"udta", 0}, {"meta", 0}, {"ilst", 4}}) {
        ASSERT_TRUE(at && at->end == file.size()) << type;
        chain.push_back(*at);
        at = FindChild(source, *at, BoxType(type), uint64_t(skip));
    }
    ASSERT_TRUE(at && at->end == file.size());
    chain.push_back(*at);
    for (const Mp4Box& grown : chain) {
        const uint64_t size = grown.end - grown.start + freeform.size();
        for (int i = 0; i < 4; ++i) file[grown.start + size_t(i)] = uint8_t(size >> (8 * (3 - i)));
    }
    for (const uint8_t b : freeform) file.push_back(b);
    WriteBytes(path, file);
}

TEST(AacMp4Playback, AnEditListGivesTheSongsExactLengthAndFfmpegsSamples) {
    const FlacShape shapes[] = {{2, 44100, 16, 44100 * 2 + 77},
                                {1, 48000, 16, 48000 + 5},
                                {2, 22050, 16, 22050 * 3 + 1000}};
    TempDir dir;
    const NoDither noDither;
    for (const FlacShape& s : shapes) {
        SCOPED_TRACE(testing::Message() << s.channels << " channels, " << s.rate << " Hz");
        const std::string path =
            EncodeAac(dir, "song", s, FlacSignal(s), "-movie_timescale " + std::to_string(s.rate));
        const Played got = Play(path);
        EXPECT_EQ(got.format.sampleRateHz, int32_t(s.rate));
        EXPECT_EQ(got.format.channels, s.channels);
        EXPECT_EQ(got.origin, Mp4GapOrigin::kEditList);
        ASSERT_EQ(got.samples.size(), size_t(s.frames) * size_t(s.channels));
        EXPECT_LE(
            MostDifference(got.samples, Slice(FfmpegDecoded(dir, path), 0, got.samples.size())), 2);
    }
}

// Without an edit list, the iTunSMPB item gives the priming and length; without either, the
// usual priming is cut and the rest plays.
TEST(AacMp4Playback, WithoutAnEditListTheITunSMPBItemCutsTheGap) {
    const FlacShape s{2, 44100, 16, 44100 * 2 + 333};
    TempDir dir;
    const NoDither noDither;
    const std::string path = EncodeAac(dir, "song", s, FlacSignal(s), "-use_editlist 0");
    const std::vector<int16_t> untrimmed = FfmpegDecoded(dir, path);
    const size_t decodedFrames = untrimmed.size() / 2;
    // ffmpeg's encoder primes with one frame of 1024 samples.
    AddITunSMPB(path, 1024, uint32_t(decodedFrames - 1024 - s.frames), s.frames);
    const Played got = Play(path);
    EXPECT_EQ(got.origin, Mp4GapOrigin::kITunSMPB);
    ASSERT_EQ(got.samples.size(), size_t(s.frames) * 2);
    EXPECT_LE(MostDifference(got.samples, Slice(untrimmed, 1024 * 2, got.samples.size())), 2);

    const std::string bare = EncodeAac(dir, "bare", s, FlacSignal(s), "-use_editlist 0");
    const Played usual = Play(bare);
    EXPECT_EQ(usual.origin, Mp4GapOrigin::kUsualPriming);
    EXPECT_LE(MostDifference(usual.samples, Slice(untrimmed, 2112 * 2, usual.samples.size())), 2);
    EXPECT_EQ(usual.samples.size(), size_t(s.frames + 1024 - 2112) * 2);
}

// The movie box first (as for streaming) or last, and a seek to a frame in the middle of an
// access unit: the samples of the whole run from there.
TEST(AacMp4Playback, SeeksLandOnTheirFrameWhereverTheMovieLies) {
    const FlacShape s{2, 44100, 16, 44100 * 3};
    TempDir dir;
    const NoDither noDither;
    for (const char* args : {"-movflags +faststart", ""}) {
        SCOPED_TRACE(args);
        const std::string path =
            EncodeAac(dir, "song", s, FlacSignal(s), std::string("-movie_timescale 44100 ") + args);
        const std::vector<int16_t> whole = Play(path).samples;
        ASSERT_EQ(whole.size(), size_t(s.frames) * 2);
        for (const uint32_t ms : {1u, 1234u, 2999u}) {
            const size_t frame = size_t(ms) * 44100 / 1000;
            const std::vector<int16_t> after = Play(path, ms).samples;
            EXPECT_EQ(after, Slice(whole, frame * 2, whole.size())) << ms;
        }
    }
}

// A file cut short plays the access units its tables find whole; one whose movie box was never
// written (cut while its mdat was) is damaged, in plain words.
TEST(AacMp4Playback, AFileCutShortPlaysWhatIsThereAndOneWithoutItsMovieIsRefused) {
    const FlacShape s{2, 44100, 16, 44100 * 3};
    TempDir dir;
    const std::string front =
        EncodeAac(dir, "front", s, FlacSignal(s), "-movie_timescale 44100 -movflags +faststart");
    Bytes bytes = ReadFileBytes(front);
    bytes.resize(bytes.size() / 2);
    const std::string cut = WriteBytes(dir.Path("cut.m4a"), bytes);
    const Played got = Play(cut);
    EXPECT_GT(got.samples.size(), size_t(s.frames) / 3 * 2);
    EXPECT_LT(got.samples.size(), size_t(s.frames) * 2 * 2 / 3);

    const std::string back = EncodeAac(dir, "back", s, FlacSignal(s));
    bytes = ReadFileBytes(back);
    bytes.resize(bytes.size() / 2);
    std::string detail;
    EXPECT_EQ(CheckPlayable(WriteBytes(dir.Path("unfinished.m4a"), bytes), &detail),
              FileProblem::kDamaged);
    EXPECT_EQ(detail, "the MP4 file has no index of its samples (it was cut short while written)");
}

}  // namespace
}  // namespace zirvak::test
