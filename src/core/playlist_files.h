// Which files a list of paths names for the queue: files as given, folders by the playable
// files inside them, searched through their sub-folders, in the order a person expects.
#pragma once

#include <string>
#include <vector>

namespace zirvak {

// Natural order: runs of digits compare by their value ("track 2" before "track 10"), other
// characters without regard to letter case; ties fall back to plain byte order, so the order is
// total and stable.
bool NaturalLess(const std::string& a, const std::string& b);

// A name the player can play by its extension: .mp1, .mp2, .mp3 or .wav in any letter case.
bool HasPlayableExtension(const std::string& path);

// `paths` with every folder replaced by the playable files in it and its sub-folders, in the
// natural order of their paths. Files named directly stay, whatever their
// extension (they may still be playable); paths that do not exist stay too, so opening them
// says why. Hidden files and folders (a name starting with '.') are left out of folders, and
// a folder reached twice through links is read once.
std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths);

}  // namespace zirvak
