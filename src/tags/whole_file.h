// Files Zirvak writes whole, its settings and the covers it hands out. Each is written under a
// fresh, unpredictable name beside the target, created exclusively, so that nothing another user
// or program planted there (a symlink, a FIFO, a file of theirs) is followed, opened or waited
// on; then flushed to the disk and renamed over the target. A crash leaves the old file or the
// new one, and a symlink at the target's own name is replaced, never written through.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace zirvak {

// Writes `bytes` as the file `name` in the folder open as `folderFd`, with permissions `mode`.
// False, with nothing left behind, when it cannot.
bool ReplaceFileAt(int folderFd, const std::string& name, std::string_view bytes, mode_t mode);

// The same for `path`, in its folder as the path names it.
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode);

}  // namespace zirvak
