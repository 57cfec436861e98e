#include "raw_terminal.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace zirvak::cli {

RawTerminal::RawTerminal() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

RawTerminal::~RawTerminal() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

namespace {

// One byte of stdin if it comes within `timeoutMs`.
bool ReadByte(int timeoutMs, unsigned char& c) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0 && read(STDIN_FILENO, &c, 1) == 1;
}

// A terminal sends an escape sequence at once; its bytes arrive within a few milliseconds.
constexpr int kSequenceGapMs = 20;

}  // namespace

KeyPress RawTerminal::WaitForKey(std::chrono::steady_clock::time_point deadline) const {
    using namespace std::chrono;
    // Rounded up: a wait cut short of the deadline would come back to wait again at once, and
    // spin through the last millisecond before every tick.
    const auto left = duration_cast<microseconds>(deadline - steady_clock::now());
    const int timeout = int(std::max<int64_t>((left.count() + 999) / 1000, 0));
    if (!active_) {
        poll(nullptr, 0, timeout);
        return {};
    }
    unsigned char c = 0;
    if (!ReadByte(timeout, c)) return {};  // the tick, or a signal
    if (c != 0x1b) return {Key::Char, char(c)};
    // An escape sequence: "[" or "O", then parameters, up to a letter or "~".
    std::string sequence;
    while (sequence.size() < 8 && ReadByte(kSequenceGapMs, c)) {
        sequence += char(c);
        if (sequence.size() > 1 && (std::isalpha(c) || c == '~')) break;
    }
    return {DecodeEscape(sequence), 0};
}

}  // namespace zirvak::cli
