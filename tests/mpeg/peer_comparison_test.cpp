// Decodes every MP3 fixture with our decoder and with mpg123, run as a black box, and compares
// the two sample by sample. mpg123 rounds where we truncate, so one LSB apart is the limit.
//
// The streams line up on whole frames: a first frame that carries a Xing header (or lame's
// "Info" header of a constant-rate file, which we decode as an ordinary, silent frame) gives us
// one silent slot and mpg123 nothing, so the first frame of real audio is ours at one frame in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "memory_source.h"
#include "mpeg_stream.h"
#include "support/decode_file.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

namespace fs = std::filesystem;

// True when the first frame holds a "Xing" or "Info" tag where it goes: after the header, the
// CRC and the Layer III side information.
bool StartsWithTagFrame(const std::vector<uint8_t>& file, const mpeg::StreamInfo& first) {
    mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    MpegAudioBounds bounds;
    MemorySource source(file);
    if (LocateMpegAudio(*decoder, source, bounds) != FileProblem::kNone) return false;
    const bool mono = first.mode == mpeg::kModeSingleChannel;
    const size_t sideInfo = first.version == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const size_t at = bounds.firstFrame + 4 + (first.crcPresent ? 2 : 0) + sideInfo;
    if (at + 4 > file.size()) return false;
    const std::string tag(reinterpret_cast<const char*>(file.data() + at), 4);
    return tag == "Xing" || tag == "Info";
}

TEST(PeerComparison, FixturesMatchMpg123WithinOneLsb) {
    ZIRVAK_REQUIRE_DECODER_PATH();
    if (std::system("mpg123 --version >/dev/null 2>&1") != 0) {
        if (ConformanceRequired()) FAIL() << "mpg123 is required but not installed";
        GTEST_SKIP() << "mpg123 not installed; skipping the peer comparison";
    }
    const std::vector<std::string> files = ListFiles(RepoPath("tests/fixtures/mp3"), ".mp3");
    ASSERT_GE(files.size(), 15u);
    std::printf("%-40s %6s %6s %6s %9s\n", "fixture", "ours", "mpg123", "offset", "max|diff|");
    for (const std::string& path : files) {
        const std::string name = fs::path(path).filename().string();
        SCOPED_TRACE(name);
        const DecodedStream ours = DecodeFile(path);
        ASSERT_TRUE(ours.setUp) << "refused with error " << ours.error;
        EXPECT_EQ(ours.framesDecoded, ours.frames);
        const std::vector<int16_t> peer = Mpg123Samples(path);
        ASSERT_FALSE(peer.empty()) << "mpg123 failed";

        const std::vector<int16_t> samples = AsSamples(ours.pcm);
        const size_t frameSamples = size_t(ours.info.outputBytesPerFrame) / 2;
        ASSERT_EQ(peer.size() % frameSamples, 0u) << "mpg123 wrote other channels or a part-frame";
        const int peerFrames = int(peer.size() / frameSamples);

        // The frame offset that lines the two up best, among the few it could be.
        int offset = 0, best = INT32_MAX;
        for (int k = 0; k <= 2 && k < ours.frames; ++k) {
            const size_t n = std::min(samples.size() - size_t(k) * frameSamples, peer.size());
            int diff = 0;
            for (size_t i = 0; i < n; ++i)
                diff = std::max(diff, std::abs(samples[size_t(k) * frameSamples + i] - peer[i]));
            if (diff < best) best = diff, offset = k;
        }
        std::printf("%-40s %6d %6d %6d %9d\n", name.c_str(), ours.frames, peerFrames, offset, best);
        const int expectedOffset = StartsWithTagFrame(ReadFileBytes(path), ours.info) ? 1 : 0;
        EXPECT_EQ(offset, expectedOffset);
        EXPECT_LE(best, 1);
        EXPECT_EQ(ours.frames - offset, peerFrames);
        // Two silent outputs would agree too.
        EXPECT_GT(*std::max_element(peer.begin(), peer.end()), 2000);
    }
}

}  // namespace
}  // namespace zirvak::test
