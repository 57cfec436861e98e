// The terminal in single-key mode, and the keys the player takes from it: plain characters and
// the arrow and Home keys, which a terminal sends as escape sequences.
#pragma once

#include <termios.h>

#include <chrono>
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

// Puts the terminal into single-key mode while it lives (when stdin is a terminal).
class RawTerminal {
public:
    RawTerminal();
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // Waits until `deadline` for a key; returns it at once when one comes.
    KeyPress WaitForKey(std::chrono::steady_clock::time_point deadline) const;

private:
    termios saved_{};
    bool active_ = false;
};

}  // namespace zirvak::cli
