#include "support/fixtures.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

namespace fs = std::filesystem;

namespace zirvak::test {

std::string ConformanceDir() {
    if (const char* env = std::getenv("ZIRVAK_CONFORMANCE_DIR"); env && *env) {
        return fs::is_directory(env) ? std::string(env) : std::string();
    }
    const fs::path beside = fs::path(ZIRVAK_SOURCE_DIR) / ".." / "shared" / "conformance";
    return fs::is_directory(beside) ? beside.lexically_normal().string() : std::string();
}

bool ConformanceRequired() {
    const char* env = std::getenv("ZIRVAK_REQUIRE_CONFORMANCE");
    return env != nullptr && std::string(env) == "1";
}

std::string RepoPath(const std::string& relative) {
    return (fs::path(ZIRVAK_SOURCE_DIR) / relative).string();
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadFileText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

bool FinishesDespiteFifo(const std::function<void()>& work, const std::string& fifo, int seconds) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) return true;
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    done.wait();
    if (fd >= 0) ::close(fd);
    return false;
}

bool FileExists(const std::string& path) {
    return fs::is_regular_file(path);
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix,
                                   bool recursive) {
    std::vector<std::string> files;
    auto consider = [&](const fs::directory_entry& entry) {
        const std::string name = entry.path().string();
        if (entry.is_regular_file() && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            files.push_back(name);
    };
    if (recursive) {
        for (const auto& entry : fs::recursive_directory_iterator(dir)) consider(entry);
    } else {
        for (const auto& entry : fs::directory_iterator(dir)) consider(entry);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace zirvak::test

namespace zirvak::test {

uint32_t TestSeed() {
    const char* env = std::getenv("ZIRVAK_SEED");
    const uint32_t seed = env ? uint32_t(std::strtoul(env, nullptr, 10)) : 20261206u;
    std::printf("SEED=%u (set ZIRVAK_SEED to repeat or vary)\n", seed);
    return seed;
}

}  // namespace zirvak::test
