// The two figure-of-eight halves the butterfly flies, nine waypoints each.
#pragma once

#include <array>
#include <cstdint>

#include "geometry.h"

namespace zirvak {

using Loop = std::array<Point, 9>;

// Waypoints in grid units of a 22-unit-wide picture, x and y alike.
extern const Loop kRightLoopGrid;
extern const Loop kLeftLoopGrid;

struct ScaledLoops {
    Loop RightLoop;
    Loop LeftLoop;
};

// Pixels: every coordinate × pictureWidth / 22, unsigned and truncating, so the loops keep
// their shape on any picture.
ScaledLoops ScaleLoops(int32_t pictureWidth);

}  // namespace zirvak
