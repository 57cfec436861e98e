// The beat markers of the two output buffers, as the last refill of each found them, for readers
// that never wait: the window's tick and the terminal's progress line read them while the device's
// thread writes them. Each list is published whole under a sequence lock made of atomics alone: its
// sequence number is odd while a refill writes it, and a reader that sees the number change reads
// again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "beat_markers.h"

namespace zirvak {

class BeatMarkerBoard {
public:
    // Replaces the list of output buffer `buffer` (0 or 1) by `count` of `found`; one writer at
    // a time.
    void Publish(uint8_t buffer, const BeatMarker* found, uint32_t count);
    // Copies the list of output buffer `buffer` (0 or 1), as one Publish left it whole; returns
    // its count (0 when no whole list could be read).
    uint32_t Read(int32_t buffer, BeatMarker* out) const;

private:
    std::array<std::array<std::array<std::atomic<int32_t>, 3>, kMaxBeatMarkers>, 2> markers_{};
    std::array<std::atomic<uint32_t>, 2> count_{};
    std::array<std::atomic<uint32_t>, 2> sequence_{};
};

}  // namespace zirvak
