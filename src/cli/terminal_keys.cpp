#include "terminal_keys.h"

namespace zirvak::cli {

Key DecodeEscape(const std::string& s) {
    if (s == "[A" || s == "OA") return Key::Up;
    if (s == "[B" || s == "OB") return Key::Down;
    if (s == "[C" || s == "OC") return Key::Right;
    if (s == "[D" || s == "OD") return Key::Left;
    if (s == "[1;2C") return Key::ShiftRight;
    if (s == "[1;2D") return Key::ShiftLeft;
    if (s == "[H" || s == "OH" || s == "[1~" || s == "[7~") return Key::Home;
    return Key::Other;
}

}  // namespace zirvak::cli
