#include "status_snapshot.h"

#include "readable_text.h"
#include "transport_commands.h"

namespace zirvak {

StatusSnapshot TakeSnapshot(const TransportCommands& commands, uint32_t tick) {
    StatusSnapshot status;
    status.volumePercent = commands.volumePercent();
    status.songCount = commands.queue().size();
    status.seeks = commands.seeks();
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
    status.titleFromTags = !tags.title.empty();
    status.title = status.titleFromTags ? tags.title : ReadableText(FileTitle(status.path));
    status.artist = tags.artist;
    status.album = tags.album;
    status.trackNumber = tags.trackNumber;
    status.positionMs = commands.PositionAt(tick);
    status.lengthMs = commands.LengthMs();
    status.coverPath = commands.coverPath();
    status.outputLost = commands.OutputLost();
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
