#include "beat_marker_board.h"

#include <algorithm>

namespace zirvak {

// A field written after a list's sequence number turned odd is stored with release, so a reader
// that loads it (with acquire) sees the odd number, or a later one, when it looks again.
void BeatMarkerBoard::Publish(uint8_t buffer, const BeatMarker* found, uint32_t count) {
    const size_t b = buffer & 1u;
    auto& list = markers_[b];
    constexpr auto release = std::memory_order_release;
    sequence_[b].fetch_add(1, std::memory_order_acq_rel);  // odd: being written
    for (uint32_t i = 0; i < kMaxBeatMarkers; ++i) {
        list[i][0].store(found[i].value, release);
        list[i][1].store(found[i].width, release);
        list[i][2].store(found[i].timeMs, release);
    }
    count_[b].store(count, release);
    sequence_[b].fetch_add(1, release);  // even: whole
}

uint32_t BeatMarkerBoard::Read(int32_t buffer, BeatMarker* out) const {
    const size_t b = size_t(buffer & 1);
    const auto& list = markers_[b];
    constexpr auto acquire = std::memory_order_acquire;
    // A refill writes a list in a few microseconds: a reader that meets one reads again.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const uint32_t before = sequence_[b].load(acquire);
        if (before & 1) continue;
        const uint32_t count = std::min(count_[b].load(acquire), kMaxBeatMarkers);
        for (uint32_t i = 0; i < count; ++i) {
            out[i].value = list[i][0].load(acquire);
            out[i].width = list[i][1].load(acquire);
            out[i].timeMs = list[i][2].load(acquire);
        }
        if (sequence_[b].load(std::memory_order_relaxed) == before) return count;
    }
    return 0;
}

}  // namespace zirvak
