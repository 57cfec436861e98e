// Text for a person's eyes from bytes that may not be UTF-8, such as a file's name, which may
// also hold line breaks or escape sequences that a terminal or a text box would act on.
// Control characters (C0, DEL, C1) are shown as \xNN, one per byte, so that no name can start a
// line or recolour a terminal; a backslash that could be read as the start of such an escape
// (one before 'x' or another backslash) is doubled, so what is shown reads back one way only.
#pragma once

#include <string>
#include <string_view>

namespace zirvak {

// `bytes` as UTF-8 that shows each of them: what is UTF-8 stays as it is, and every byte outside
// a UTF-8 sequence is read as Latin-1 (how most such names were written), so "caf\xE9.mp3"
// shows as "café.mp3" rather than as a question mark. For the window.
std::string ReadableText(std::string_view bytes);

// `bytes` as one line for a terminal or a log: well-formed UTF-8 is kept, and each byte outside
// it is written as \xNN too.
std::string PrintableText(std::string_view bytes);

}  // namespace zirvak
