// Inputs of the benchmarks: the repository's sample, the conformance streams beside the
// repository, and the files bench/make_bench_files.sh makes under build/bench-files.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zirvak::bench {

inline std::string SourcePath(const std::string& relative) {
    return std::string(ZIRVAK_SOURCE_DIR) + "/" + relative;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace zirvak::bench
