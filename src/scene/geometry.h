// Client-area coordinates: pixels, y growing downwards, the picture drawn at the origin.
#pragma once

#include <cstdint>

namespace zirvak {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// Half-open rectangle: covers left <= x < right, top <= y < bottom.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const Rect&) const = default;
};

}  // namespace zirvak
