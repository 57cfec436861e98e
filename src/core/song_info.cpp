#include "song_info.h"

#include "song_tags.h"

namespace zirvak {

void SongInfo::Read(const std::string& path) {
    tags_ = path.empty() ? SongTags{} : ReadSongTags(path);
    coverPath_ = coverFolder_.empty() ? std::string() : SaveCover(tags_.cover, coverFolder_);
    tags_.cover = {};
}

}  // namespace zirvak
