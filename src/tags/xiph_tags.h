// Comments of Xiph.Org's kind and the pictures and tags that come with them, in each layout of
// the table that holds them (TagLayout: which blocks or packets, and an ID3v2 tag before the
// stream that fills what the comments leave empty).
#pragma once

#include "format_table.h"
#include "read_only_file.h"
#include "song_tags.h"

namespace zirvak {

// Reads the tags of `file` laid out as `layout` says: one of the layouts of comments (any
// other reads nothing).
void ReadXiphLayoutFile(ReadOnlyFile& file, TagLayout layout, SongTags& out);

}  // namespace zirvak
