#include "light_region.h"

#include <algorithm>

namespace zirvak {

namespace {
constexpr uint32_t kLightLimit = 0x0A0A0A;
}

bool IsLightPixel(const Image& picture, int32_t x, int32_t y) {
    if (!picture.Contains(x, y)) return false;
    return (picture.At(x, y) & 0xFFFFFF) < kLightLimit;
}

LightRegion BuildLightRegion(const Image& scanPicture) {
    LightRegion region;
    const int32_t w = scanPicture.width;
    for (int32_t y = 0; y < scanPicture.height; ++y) {
        int32_t x = 0;
        for (;;) {
            // x == w is outside the picture and so never light: a row with no light pixel left
            // ends the skip at w + 1, and a run reaching the right edge ends at w.
            while (x <= w && !IsLightPixel(scanPicture, x, y)) ++x;
            const int32_t start = x;
            while (x <= w && IsLightPixel(scanPicture, x, y)) ++x;
            if (x > start) {
                region.runs.push_back({y, start, x});
                region.pixelCount += x - start;
            }
            if (x >= w) break;
        }
    }
    return region;
}

void FillLightRegion(Image& target, const LightRegion& region, uint32_t colour) {
    for (const LightRun& run : region.runs) {
        if (run.y < 0 || run.y >= target.height) continue;
        const int32_t x0 = std::max(run.x0, 0);
        const int32_t x1 = std::min(run.x1, target.width);
        if (x0 < x1) std::fill(target.Row(run.y) + x0, target.Row(run.y) + x1, colour);
    }
}

}  // namespace zirvak
