// Where playback stands, as heard: the playing time of the run (ms of the song), left out while
// paused, held while the sound output is lost and until a new output takes music, moved by
// seeks, and never ahead of the music handed to the output. Both players keep one: the window's
// flight reads its time, the terminal asks it whether a beat falls within the coming tick.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "animation_clock.h"
#include "beat_follower.h"
#include "player_engine.h"

namespace zirvak {

class PlaybackClock {
public:
    // The players look at the clock this often: the animation's tick.
    static constexpr uint32_t kTickMs = 75;
    // The longest an output that came back may take to start playing before the clock runs on.
    static constexpr uint32_t kOutputStartMs = 3000;

    explicit PlaybackClock(const PlayerEngine& engine) : engine_(engine) {}

    // A run from the song's start: the time is 0 at `tick`, and runs once the output's latency
    // has gone by, when the first sample is heard.
    void Restart(uint32_t tick);
    // The time is `positionMs` once the output's latency after `tick` has gone by (a seek, or
    // what the output has taken of a joined song); a pause goes on.
    void MoveTo(uint32_t tick, uint32_t positionMs);
    // Called on pausing and again on resuming, so playing time leaves the pause out.
    void TogglePause(uint32_t tick);

    // Once a tick, before anything reads the time: holds the time while the output is lost
    // (where the output stopped taking music, which is where it goes on from), until a new
    // output takes music again, and keeps it within the music handed to the output. False
    // while held.
    bool Follow(uint32_t tick);
    // Lets go of a hold for a lost output (the user paused, stopped or sought: the run is new).
    void Release(uint32_t tick);
    // Held for a lost output, or one that has not yet started again.
    bool held() const { return heldForOutput_; }

    // The playing time at `tick`, and as the last Follow saw it.
    uint32_t ElapsedAt(uint32_t tick) const { return time_.ElapsedAt(tick); }
    const AnimationClock& time() const { return time_; }
    // Where the music handed to the output so far ends, in ms of the song.
    uint32_t HandedMs() const;
    // Where playback stands at `tick`: the time, bounded by what was handed to the output (a run
    // that ended early ends there) and by the song's `lengthMs`.
    uint32_t PositionAt(uint32_t tick, uint32_t lengthMs) const;

    // Whether one of `marks` (the sounding buffer's beats) falls within the tick from `tick` on,
    // for a player without the flight, which finds its own.
    bool BeatInTick(uint32_t tick, std::span<const BeatMark> marks);

private:
    // Where in the song the output has taken the music to.
    uint32_t SoundStoppedAtMs() const;

    const PlayerEngine& engine_;
    AnimationClock time_;
    BeatState listened_;
    bool heldForOutput_ = false;
    uint64_t pendingWhenHeld_ = 0;       // what the output had not taken when it was lost
    std::optional<uint32_t> backSince_;  // the tick the output came back at
};

}  // namespace zirvak
