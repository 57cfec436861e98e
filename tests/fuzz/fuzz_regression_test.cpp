// Every input the fuzzers keep (their corpus) and every input that once found a fault (the
// regressions) goes through the fuzz targets' bodies in the ordinary builds, so the sanitizer
// build catches a fault coming back without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "format_table.h"
#include "fuzz_targets.h"
#include "memory_source.h"
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
TEST(FuzzRegressions, EveryFormatsSource) {
    RunAll("sources", fuzz::PlaySourceOf);
}

// The sources' seeds are files of the formats decoded by libraries, each found by its content
// (after the two bytes that choose the seek), so that each library is reached.
TEST(FuzzRegressions, SourceSeedsReachEveryLibrary) {
    std::map<std::string, int> seeds;
    for (const std::string& path : ListFiles(RepoPath("fuzz/corpus/sources"), "")) {
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        ASSERT_GT(bytes.size(), 2u) << path;
        MemorySource file(std::span<const uint8_t>(bytes).subspan(2));
        const FileFormat& format = FormatOf(file);
        ++seeds[format.names.size() ? std::string(*format.names.begin()) : "refused"];
    }
    for (const char* name : {"FLAC", "Ogg Vorbis", "Opus"}) EXPECT_GE(seeds[name], 8) << name;
    EXPECT_EQ(seeds["MP3"], 0);
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
