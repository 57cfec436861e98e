// Whether a file can be played, found as the engine's Open finds it (the file opened, its format
// found by its content and its source's first run started), without touching the engine or a
// sound output: for a player that keeps its song playing until a new one is sure to play.
#pragma once

#include <string>

#include "file_problem.h"

namespace zirvak {

// kNone when `path` plays; otherwise why not, with the detail that goes with it.
FileProblem CheckPlayable(const std::string& path, std::string* detail = nullptr);

}  // namespace zirvak
