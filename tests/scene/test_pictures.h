// Synthetic pictures for the scene and flight tests: a background with four known light pixels
// and a magenta-keyed sprite sheet whose frames each have a small body of their own colour.
#pragma once

#include "image.h"
#include "scene.h"

namespace zirvak::testing {

inline constexpr uint32_t kMagenta = PackRgb(255, 0, 255);

// Blue is at least 11 everywhere except at the lights: (0..2, 10) and the last pixel of row 20.
inline Image MakeBackground(int32_t width, int32_t height) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            image.Set(x, y, PackRgb(x & 0xFF, y & 0xFF, 11 + (x + y) % 200));
    for (int32_t x : {0, 1, 2}) image.Set(x, 10, PackRgb(30, 200, 5));
    image.Set(width - 1, 20, PackRgb(30, 200, 5));
    return image;
}

// The body, and the frame's top-left pixel: not the key, which is read one row lower.
inline bool InBody(int32_t fx, int32_t fy) {
    return (fx >= 30 && fx < 70 && fy >= 40 && fy < 60) || (fx == 0 && fy == 0);
}
inline uint32_t BodyColour(int32_t column, int32_t row) {
    return PackRgb(10 + column * 10, 20 + row * 30, 200);
}

inline Image MakeSheet() {
    Image sheet(1500, 700, kMagenta);
    for (int32_t y = 0; y < sheet.height; ++y)
        for (int32_t x = 0; x < sheet.width; ++x)
            if (InBody(x % 100, y % 100)) sheet.Set(x, y, BodyColour(x / 100, y / 100));
    return sheet;
}

}  // namespace zirvak::testing
