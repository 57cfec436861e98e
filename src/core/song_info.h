// What is known of a song of the queue, read once when it is opened or prepared to follow: its
// file, its tags, where its cover was written for the desktop's controls, the gain it plays at,
// and the name every part of the player shows it by. Tags never decide whether a song plays:
// whatever they lack or spoil is left empty. The cover is written once and not kept in memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "replay_gain.h"
#include "song_tags.h"

namespace zirvak {

struct SongInfo {
    std::string path;         // empty: no song
    SongTags tags;            // the cover left out
    std::string coverPath;    // where the cover went; "" without one
    double gain = 1.0;        // its ReplayGain, as the settings make it
    std::string listedTitle;  // what its playlist calls it; "" when none did

    // The title shown: the tags', else its playlist's, else the file's name (the last two bytes
    // as they are: each front end shows them in its own way).
    bool titleFromTags() const { return !tags.title.empty(); }
    std::string title() const;
};

// The song at `path` ("": no song, all empty): its tags, its cover written into `coverFolder`
// (none: no cover is written). Its gain is left at 1.
SongInfo ReadSongInfo(const std::string& path, const std::string& coverFolder);

// The gain the song at `index` of the queue `files` plays at, by its tags and `settings` (the
// auto mode takes the album's gain where a neighbour in the queue is of the same album).
double SongGain(const SongTags& tags, const ReplayGainSettings& settings,
                const std::vector<std::string>& files, size_t index);

// The file's name without its folder.
std::string FileTitle(const std::string& path);

}  // namespace zirvak
