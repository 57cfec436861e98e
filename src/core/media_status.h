// What the desktop's media controls show of the player: whether it plays, the song and what
// can be done next. Read from the commands as they stand, so any way of driving the player
// (menu, keys, the desktop) shows alike; two readings compare equal when nothing the controls
// show has changed (the position, which moves all the time, is read on its own).
#pragma once

#include <cstdint>
#include <string>

#include "transport_commands.h"

namespace zirvak {

enum class PlaybackStatus { Stopped, Playing, Paused };

struct MediaStatus {
    PlaybackStatus playback = PlaybackStatus::Stopped;
    bool hasSong = false;
    size_t songIndex = 0;  // in the queue; counts only with a song
    std::string path;      // of the song
    std::string title;     // from the tags, else the file's name
    std::string artist;
    std::string album;
    int trackNumber = 0;
    uint32_t lengthMs = 0;
    std::string coverPath;  // the cover written to the cache folder; empty without one
    uint32_t volumePercent = 100;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;

    bool operator==(const MediaStatus&) const = default;
};

MediaStatus ReadMediaStatus(const TransportCommands& commands);

// "Playing", "Paused", "Stopped".
const char* PlaybackStatusName(PlaybackStatus status);

}  // namespace zirvak
