// Everything the butterfly's flight remembers from one tick to the next.
#pragma once

#include <cstdint>

#include "geometry.h"
#include "scene.h"

namespace zirvak {

// Order matters: states before Landing let the sprite frame wrap round its row.
enum class FlightState : int32_t {
    TakeOff = 0,
    PickLoop = 1,
    NextLeg = 2,
    Flying = 3,
    FlyingHome = 4,
    Landing = 5,
    Resting = 6,
};

struct Butterfly {
    FlightState flightState = FlightState::TakeOff;
    // Centre of the drawn frame. Starts off the picture; the first paint moves it to legStart.
    Point position{550, 300};
    // Resting point, off the left edge of the picture.
    Point home{Scene::spriteOffset - 208, Scene::spriteOffset + 95};
    Point legStart = home;
    Point legTarget;
    // A position is always recomputed from legStart, never accumulated, so rounding can't drift.
    int32_t legSteps = 0;
    int32_t legStep = 0;
    float stepX = 0;
    float stepY = 0;
    // Random offset for the next waypoint.
    float jitterX = 0;
    float jitterY = 0;
    // Next waypoint 0..8; during take-off it counts the take-off ticks instead.
    int32_t waypointIndex = 0;
    // 1..4: odd flies the right loop, even the left one.
    int32_t loopDirection = 1;
    int32_t directionBase = 0;
    // Sprite sheet row: 0 the take-off/landing row, 1..6 the wing beats of each direction.
    int32_t heading = 0;
    // x of the current frame in the sheet, a multiple of the frame width; negative after a
    // landing.
    int32_t sheetX = 0;
    int32_t speed = 1;

    SpritePose pose() const { return {position, heading}; }
};

}  // namespace zirvak
