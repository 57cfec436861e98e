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

// One byte of stdin if it comes within `timeoutMs`, and before `alsoFd` (when not -1) is
// readable.
bool ReadByte(int timeoutMs, unsigned char& c, int alsoFd = -1) {
    pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {alsoFd, POLLIN, 0}};
    if (poll(p, alsoFd >= 0 ? 2 : 1, timeoutMs) <= 0 || (p[1].revents & POLLIN)) return false;
    return read(STDIN_FILENO, &c, 1) == 1;
}

// A terminal sends an escape sequence at once; its bytes arrive within a few milliseconds.
constexpr int kSequenceGapMs = 20;

}  // namespace

KeyPress RawTerminal::WaitForKey(std::chrono::steady_clock::time_point deadline, int alsoFd) const {
    using namespace std::chrono;
    // Rounded up: a wait cut short of the deadline would come back to wait again at once, and
    // spin through the last millisecond before every tick.
    const auto left = duration_cast<microseconds>(deadline - steady_clock::now());
    const int timeout = int(std::max<int64_t>((left.count() + 999) / 1000, 0));
    if (!active_) {
        pollfd p{alsoFd, POLLIN, 0};
        poll(&p, alsoFd >= 0 ? 1 : 0, timeout);
        return {};
    }
    unsigned char c = 0;
    if (!ReadByte(timeout, c, alsoFd)) return {};  // the tick, `alsoFd`, or a signal
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
