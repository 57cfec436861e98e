// The volume: a gain on the samples as they go to the sound output, after the beats were
// marked, so what the butterfly sees never depends on it.
#pragma once

#include <cstdint>

namespace zirvak {

inline constexpr uint32_t kFullVolume = 100;  // percent

// Scales `bytes` of signed 16-bit little-endian PCM in place by percent / 100, each sample
// rounded to the nearest integer (halves away from zero) and clipped to 16 bits. At full
// volume the bytes are left untouched.
void ApplyVolume(uint8_t* pcm, uint32_t bytes, uint32_t percent);

// The volume together with a song's own gain (ReplayGain): each sample s becomes
// round(s * gain * percent / 100), halves away from zero, clipped to 16 bits. With a gain of 1
// it is ApplyVolume.
void ApplyGain(uint8_t* pcm, uint32_t bytes, uint32_t percent, double gain);

}  // namespace zirvak
