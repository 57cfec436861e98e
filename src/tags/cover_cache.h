// The covers written out for whatever shows them by file (a desktop's media controls, a
// notification): one file per picture, named by its bytes, in a folder of the user's own.
#pragma once

#include <string>

#include "song_tags.h"

namespace zirvak {

// The per-user folder covers are written to: $XDG_CACHE_HOME/zirvak/covers, or
// ~/.cache/zirvak/covers.
// $XDG_CACHE_HOME and $HOME count only when they hold an absolute path; "" when neither does.
std::string CoverCacheFolder();

// Writes `cover` into `folder` (created if needed, private to the user) under a name made from
// a hash of its bytes, so the same picture is written once; returns the file's path, or "" when
// there is no cover or it cannot be written.
// The name is the 64-bit FNV-1a hash of the bytes in 16 hex digits, then ".jpg", ".png" or
// ".img" by the MIME type. The file is written whole and renamed into place (whole_file.h), so
// no reader ever sees half a picture. A file of that name is kept only when it is a regular
// file holding these very bytes. A `folder` that is a symlink is replaced by a folder of our
// own; one that is not the user's own folder gets no covers.
std::string SaveCover(const CoverArt& cover, const std::string& folder);

}  // namespace zirvak
