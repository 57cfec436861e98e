// The window program's command line: options, then the files and folders to play. Parsed
// before any window exists, so --help and --version need no display.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "replay_gain.h"

namespace zirvak {

struct AppOptions {
    bool help = false;
    bool version = false;
    bool newInstance = false;                  // never hand the files to a running window
    std::optional<std::string> screenshot;     // save the window here and quit
    int ticks = 60;                            // animation ticks before the screenshot
    std::optional<ReplayGainMode> replayGain;  // for this run; none: as the settings say
    std::optional<bool> gapless;               // for this run; none: as the settings say
    std::vector<std::string> files;
    std::string error;  // what is wrong with the command line; empty when nothing is
};

// `args` without the program's name. Options may come in any order before and among the files;
// "--" makes everything after it a file.
AppOptions ParseAppCommandLine(const std::vector<std::string>& args);

// The usage lines, and what --help prints after them: what the program plays (every format of
// the table) and the options.
extern const char* const kAppUsage;
std::string AppHelp();

}  // namespace zirvak
