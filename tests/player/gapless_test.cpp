// MPEG audio without the encoder's delay and padding, against mpg123's default (gapless)
// output as the reference: as many samples as were encoded, within 1 LSB; seeks onto the exact
// sample frame of the song.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gapless_mpeg_source.h"
#include "input_file.h"
#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// mpg123's gapless output of `path`, 16-bit.
std::vector<int16_t> Mpg123Gapless(const TempDir& dir, const std::string& path) {
    const std::string raw = dir.Path("mpg123.raw");
    RunTool("mpg123 -q -s '" + path + "' > '" + raw + "'");
    return AsSamples(ReadFileBytes(raw));
}

// Every sample the source plays from a run started at `seekMs` (none: the start).
std::pair<std::vector<int16_t>, uint64_t> PlaySource(const std::string& path,
                                                     std::optional<uint32_t> seekMs) {
    InputFile file;
    EXPECT_EQ(file.Open(path), FileProblem::kNone);
    GaplessMpegSource source(file, kDefaultEndMs);
    if (seekMs) {
        EXPECT_EQ(source.Start(std::nullopt).problem, FileProblem::kNone);
    }
    const RunStart run = source.Start(seekMs);
    EXPECT_EQ(run.problem, FileProblem::kNone);
    Bytes bytes(run.first.data, run.first.data + run.first.length);
    bool ended = run.first.cameShort;
    for (uint32_t i = 1; i <= run.lastBufferIndex && !ended; ++i) {
        const SourceBuffer b = source.Fill(uint8_t(i % 2), i);
        bytes.insert(bytes.end(), b.data, b.data + b.length);
        ended = b.cameShort;
    }
    return {AsSamples(bytes), run.startFrame};
}

TEST(GaplessMpeg, AsManySamplesAsWereEncodedAsMpg123PlaysThem) {
    TempDir dir;
    const struct {
        const char* lame;
        uint32_t rate;
        int channels;
        uint32_t frames;
    } cases[] = {
        {"-b 128", 44100, 2, 44100 * 2 + 2511},
        {"-V 2", 44100, 2, 44100 + 7},
        {"-b 64", 22050, 1, 22050 * 2 + 100},  // MPEG-2, 576 samples a frame
        {"-b 32", 8000, 1, 8000 * 3 + 1},      // MPEG-2.5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lame);
        WavParams params;
        params.sampleRate = c.rate;
        params.channels = uint16_t(c.channels);
        const std::string mp3 =
            EncodeMp3(dir, "song", MakeWav(params, Pcm16Pattern(c.frames, c.channels)), c.lame);
        const std::vector<int16_t> want = Mpg123Gapless(dir, mp3);
        ASSERT_EQ(want.size(), size_t(c.frames) * size_t(c.channels));
        const auto [got, start] = PlaySource(mp3, std::nullopt);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_LE(MostDifference(got, want), 1);
        // Seeks land on the song's sample frame of that millisecond.
        const uint32_t lengthMs = c.frames * 1000 / c.rate;
        for (const uint32_t t : {0u, 1u, 26u, lengthMs / 2, lengthMs - 1}) {
            SCOPED_TRACE(t);
            const auto [from, frame] = PlaySource(mp3, t);
            ASSERT_EQ(frame, uint64_t(t) * c.rate / 1000);
            const size_t at = size_t(frame) * size_t(c.channels);
            ASSERT_EQ(from.size(), got.size() - at);
            const std::vector<int16_t> rest(got.begin() + ptrdiff_t(at), got.end());
            EXPECT_EQ(MostDifference(from, rest), 0);
        }
    }
}

}  // namespace
}  // namespace zirvak::test
