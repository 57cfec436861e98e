// The tags of a file, read as its format lays them out: the one call every reader of a song's
// tags makes.
#pragma once

#include <string>

#include "song_tags.h"

namespace zirvak {

// The file's format found by its content (a file none recognises is taken for MPEG audio), its
// tags read where that format keeps them. Empty fields for a file that cannot be opened.
SongTags ReadTagsOf(const std::string& path);

}  // namespace zirvak
