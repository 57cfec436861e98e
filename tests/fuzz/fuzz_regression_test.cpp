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

}  // namespace
}  // namespace zirvak::test
