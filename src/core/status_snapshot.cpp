#include "status_snapshot.h"

#include <cstdio>

#include "playback_session.h"
#include "readable_text.h"
#include "song_info.h"

namespace zirvak {

StatusSnapshot TakeSnapshot(const PlaybackSession& session, uint32_t volumePercent, uint32_t tick) {
    StatusSnapshot status;
    status.volumePercent = volumePercent;
    status.songCount = session.queue().size();
    status.seeks = session.seeks();
    const PlayerState state = session.PlaybackState();
    const std::optional<size_t> current = session.queue().current();
    if (state == NoFile || !current) return status;
    status.playback = state == Playing  ? PlaybackStatus::Playing
                      : state == Paused ? PlaybackStatus::Paused
                                        : PlaybackStatus::Stopped;
    status.hasSong = true;
    status.songIndex = *current;
    const SongInfo& song = session.song();
    const SongTags& tags = song.tags;
    status.path = song.path;
    status.titleFromTags = song.titleFromTags();
    status.title = status.titleFromTags ? song.title() : ReadableText(song.title());
    status.artist = tags.artist;
    status.album = tags.album;
    status.trackNumber = tags.trackNumber;
    status.positionMs = session.PositionAt(tick);
    status.lengthMs = session.LengthMs();
    status.coverPath = session.coverPath();
    status.outputLost = session.OutputLost();
    status.canGoNext = session.queue().NextIndex().has_value();
    status.canGoPrevious = true;  // the song before, or this one from its start
    status.canPlay = true;
    status.canPause = true;
    status.canSeek = status.lengthMs > 0;
    return status;
}

std::string FormatTime(uint32_t ms) {
    const uint32_t s = ms / 1000;
    char text[24];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%u:%02u", s / 60, s % 60);
    return text;
}

const char* PlaybackStatusName(PlaybackStatus status) {
    switch (status) {
        case PlaybackStatus::Playing:
            return "Playing";
        case PlaybackStatus::Paused:
            return "Paused";
        default:
            return "Stopped";
    }
}

}  // namespace zirvak
