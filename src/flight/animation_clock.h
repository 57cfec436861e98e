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
    bool paused = false;

    void Restart(uint32_t tickCount) {
        playStartTick = tickCount;
        pausedMs = 0;
        paused = false;
    }
    // Called both on pausing and on resuming.
    void TogglePause(uint32_t tickCount) {
        pausedMs = tickCount - pausedMs;
        paused = !paused;
    }
    void Update(uint32_t tickCount) { elapsedMs = ElapsedAt(tickCount); }
    // The playing time at `tickCount`; in a pause, the time the pause began at. Before a start
    // still to come (the sound is on its way to the output), 0.
    uint32_t ElapsedAt(uint32_t tickCount) const {
        const uint32_t t = paused ? pausedMs - playStartTick : tickCount - playStartTick - pausedMs;
        return int32_t(t) < 0 ? 0 : t;
    }
    // Makes `positionMs` the playing time at `tickCount` (after a seek), in a pause or out of
    // one: a pause goes on, and the time runs on from there once it ends.
    void MoveTo(uint32_t tickCount, uint32_t positionMs) {
        playStartTick = tickCount - positionMs;
        pausedMs = paused ? tickCount : 0;
        elapsedMs = positionMs;
    }
};

}  // namespace zirvak
