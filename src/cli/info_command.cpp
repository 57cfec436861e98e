#include <cstdio>

#include "commands.h"
#include "input.h"
#include "printable.h"
#include "song_tags.h"

namespace zirvak::cli {

namespace {

// "3/12", or "3" without a total.
std::string PlaceInSet(int number, int total) {
    char text[32];
    if (total > 0)
        std::snprintf(text, sizeof text, "%d/%d", number, total);
    else
        std::snprintf(text, sizeof text, "%d", number);
    return text;
}

// What the tags say, where they say anything; damaged or missing tags print nothing.
void PrintTags(const SongTags& tags) {
    if (!tags.title.empty()) std::printf("title:       %s\n", Printable(tags.title).c_str());
    if (!tags.artist.empty()) std::printf("artist:      %s\n", Printable(tags.artist).c_str());
    if (!tags.album.empty()) std::printf("album:       %s\n", Printable(tags.album).c_str());
    if (tags.year > 0) std::printf("year:        %d\n", tags.year);
    if (!tags.genre.empty()) std::printf("genre:       %s\n", Printable(tags.genre).c_str());
    if (tags.trackNumber > 0)
        std::printf("track:       %s\n", PlaceInSet(tags.trackNumber, tags.trackTotal).c_str());
    if (tags.discNumber > 0)
        std::printf("disc:        %s\n", PlaceInSet(tags.discNumber, tags.discTotal).c_str());
    if (!tags.cover.empty())
        std::printf("cover:       %s, %zu bytes\n",
                    tags.cover.mimeType.empty() ? "picture" : tags.cover.mimeType.c_str(),
                    tags.cover.data.size());
}

}  // namespace

int RunInfo(const std::vector<std::string>& paths) {
    bool anyFailed = false, anyShown = false;
    for (const std::string& path : paths) {
        Input in;
        std::string error;
        if (!OpenInput(path, in, error)) {
            std::fflush(stdout);  // the message after the blocks before it, on a terminal
            Fail(error);
            anyFailed = true;
            continue;
        }
        if (anyShown) std::printf("\n");
        anyShown = true;
        std::printf("file:        %s\n", Printable(path).c_str());
        // The format's lines, their values in one column after the labels.
        if (in.format->describe)
            for (const InfoLine& line : in.format->describe(*in.source, in.file.size()))
                std::printf("%-13s%s\n", (line.label + ":").c_str(), line.value.c_str());
        PrintTags(ReadSongTags(path, in.format->tags));
    }
    if (!FlushStandardOutput()) return 1;
    return anyFailed ? 1 : 0;
}

}  // namespace zirvak::cli
