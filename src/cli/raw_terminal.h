// The terminal in single-key mode, and the keys read from it one at a time.
#pragma once

#include <termios.h>

#include <chrono>

#include "terminal_keys.h"

namespace zirvak::cli {

// Puts the terminal into single-key mode while it lives (when stdin is a terminal).
class RawTerminal {
public:
    RawTerminal();
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // Waits until `deadline` for a key; returns it at once when one comes, and no key at once
    // when `alsoFd` (unless -1) is readable.
    KeyPress WaitForKey(std::chrono::steady_clock::time_point deadline, int alsoFd = -1) const;

private:
    termios saved_{};
    bool active_ = false;
};

}  // namespace zirvak::cli
