#include "leg.h"

#include <cstdlib>

namespace zirvak {

int32_t HeadingFor(int32_t dx, int32_t dy) {
    if (dx > 0) {
        if (dx > std::abs(dy)) return 2;
        if (dy > dx) return 3;
        return 6;
    }
    if (dx < -std::abs(dy)) return 1;
    if (dy < dx) return 5;
    return 4;
}

void AimLeg(Butterfly& b) {
    const int32_t dx = b.legTarget.x - b.legStart.x;
    const int32_t dy = b.legTarget.y - b.legStart.y;
    b.heading = HeadingFor(dx, dy);
    b.legSteps = static_cast<int32_t>((std::abs(dx) + std::abs(dy)) / (b.speed * 1.4));
    if (b.legSteps == 0) {
        // Dividing by the step count would be a division by zero.
        b.stepX = 0;
        b.stepY = 0;
        return;
    }
    b.stepX = static_cast<float>(dx) / static_cast<float>(b.legSteps);
    b.stepY = static_cast<float>(dy) / static_cast<float>(b.legSteps);
}

Point PositionOnLeg(const Butterfly& b, int32_t stepScale) {
    if (b.legSteps == 0) return b.legTarget;
    const auto step = static_cast<float>(b.legStep);
    const auto scale = static_cast<float>(stepScale);
    return {static_cast<int32_t>(static_cast<float>(b.legStart.x) + step * b.stepX * scale),
            static_cast<int32_t>(static_cast<float>(b.legStart.y) + step * b.stepY * scale)};
}

}  // namespace zirvak
