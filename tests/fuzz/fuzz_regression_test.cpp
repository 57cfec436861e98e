// Every input the fuzzers keep (their corpus) and every input that once found a fault (the
// regressions) goes through the fuzz targets' bodies in the ordinary builds, so the sanitizer
// build catches a fault coming back without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_targets.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

void RunAll(const std::string& target, void (*body)(const uint8_t*, size_t)) {
    int inputs = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::string dir = RepoPath("fuzz/" + std::string(kind) + "/" + target);
        if (!std::filesystem::is_directory(dir)) continue;  // no findings yet
        for (const std::string& path : ListFiles(dir, "")) {
            SCOPED_TRACE(path);
            const std::vector<uint8_t> bytes = ReadFileBytes(path);
            body(bytes.data(), bytes.size());
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 0) << "no inputs for " << target;
}

TEST(FuzzRegressions, Decoder) {
    RunAll("decoder", fuzz::DecodeMpeg);
}
TEST(FuzzRegressions, Engine) {
    RunAll("engine", fuzz::PlayFile);
}
TEST(FuzzRegressions, BeatMarkers) {
    RunAll("beat_markers", fuzz::MarkBeatsOf);
}
TEST(FuzzRegressions, Tags) {
    RunAll("tags", fuzz::ReadTagsOf);
}
TEST(FuzzRegressions, FlacVorbisAndOpusSources) {
    RunAll("flac", fuzz::PlayFlac);
    RunAll("vorbis", fuzz::PlayVorbis);
    RunAll("opus", fuzz::PlayOpus);
}

// The illegal, nonstandard and cut-off streams of the conformance set, each played by the
// engine from its start to its end (every buffer completed).
TEST(FuzzRegressions, UnusualConformanceStreamsPlayThroughTheEngine) {
    std::string dir;
    ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir);
    std::vector<std::string> files = ListFiles(dir + "/fuzz", "", true);
    for (const std::string& f : ListFiles(dir, ".bit")) {
        const std::string name = f.substr(f.rfind('/') + 1);
        if (name.rfind("ILL", 0) == 0 || name.find("nonstandard") != std::string::npos ||
            name.find("free") != std::string::npos || name.rfind("l3-he_mode", 0) == 0)
            files.push_back(f);
    }
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        // A script that only ever completes buffers, then the file.
        std::vector<uint8_t> input = {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        input.insert(input.end(), bytes.begin(), bytes.end());
        fuzz::PlayFile(input.data(), input.size());
    }
}

}  // namespace
}  // namespace zirvak::test
