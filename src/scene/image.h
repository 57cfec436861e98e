// A picture as a plain pixel array, and the packing of its colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zirvak {

// Colours are packed with red in the low byte, then green, then blue; the top byte is 0.
constexpr uint32_t PackRgb(uint32_t red, uint32_t green, uint32_t blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}

// What reading a pixel outside a picture yields: no packed colour has its top byte set, so it
// never equals a real pixel.
constexpr uint32_t kNoColour = 0xFFFFFFFF;

// Row-major pixels, `width` per row, top row first.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int32_t w, int32_t h, uint32_t fill = 0)
        : width(w),
          height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    uint32_t* Row(int32_t y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
    const uint32_t* Row(int32_t y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width;
    }
    // Unchecked access; callers clip first.
    uint32_t At(int32_t x, int32_t y) const { return Row(y)[x]; }
    void Set(int32_t x, int32_t y, uint32_t colour) { Row(y)[x] = colour; }
    // Checked read: kNoColour outside the picture.
    uint32_t PixelOr(int32_t x, int32_t y, uint32_t outside = kNoColour) const {
        return Contains(x, y) ? At(x, y) : outside;
    }
    bool operator==(const Image&) const = default;
};

}  // namespace zirvak
