#include "play_lines.h"

#include <sys/ioctl.h>

#include <cstdio>

#include "printable.h"
#include "transport_commands.h"

namespace zirvak::cli {

std::string SongLine(size_t place, size_t count, const SongInfo& song) {
    char line[48];
    std::snprintf(line, sizeof line, "[%zu/%zu] ", place, count);
    std::string text = line;
    if (!song.tags.artist.empty()) text += Printable(song.tags.artist) + " \u2013 ";
    return text + Printable(song.title());
}

std::string ProgressLine(std::span<const std::string> parts, bool beat, size_t columns) {
    constexpr std::string_view kGap = "  ";
    const size_t room = columns > 0 ? columns - 1 : 0;
    std::string line;
    for (const std::string& part : parts) {
        const size_t gap = line.empty() ? 0 : kGap.size();
        if (line.size() + gap + part.size() > room) {
            if (line.empty()) line = part.substr(0, room);
            return line;
        }
        line.append(kGap.substr(0, gap)).append(part);
    }
    if (line.size() + kGap.size() + 1 <= room) {
        line += kGap;
        line += beat ? "\x1b[1;33m*\x1b[0m" : " ";
    }
    return line;
}

size_t TerminalColumns(int fd) {
    winsize size{};
    return ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

}  // namespace zirvak::cli
