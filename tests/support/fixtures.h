// Where the tests find their input files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zirvak::test {

// The conformance folder: $ZIRVAK_CONFORMANCE_DIR, else ../shared/conformance beside the
// repository. Empty when neither exists.
std::string ConformanceDir();

// True when CI demands the conformance vectors (ZIRVAK_REQUIRE_CONFORMANCE=1).
bool ConformanceRequired();

// A file of the repository, by its path from the repository root.
std::string RepoPath(const std::string& relative);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
// The file's bytes as text (a program's output, a log).
std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);

// Runs `work`, which may open the FIFO `fifo`; true when it is done within `seconds`. When it
// is not (it opened the FIFO and waits for the other end), the FIFO is opened at both ends to let
// it go: a fault fails the test instead of hanging it.
bool FinishesDespiteFifo(const std::function<void()>& work, const std::string& fifo,
                         int seconds = 5);

// The seed of a randomised test: $ZIRVAK_SEED, or a fixed default. Printed as SEED=, so a
// failing run can be repeated.
uint32_t TestSeed();

// Files of `dir` whose names end in `suffix`, sorted; with `recursive`, sub-folders too.
std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix,
                                   bool recursive = false);

}  // namespace zirvak::test

// Skips the current test when the conformance vectors are missing, or fails it when CI
// requires them. Use at the top of a test body; `dir` receives the folder.
#define ZIRVAK_REQUIRE_CONFORMANCE_DIR(dir)                                              \
    do {                                                                                 \
        (dir) = ::zirvak::test::ConformanceDir();                                        \
        if ((dir).empty()) {                                                             \
            if (::zirvak::test::ConformanceRequired())                                   \
                FAIL() << "conformance vectors required but not found "                  \
                          "(set ZIRVAK_CONFORMANCE_DIR or place ../shared/conformance)"; \
            GTEST_SKIP() << "conformance vectors not found; set ZIRVAK_CONFORMANCE_DIR"; \
        }                                                                                \
    } while (0)
