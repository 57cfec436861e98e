#include "file_tags.h"

#include "format_table.h"
#include "input_file.h"

namespace zirvak {

SongTags ReadTagsOf(const std::string& path) {
    InputFile file;
    return file.Open(path) == FileProblem::kNone ? ReadSongTags(path, FormatOf(file).tags)
                                                 : SongTags{};
}

}  // namespace zirvak
