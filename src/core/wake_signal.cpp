#include "wake_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zirvak {

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal() {
    if (fd_ >= 0) close(fd_);
}

void WakeSignal::Raise() {
    if (fd_ < 0) return;
    const uint64_t one = 1;
    // Full only after 2^64 - 1 raises never taken; a raise then is one already there.
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

bool WakeSignal::Take() {
    uint64_t count = 0;
    return fd_ >= 0 && read(fd_, &count, sizeof count) == ssize_t(sizeof count) && count > 0;
}

}  // namespace zirvak
