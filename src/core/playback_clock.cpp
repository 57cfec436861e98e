#include "playback_clock.h"

#include <algorithm>

#include "animation.h"

namespace zirvak {

static_assert(PlaybackClock::kTickMs == Animation::tickInterval, "one tick for both players");

// What the output is given is heard its latency later: the time starts, or moves, then.
void PlaybackClock::Restart(uint32_t tick) {
    heldForOutput_ = false;
    time_.Restart(tick + engine_.outputLatencyMs());
}

void PlaybackClock::MoveTo(uint32_t tick, uint32_t positionMs) {
    time_.MoveTo(tick + engine_.outputLatencyMs(), positionMs);
}

void PlaybackClock::TogglePause(uint32_t tick) {
    time_.TogglePause(tick);
}

void PlaybackClock::Release(uint32_t tick) {
    if (!heldForOutput_) return;
    time_.TogglePause(tick);
    heldForOutput_ = false;
}

bool PlaybackClock::Follow(uint32_t tick) {
    const bool lost = engine_.state() != NoFile && engine_.outputStatus().lost;
    if (lost && !heldForOutput_ && engine_.state() == Playing) {
        // Held where the sound stopped: the output goes on from what it had not taken, so the
        // clock does too, and agrees with what is heard once it is back.
        const uint32_t position =
            std::min(PositionAt(tick, engine_.songLengthMs()), SoundStoppedAtMs());
        time_.TogglePause(tick);
        time_.MoveTo(tick, position);
        heldForOutput_ = true;
        pendingWhenHeld_ = engine_.framesPending();
        backSince_.reset();
    } else if (!lost && heldForOutput_) {
        // Back: a new output may take a while before it takes music; the clock runs again when
        // it does (or after a while in any case), so it keeps agreeing with what is heard.
        if (!backSince_) backSince_ = tick;
        if (engine_.framesPending() != pendingWhenHeld_ || tick - *backSince_ >= kOutputStartMs)
            Release(tick);
    }
    // The clock never runs ahead of the music the output was given: when the output falls
    // behind (a busy machine, an output slow to start), the clock waits for it, rather than
    // running on and then leaving the position and the beats ahead of what is heard.
    if (engine_.state() == Playing && !heldForOutput_ && time_.ElapsedAt(tick) > HandedMs())
        time_.MoveTo(tick, HandedMs());
    time_.Update(tick);
    return !heldForOutput_;
}

uint32_t PlaybackClock::HandedMs() const {
    const uint64_t handedFrames = engine_.runStartFrame() + engine_.samplesAnalysed();
    return uint32_t(handedFrames * 1000 / std::max(engine_.sampleRate(), 1u));
}

uint32_t PlaybackClock::SoundStoppedAtMs() const {
    const uint64_t handed = engine_.runStartFrame() + engine_.samplesAnalysed();
    const uint64_t pending = std::min<uint64_t>(engine_.framesPending(), handed);
    return uint32_t((handed - pending) * 1000 / std::max(engine_.sampleRate(), 1u));
}

uint32_t PlaybackClock::PositionAt(uint32_t tick, uint32_t lengthMs) const {
    return std::min({time_.ElapsedAt(tick), HandedMs(), lengthMs});
}

bool PlaybackClock::BeatInTick(uint32_t tick, std::span<const BeatMark> marks) {
    FindBeat(listened_, marks, time_.ElapsedAt(tick), kTickMs);
    return listened_.beatFound;
}

}  // namespace zirvak
