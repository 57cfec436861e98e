// The gain a song plays at from its ReplayGain values: which of them a mode takes, a preamp on
// top, a fallback for songs without values, and the clipping its peak says the gain would
// cause held off. Applied by the sound output with the volume, after the beats are marked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_tags.h"

namespace zirvak {

// off: every song as it is; track: each song at its own loudness; album: the album's gain, so
// an album keeps its quiet and loud songs; auto: album where the song before or after in the
// queue is of the same album, else track.
enum class ReplayGainMode { kOff, kTrack, kAlbum, kAuto };

// "off", "track", "album", "auto"; nothing for anything else.
std::optional<ReplayGainMode> ParseReplayGainMode(std::string_view text);
const char* ReplayGainModeName(ReplayGainMode mode);

struct ReplayGainSettings {
    ReplayGainMode mode = ReplayGainMode::kOff;
    double preampDb = 0;    // added to every gain the values give
    double fallbackDb = 0;  // the gain of a song without values
    bool preventClipping = true;

    bool operator==(const ReplayGainSettings&) const = default;
};

// The factor the song's samples are multiplied by (1 with the mode off). `inAlbum`: the song
// before or after it in the queue is of the same album (for the auto mode). The album's gain
// falls back to the track's where the tags give only that, and the track's to the album's.
// With clipping prevented, the factor never lifts the peak the chosen gain goes with above
// full scale.
double ReplayGainFactor(const ReplayGainValues& values, const ReplayGainSettings& settings,
                        bool inAlbum);

// True when the song before or after song `index` of `paths` is of the album `album` (for the
// auto mode); never for a song without an album.
bool NeighbourInAlbum(const std::vector<std::string>& paths, size_t index,
                      const std::string& album);

}  // namespace zirvak
