// The lights: the picture's near-black pixels, kept as horizontal runs one pixel high.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"

namespace zirvak {

// Pixels x0 <= x < x1 of row y.
struct LightRun {
    int32_t y = 0;
    int32_t x0 = 0;
    int32_t x1 = 0;
    bool operator==(const LightRun&) const = default;
};

struct LightRegion {
    std::vector<LightRun> runs;
    int64_t pixelCount = 0;
};

// A light pixel has the packed value blue·65536 + green·256 + red below 0x0A0A0A, compared
// unsigned: blue below 10 whatever the rest, or blue 10 with green below 10, or both 10 with
// red below 10. Outside the picture there are no light pixels.
bool IsLightPixel(const Image& picture, int32_t x, int32_t y);

// Scans every row left to right for runs of light pixels. Built once at start-up.
LightRegion BuildLightRegion(const Image& scanPicture);

// Paints every run in `colour`, clipped to the image.
void FillLightRegion(Image& target, const LightRegion& region, uint32_t colour);

}  // namespace zirvak
