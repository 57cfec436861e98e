// What the terminal player writes: a line naming each song as it starts, and the progress line
// it draws again in place on every tick, fitted to the terminal's width.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "song_info.h"

namespace zirvak::cli {

// "[2/5] Kelebek – Gece": the song's place in the queue, then "Artist – Title" from its tags
// (an en dash between, as the window writes it). Without a title the file's name stands in for
// it, made printable; without an artist the title stands alone.
std::string SongLine(size_t place, size_t count, const SongInfo& song);

// The progress line for a terminal `columns` wide, without the carriage return before it:
// `parts` (ASCII, such as "1:02 / 3:40", "playing", "volume 80%", "song 2/5") two spaces apart,
// then the beat mark, a "*" in colour while `beat`, else a space. The last column is left free
// (a character there makes some terminals move to the next line), parts that do not fit are
// left out from the last on, and a first part that alone does not fit is cut.
std::string ProgressLine(std::span<const std::string> parts, bool beat, size_t columns);

// The width of the terminal on `fd`, 0 when it is no terminal or does not say.
size_t TerminalColumns(int fd);

}  // namespace zirvak::cli
