// The commands of zirvak-cli. Each returns the process exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "replay_gain.h"

namespace zirvak::cli {

// Options of the commands that play: the ReplayGain mode for this run (none: the settings').
struct PlayOptions {
    std::optional<ReplayGainMode> replayGain;
    // MPEG songs without their encoder's delay and padding; none: as the settings say (play),
    // or as the stream holds them (decode, render).
    std::optional<bool> gapless;
};

// Describes each file in a block of its own; one that cannot be read gets its message and the
// others are still described.
int RunInfo(const std::vector<std::string>& paths);
int RunDecode(const std::string& path, const std::string& outPath, const PlayOptions& options = {});
// Renders the songs `paths`, one after another as a queue plays them, into the WAV file
// `outPath`.
int RunRender(const std::vector<std::string>& paths, const std::string& outPath,
              const PlayOptions& options);
// Plays the files (and the playable files in the folders) `paths` name, one after another.
int RunPlay(const std::vector<std::string>& paths, const PlayOptions& options);
// Measures each file's loudness, range and peak and the ReplayGain 2.0 gains, in a table with a
// last row for the files as one album.
int RunLoudness(const std::vector<std::string>& paths);

}  // namespace zirvak::cli
