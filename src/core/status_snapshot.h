// Where the player stands, taken once after every command and every tick and read by all that
// shows it: the window's line, the terminal's line and the desktop's media controls. Two
// snapshots compare equal when nothing shown has changed.
#pragma once

#include <cstdint>
#include <string>

#include "replay_gain.h"

namespace zirvak {

class PlaybackSession;

enum class PlaybackStatus { Stopped, Playing, Paused };

struct StatusSnapshot {
    PlaybackStatus playback = PlaybackStatus::Stopped;
    bool hasSong = false;
    size_t songIndex = 0;  // in the queue; counts only with a song
    size_t songCount = 0;  // songs in the queue
    std::string path;      // of the song
    std::string title;     // from the tags, else the file's name (shown readably)
    bool titleFromTags = false;
    std::string artist;
    std::string album;
    int trackNumber = 0;
    uint32_t positionMs = 0;
    uint32_t lengthMs = 0;
    std::string coverPath;  // the cover written to the cache folder; empty without one
    uint32_t volumePercent = 100;
    ReplayGainMode replayGain = ReplayGainMode::kOff;  // as the songs from the next on play
    bool outputLost = false;  // the sound output went away; it is being tried again
    uint64_t seeks = 0;       // how many times playback jumped in a song (a seek, back to start)
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;

    bool operator==(const StatusSnapshot&) const = default;
};

// The snapshot of `session` at `tick`, with the volume set.
StatusSnapshot TakeSnapshot(const PlaybackSession& session, uint32_t volumePercent, uint32_t tick);

// A time as a player shows it: "m:ss", or "h:mm:ss" from an hour on.
std::string FormatTime(uint32_t ms);

// "Playing", "Paused", "Stopped".
const char* PlaybackStatusName(PlaybackStatus status);

}  // namespace zirvak
