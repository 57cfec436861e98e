#include "beat_follower.h"

namespace zirvak {

void FindBeat(BeatState& beat, std::span<const BeatMark> markers, uint32_t elapsedMs,
              uint32_t tickInterval) {
    beat.beatFound = false;
    for (const BeatMark& marker : markers) {
        if (marker.timeMs < elapsedMs) continue;
        if (marker.timeMs < elapsedMs + tickInterval) {
            beat.beatFound = true;
            if (marker.widthSamples != beat.lastWidth) beat.pendingWidth = marker.widthSamples;
        }
        return;
    }
}

}  // namespace zirvak
