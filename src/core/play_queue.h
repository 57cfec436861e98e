// The songs to play, in order, and which one is current. Moving through it is all it does:
// opening the files is the commands' part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zirvak {

class PlayQueue {
public:
    // Within this much of a song's start, "previous" goes to the song before; later it starts
    // the song again.
    static constexpr uint32_t kRestartWithinMs = 3000;

    // The queue becomes `files`, some with the titles their playlists gave them (by path);
    // none is current until one is chosen.
    void Replace(std::vector<std::string> files, std::map<std::string, std::string> titles = {});

    size_t size() const { return files_.size(); }
    bool empty() const { return files_.empty(); }
    const std::vector<std::string>& files() const { return files_; }
    std::optional<size_t> current() const { return current_; }
    // The current song's path; empty when there is none.
    std::string CurrentFile() const;
    // The title a playlist gave the file at `path`; empty when none did.
    std::string ListedTitle(const std::string& path) const;

    // Makes song `index` current; false (and nothing changes) when there is no such song.
    bool MoveTo(size_t index);
    // Takes song `index` out (a song that cannot be played): the songs after it move up one,
    // and when it was the current one, none is current.
    void Remove(size_t index);
    // The song after the current one (the first when none is current), if any.
    std::optional<size_t> NextIndex() const;
    // Where "previous" goes `positionMs` into the current song: the song before within the
    // first three seconds (the first song stays the first), else the current song again.
    std::optional<size_t> PreviousIndex(uint32_t positionMs) const;

private:
    std::vector<std::string> files_;
    std::map<std::string, std::string> titles_;
    std::optional<size_t> current_;
};

}  // namespace zirvak
