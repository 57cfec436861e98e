// Beat markers: sudden rises in level found in a buffer of PCM before it is queued.
#pragma once

#include <cstdint>

namespace zirvak {

struct BeatMarker {
    int32_t value = 0;   // highest sample of the peak
    int32_t width = 0;   // sample frames from the peak's highest sample to the end of its
                         // positive half-wave
    int32_t timeMs = 0;  // time of the rise, in ms since the run began
};

inline constexpr uint32_t kMaxBeatMarkers = 50;

// Scans the first channel of interleaved signed 16-bit PCM (`byteLength` bytes, `channels`
// per frame) for beats. `samplesAnalysed` (sample frames of the run before this buffer) times
// them. Fills `markers` with at most kMaxBeatMarkers and returns how many.
uint32_t MarkBeats(const uint8_t* pcm, uint32_t byteLength, int32_t channels, uint32_t sampleRateHz,
                   uint32_t samplesAnalysed, BeatMarker* markers);

}  // namespace zirvak
