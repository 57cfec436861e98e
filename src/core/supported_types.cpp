#include "supported_types.h"

#include "format_table.h"
#include "playlist_files.h"

namespace zirvak {

std::vector<std::string> SupportedMimeTypes() {
    std::vector<std::string> types;
    for (const std::string_view type : PlayableMimeTypes()) types.emplace_back(type);
    for (const std::string_view type : kPlaylistMimeTypes) types.emplace_back(type);
    return types;
}

}  // namespace zirvak
