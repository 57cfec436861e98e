#include "song_info.h"

#include "cover_cache.h"
#include "file_tags.h"

namespace zirvak {

std::string SongInfo::title() const {
    if (titleFromTags()) return tags.title;
    return listedTitle.empty() ? FileTitle(path) : listedTitle;
}

SongInfo ReadSongInfo(const std::string& path, const std::string& coverFolder) {
    SongInfo song;
    if (path.empty()) return song;
    song.path = path;
    song.tags = ReadTagsOf(path);
    if (!coverFolder.empty()) song.coverPath = SaveCover(song.tags.cover, coverFolder);
    song.tags.cover = {};
    return song;
}

double SongGain(const SongTags& tags, const ReplayGainSettings& settings,
                const std::vector<std::string>& files, size_t index) {
    const bool albumNear =
        settings.mode == ReplayGainMode::kAuto && NeighbourInAlbum(files, index, tags.album);
    return ReplayGainFactor(tags.replayGain, settings, albumNear);
}

std::string FileTitle(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace zirvak
