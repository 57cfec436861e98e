// The commands of zirvak-cli. Each returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace zirvak::cli {

// Describes each file in a block of its own; one that cannot be read gets its message and the
// others are still described.
int RunInfo(const std::vector<std::string>& paths);
int RunDecode(const std::string& path, const std::string& outPath);
int RunRender(const std::string& path, const std::string& outPath);
// Plays the files (and the playable files in the folders) `paths` name, one after another.
int RunPlay(const std::vector<std::string>& paths);

}  // namespace zirvak::cli
