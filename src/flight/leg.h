// One straight leg of the flight, from legStart to legTarget.
#pragma once

#include <cstdint>

#include "butterfly.h"

namespace zirvak {

// Sheet row for a move of (dx, dy), y growing downwards: 1 mainly left, 2 mainly right,
// 3 down and right, 4 down and left, 5 up and left, 6 up and right.
int32_t HeadingFor(int32_t dx, int32_t dy);

// Sets heading, legSteps and stepX/stepY for the leg: about 1.4 pixels of Manhattan distance
// per step at speed 1. A leg shorter than one step gets no steps and no step sizes: it counts
// as complete at once, with the butterfly at the target.
void AimLeg(Butterfly& b);

// Where legStep steps of `stepScale` times the step size lead from legStart, truncated towards
// zero; the target itself for a leg of no steps.
Point PositionOnLeg(const Butterfly& b, int32_t stepScale);

}  // namespace zirvak
