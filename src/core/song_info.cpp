#include "song_info.h"

#include "cover_cache.h"
#include "file_tags.h"

namespace zirvak {

void SongInfo::Read(const std::string& path) {
    tags_ = path.empty() ? SongTags{} : ReadTagsOf(path);
    coverPath_ = coverFolder_.empty() ? std::string() : SaveCover(tags_.cover, coverFolder_);
    tags_.cover = {};
}

std::string FileTitle(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace zirvak
