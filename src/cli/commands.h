// The commands of zirvak-cli. Each returns the process exit status.
#pragma once

#include <string>

namespace zirvak::cli {

int RunInfo(const std::string& path);
int RunDecode(const std::string& path, const std::string& outPath);
int RunRender(const std::string& path, const std::string& outPath);
int RunPlay(const std::string& path);

}  // namespace zirvak::cli
