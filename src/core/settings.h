// What the player remembers between runs, shared by the window and the terminal: the volume,
// the picture's zoom, the folder the Open dialog used last and the ReplayGain mode. One small text
// file of "key=value" lines in the user's configuration folder. Anything missing, out of range or
// unreadable in it means that setting's default: a damaged file never stops the player.
#pragma once

#include <string>

#include "replay_gain.h"

namespace zirvak {

struct Settings {
    static constexpr int kVolumeStep = 5;  // percent
    static constexpr int kMaxZoom = 4;

    int volumePercent = 100;  // 0..100
    int zoom = 0;             // 1..4, or 0: follow the screen's pixel ratio
    std::string lastFolder;   // empty: the current folder
    ReplayGainMode replayGain = ReplayGainMode::kOff;
    double replayGainPreampDb = 0;    // -15..15, added to every gain the tags give
    double replayGainFallbackDb = 0;  // -24..24, the gain of a song without values
    bool replayGainPreventClipping = true;
    bool gapless = true;  // MPEG songs without their encoder's delay and padding
};

// $XDG_CONFIG_HOME/zirvak/settings, or ~/.config/zirvak/settings when that is unset or not an
// absolute path. Empty when neither it nor $HOME is usable.
std::string SettingsPath();

// The settings in `path`; defaults for whatever is missing or wrong.
Settings LoadSettings(const std::string& path);

// Writes `settings` to `path` whole, private to the user (a fresh file renamed over it, so a
// crash leaves the old file or the new one, and nothing planted beside it is followed),
// creating its folder. False when it cannot be written.
bool SaveSettings(const std::string& path, const Settings& settings);

}  // namespace zirvak
