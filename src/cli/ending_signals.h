// Catches SIGINT, SIGTERM and SIGHUP while it lives, so the terminal player ends cleanly on them:
// the terminal restored, the sound card closed.
#pragma once

#include <signal.h>

namespace zirvak::cli {

class EndingSignals {
public:
    // Forgets a signal caught before.
    EndingSignals();
    ~EndingSignals();
    EndingSignals(const EndingSignals&) = delete;
    EndingSignals& operator=(const EndingSignals&) = delete;

    // The signal caught since, or 0.
    static int caught();

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction saved_[3]{};
};

}  // namespace zirvak::cli
