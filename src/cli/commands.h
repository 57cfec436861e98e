// The commands of zirvak-cli. Each returns the process exit status.
#pragma once

#include <cstdint>
#include <string>

namespace zirvak {
class PlayerEngine;
}

namespace zirvak::cli {

int RunInfo(const std::string& path);
int RunDecode(const std::string& path, const std::string& outPath);
int RunRender(const std::string& path, const std::string& outPath);
int RunPlay(const std::string& path);

// The one line that says why the engine's Open of `path` gave `result`.
std::string OpenFailureText(const PlayerEngine& engine, const std::string& path, int32_t result);

}  // namespace zirvak::cli
