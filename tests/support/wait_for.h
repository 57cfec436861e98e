// Waiting for something another thread or process does, on a machine that may be busy with
// other work: poll until it holds, never sleep a fixed time and hope.
#pragma once

#include <chrono>
#include <thread>

namespace zirvak::test {

// Polls `done` every `poll` until it holds or `timeout` has gone by; whether it held. It is
// asked once more after the deadline, so a condition met during the last sleep still counts.
template <class Condition>
bool WaitFor(Condition&& done, std::chrono::milliseconds timeout,
             std::chrono::milliseconds poll = std::chrono::milliseconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

}  // namespace zirvak::test
