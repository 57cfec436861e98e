// Copies one sprite frame into a scene with the frame's key colour transparent.
//
// The work is split in two because the scene composition interleaves them: the frame is
// prepared before the background is copied and placed after the lights are drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"
#include "image.h"

namespace zirvak {

// Builds the frame's mask (1 = transparent) and blackens the transparent pixels in the sheet
// itself. The key is the colour at the frame's left column, second row; once a frame has been
// prepared its key pixels are black, so from then on black is its key and it draws the same way.
// Frame pixels outside the sheet are transparent. `mask` is resized to the frame.
void PrepareSpriteFrame(Image& sheet, const Rect& frame, std::vector<uint8_t>& mask);

// Copies the opaque pixels of the prepared frame with its top-left corner at `topLeft`,
// clipped to the scene.
void PlaceSpriteFrame(Image& scene, const Image& sheet, const Rect& frame,
                      const std::vector<uint8_t>& mask, Point topLeft);

}  // namespace zirvak
