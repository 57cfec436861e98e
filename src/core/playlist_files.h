// Which files a list of paths names for the queue: files as given, folders by the playable
// files inside them, searched through their sub-folders, in the order a person expects, and
// playlists (.m3u, .m3u8, .pls) by the entries they list.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zirvak {

// Natural order: runs of digits compare by their value ("track 2" before "track 10"), other
// characters without regard to letter case; ties fall back to plain byte order, so the order is
// total and stable.
bool NaturalLess(const std::string& a, const std::string& b);

// The extensions of playlists, lower case, and their MIME types. (Those of the files a folder
// brings and the Open dialog offers are the formats', format_table.h: the file itself is played
// by its content, whatever its name.) Playlists are no format: they name files of the formats.
inline constexpr std::array<std::string_view, 3> kPlaylistExtensions = {"m3u", "m3u8", "pls"};
inline constexpr std::array<std::string_view, 4> kPlaylistMimeTypes = {
    "audio/x-mpegurl", "audio/mpegurl", "application/vnd.apple.mpegurl", "audio/x-scpls"};

// A name with one of the formats' extensions, in any letter case.
bool HasPlayableExtension(const std::string& path);

// A playlist by its name: one of kPlaylistExtensions in any letter case.
bool HasPlaylistExtension(const std::string& path);

// A shell pattern matching the extension `lowerExtension` in any letter case: "mp3" gives
// "*.[mM][pP]3".
std::string AnyCasePattern(std::string_view lowerExtension);

// An entry of a playlist that names nothing the queue can hold.
struct SkippedEntry {
    enum class Reason { kMissing, kNetworkStream };
    std::string entry;     // the file it names (made absolute or joined to the playlist's folder)
    std::string playlist;  // the playlist that lists it
    Reason reason;
};

struct ExpandedPaths {
    std::vector<std::string> files;
    std::vector<SkippedEntry> skipped;  // in the order they were met
    // A listed file's title as its playlist gives it ("#EXTINF", "TitleN"): the first listing's.
    std::map<std::string, std::string> titles;
};

// `paths` with every folder replaced by the playable files in it and its sub-folders, in the
// natural order of their paths, and every playlist by what its entries name, in its order (an
// entry that is a folder or a playlist expanded in turn). Files named directly or listed stay,
// whatever their extension (they may still be playable); paths named directly that do not
// exist stay too, so opening them says why, while listed entries that do not exist, or that
// are network streams, are skipped. Hidden files and folders (a name starting with '.') are
// left out of folders; a folder reached twice through links, and a playlist listed again
// (by itself, or by one it lists), is read once.
ExpandedPaths ExpandPaths(const std::vector<std::string>& paths);

}  // namespace zirvak
