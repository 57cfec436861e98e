// What a folder shows in the Open dialog: its sub-folders, then the files that match a filter,
// each by its name's bytes (which need not be UTF-8), in the order a person expects.
#pragma once

#include <string>
#include <vector>

namespace zirvak {

struct FolderEntry {
    std::string name;  // the bytes on disk
    bool isFolder = false;
};

// The entries of `folder`: folders first, then the files whose names match one of the shell
// patterns in `patterns` ("*.mp3", "*.[wW][aA][vV]"), each group in natural order. Hidden names
// (a leading '.') are left out. Nothing when the folder cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder,
                                    const std::vector<std::string>& patterns);

// The patterns of a filter as the dialog shows it: "All playable files (*.mp3 *.wav)" gives
// {"*.mp3", "*.wav"}.
std::vector<std::string> FilterPatterns(const std::string& filter);

}  // namespace zirvak
