// Which frame of its sheet row the butterfly shows: the wings beat one frame on a beat.
#pragma once

#include <cstdint>

namespace zirvak {

// Moves `sheetX` (the frame's x in the sheet) to the next frame of the row on a beat. The end
// of playback counts as a beat on every tick, so the wings beat on the way home. The column
// wraps only before landing, where the landing counts the column down itself. Returns whether
// the tick counts as a beat.
bool AdvanceSpriteColumn(int32_t& sheetX, bool endReached, bool beatFound, bool beforeLanding);

}  // namespace zirvak
