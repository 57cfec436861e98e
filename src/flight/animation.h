// The animation tick: every tickInterval ms while a file plays it follows the beats, fades the
// lights and moves the butterfly one step through its flight, and says what the picture shows
// while the butterfly is shown. It draws nothing itself: the scene composes the frames it
// returns.
//
// The flight: a take-off at its resting point, then figure-of-eight loops of nine waypoints,
// each waypoint shifted by a random offset, three times as far on ticks with a beat; when
// playback ends, home at four times the speed, the landing frames, and rest.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "beat_follower.h"
#include "butterfly.h"
#include "crt_rand.h"
#include "light_colour.h"
#include "loops.h"
#include "scene.h"

namespace zirvak {

// The loop after a completed one: the same direction or a neighbour, cyclically in 1..4.
// directionBase is two directions away from the current one; r is the random pick.
int32_t DirectionBaseFor(int32_t loopDirection);
int32_t NextLoopDirection(int32_t directionBase, int32_t r);

class Animation {
public:
    // Tick period in ms, and how far ahead a beat is looked for.
    static constexpr uint32_t tickInterval = 75;

    Animation(int32_t pictureWidth, int32_t pictureHeight);

    // What Open and Play do once playback has (re)started: the butterfly takes off from
    // wherever it is, from the first frame of its row. Starting the playing time and the tick
    // timer is the caller's part.
    void RestartFlight();

    // One tick at `tickCount` (system ms), `elapsedMs` into the playing time. `soundingMarkers`
    // are the beat markers of the buffer now sounding: a beat within the coming tick speeds the
    // flight and picks the lights' hue. Returns the frame to show while the butterfly is shown
    // (none at rest).
    std::optional<SceneFrame> Tick(uint32_t tickCount, uint32_t elapsedMs, bool endReached,
                                   std::span<const BeatMark> soundingMarkers);

    // The frame as the last tick made it, for a picture shown again after none was composed for
    // a while: the butterfly where it is, the lights while the music plays.
    SceneFrame CurrentFrame(bool endReached) const;

    // The frame to show before any tick, or after the window was resized: the butterfly back at
    // the start of its current leg, no lights, no frame advance. The next tick puts it back on
    // its path.
    SceneFrame ReturnToLegStart();

    // New random offsets for the next waypoint, within about ±1 grid unit (pictureWidth / 22
    // across, pictureHeight / 17 down).
    void PickJitter();

    Butterfly& butterfly() { return butterfly_; }
    const Butterfly& butterfly() const { return butterfly_; }
    const BeatState& beat() const { return beat_; }
    const ColourFade& fade() const { return fade_; }
    // The lights' colour, as the last tick faded it.
    uint32_t lightColour() const { return lightColour_; }
    const ScaledLoops& loops() const { return loops_; }

private:
    std::optional<SceneFrame> RunFlightMachine(bool endReached, int32_t seconds);
    SceneFrame Draw(bool endReached);
    void ChooseLoopDirection(int32_t seconds);

    int32_t pictureWidth_;
    int32_t pictureHeight_;
    ScaledLoops loops_;
    Butterfly butterfly_;
    BeatState beat_;
    ColourFade fade_;
    uint32_t lightColour_ = 0;
    CrtRand rand_;
};

}  // namespace zirvak
