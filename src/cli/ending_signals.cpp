#include "ending_signals.h"

#include <cstddef>

namespace zirvak::cli {

namespace {

volatile sig_atomic_t endingSignal = 0;

void OnSignal(int sig) {
    endingSignal = sig;
}

}  // namespace

EndingSignals::EndingSignals() {
    endingSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &saved_[i]);
}

EndingSignals::~EndingSignals() {
    for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
}

int EndingSignals::caught() {
    return endingSignal;
}

}  // namespace zirvak::cli
