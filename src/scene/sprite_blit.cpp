#include "sprite_blit.h"

#include <algorithm>
#include <cstddef>

namespace zirvak {

void PrepareSpriteFrame(Image& sheet, const Rect& frame, std::vector<uint8_t>& mask) {
    const int32_t w = frame.right - frame.left;
    const int32_t h = frame.bottom - frame.top;
    mask.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 1);
    const uint32_t key = sheet.PixelOr(frame.left, frame.top + 1);
    for (int32_t fy = 0; fy < h; ++fy) {
        const int32_t sy = frame.top + fy;
        if (sy < 0 || sy >= sheet.height) continue;
        uint8_t* maskRow = mask.data() + static_cast<std::size_t>(fy) * w;
        for (int32_t fx = 0; fx < w; ++fx) {
            const int32_t sx = frame.left + fx;
            if (sx < 0 || sx >= sheet.width) continue;
            if (sheet.At(sx, sy) == key) {
                sheet.Set(sx, sy, 0);
            } else {
                maskRow[fx] = 0;
            }
        }
    }
}

void PlaceSpriteFrame(Image& scene, const Image& sheet, const Rect& frame,
                      const std::vector<uint8_t>& mask, Point topLeft) {
    const int32_t w = frame.right - frame.left;
    const int32_t h = frame.bottom - frame.top;
    const int32_t fx0 = std::max(0, -topLeft.x);
    const int32_t fx1 = std::min(w, scene.width - topLeft.x);
    const int32_t fy0 = std::max(0, -topLeft.y);
    const int32_t fy1 = std::min(h, scene.height - topLeft.y);
    for (int32_t fy = fy0; fy < fy1; ++fy) {
        const uint8_t* maskRow = mask.data() + static_cast<std::size_t>(fy) * w;
        uint32_t* out = scene.Row(topLeft.y + fy) + topLeft.x;
        for (int32_t fx = fx0; fx < fx1; ++fx) {
            // An opaque mask entry implies the pixel lies inside the sheet.
            if (!maskRow[fx]) out[fx] = sheet.At(frame.left + fx, frame.top + fy);
        }
    }
}

}  // namespace zirvak
