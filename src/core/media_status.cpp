#include "media_status.h"

#include "readable_text.h"

namespace zirvak {

MediaStatus ReadMediaStatus(const TransportCommands& commands) {
    MediaStatus status;
    status.volumePercent = commands.volumePercent();
    const PlayerState state = commands.PlaybackState();
    const std::optional<size_t> current = commands.queue().current();
    if (state == NoFile || !current) return status;
    status.playback = state == Playing  ? PlaybackStatus::Playing
                      : state == Paused ? PlaybackStatus::Paused
                                        : PlaybackStatus::Stopped;
    status.hasSong = true;
    status.songIndex = *current;
    status.path = commands.queue().CurrentFile();
    const SongTags& tags = commands.songTags();
    status.title = tags.title.empty() ? ReadableText(FileTitle(status.path)) : tags.title;
    status.artist = tags.artist;
    status.album = tags.album;
    status.trackNumber = tags.trackNumber;
    status.lengthMs = commands.LengthMs();
    status.coverPath = commands.coverPath();
    status.canGoNext = commands.queue().NextIndex().has_value();
    status.canGoPrevious = true;  // the song before, or this one from its start
    status.canPlay = true;
    status.canPause = true;
    status.canSeek = status.lengthMs > 0;
    return status;
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
