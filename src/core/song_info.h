// What is known of the song that plays: its tags, and where its cover was written for the
// desktop's controls. Tags never decide whether a song plays: whatever they lack or spoil is
// left empty. The cover is written once and not kept in memory.
#pragma once

#include <string>

#include "song_tags.h"

namespace zirvak {

class SongInfo {
public:
    // Where each song's cover is written; none: covers are not written.
    void UseCoverFolder(std::string folder) { coverFolder_ = std::move(folder); }

    // The song at `path` ("": no song, all empty).
    void Read(const std::string& path);

    // Its tags, the cover left out, and where the cover went ("" without one).
    const SongTags& tags() const { return tags_; }
    const std::string& coverPath() const { return coverPath_; }

private:
    std::string coverFolder_;
    SongTags tags_;
    std::string coverPath_;
};

// The file's name without its folder.
std::string FileTitle(const std::string& path);

}  // namespace zirvak
