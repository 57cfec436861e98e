#include "volume.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zirvak {

void ApplyVolume(uint8_t* pcm, uint32_t bytes, uint32_t percent) {
    if (percent >= kFullVolume) return;
    const auto gain = int32_t(percent);
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        int16_t s;
        std::memcpy(&s, pcm + i, 2);
        const int32_t product = int32_t(s) * gain;
        const int32_t half = product < 0 ? -50 : 50;
        const int32_t scaled = std::clamp((product + half) / 100, -32768, 32767);
        const auto out = int16_t(scaled);
        std::memcpy(pcm + i, &out, 2);
    }
}

void ApplyGain(uint8_t* pcm, uint32_t bytes, uint32_t percent, double gain) {
    if (gain == 1.0) return ApplyVolume(pcm, bytes, percent);
    const double factor = gain * double(std::min(percent, kFullVolume)) / 100.0;
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        int16_t s;
        std::memcpy(&s, pcm + i, 2);
        const auto out = int16_t(std::clamp(std::round(double(s) * factor), -32768.0, 32767.0));
        std::memcpy(pcm + i, &out, 2);
    }
}

}  // namespace zirvak
