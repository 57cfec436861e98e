// Finds the beat, if any, that falls within the coming animation tick.
#pragma once

#include <cstdint>
#include <span>

namespace zirvak {

// A beat of the buffer that is sounding, as the player engine marks it: the width of its peak
// in sample frames and its time in ms since playback began. Both are compared unsigned.
struct BeatMark {
    uint32_t widthSamples = 0;
    uint32_t timeMs = 0;
};

struct BeatState {
    bool beatFound = false;
    // Width of the latest beat whose width differed from lastWidth.
    uint32_t pendingWidth = 0;
    // Width the latest colour choice used.
    uint32_t lastWidth = 0;
};

// Looks at the first marker at or after elapsedMs (markers are in time order): it is this tick's
// beat when it comes before elapsedMs + tickInterval.
void FindBeat(BeatState& beat, std::span<const BeatMark> markers, uint32_t elapsedMs,
              uint32_t tickInterval);

}  // namespace zirvak
