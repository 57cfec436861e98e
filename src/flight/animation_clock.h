// Playing time of the animation, in milliseconds of the system tick count. All arithmetic is
// unsigned 32-bit so it stays right when the tick count wraps.
#pragma once

#include <cstdint>

namespace zirvak {

struct AnimationClock {
    uint32_t playStartTick = 0;
    // While playing: total time spent paused. While paused: the tick the pause began at minus
    // that total, so that the same subtraction on resuming gives the new total.
    uint32_t pausedMs = 0;
    uint32_t elapsedMs = 0;

    void Restart(uint32_t tickCount) {
        playStartTick = tickCount;
        pausedMs = 0;
    }
    // Called both on pausing and on resuming.
    void TogglePause(uint32_t tickCount) { pausedMs = tickCount - pausedMs; }
    void Update(uint32_t tickCount) { elapsedMs = tickCount - playStartTick - pausedMs; }
};

}  // namespace zirvak
