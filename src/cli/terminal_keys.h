// The keys the terminal player takes: plain characters and the arrow and Home keys, which a
// terminal sends as escape sequences.
#pragma once

#include <string>

namespace zirvak::cli {

enum class Key {
    None,  // the deadline came, or a signal
    Char,  // a plain character
    Up,
    Down,
    Left,
    Right,
    ShiftLeft,
    ShiftRight,
    Home,
    Other,  // an escape sequence of another key
};

struct KeyPress {
    Key key = Key::None;
    char ch = 0;  // for Key::Char
};

// What an escape sequence (without its ESC) names: "[A" is Up, "[1;2C" Shift+Right, and Home
// comes as "[H", "OH", "[1~" or "[7~".
Key DecodeEscape(const std::string& sequence);

}  // namespace zirvak::cli
