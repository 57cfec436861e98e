#include "folder_listing.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "playlist_files.h"

namespace zirvak {

namespace {

struct CloseDir {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool Matches(const std::string& name, const std::vector<std::string>& patterns) {
    return std::any_of(patterns.begin(), patterns.end(), [&name](const std::string& pattern) {
        return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
    });
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder,
                                    const std::vector<std::string>& patterns) {
    std::vector<FolderEntry> entries;
    const std::unique_ptr<DIR, CloseDir> dir(opendir(folder.c_str()));
    if (!dir) return entries;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        struct stat st {};
        // Through links, as the player opens them; a broken link shows as the file it names.
        const bool folderNamed = stat((prefix + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (folderNamed || Matches(name, patterns)) entries.push_back({name, folderNamed});
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (a.isFolder != b.isFolder) return a.isFolder;
        return NaturalLess(a.name, b.name);
    });
    return entries;
}

std::vector<std::string> FilterPatterns(const std::string& filter) {
    const size_t open = filter.rfind('('), close = filter.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return {"*"};
    std::vector<std::string> patterns;
    const std::string inside = filter.substr(open + 1, close - open - 1);
    for (size_t at = 0; at < inside.size();) {
        const size_t space = std::min(inside.find(' ', at), inside.size());
        if (space > at) patterns.push_back(inside.substr(at, space - at));
        at = space + 1;
    }
    return patterns;
}

}  // namespace zirvak
