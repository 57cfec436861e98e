#include "beat_markers.h"

#include <cstring>

namespace zirvak {

namespace {

constexpr int32_t kLevelFloor = 500;
constexpr uint32_t kWindowFrames = 1100;  // learning span, and the span the level covers
constexpr uint32_t kSkipFrames = 500;     // jumped over after a beat
constexpr float kRiseRatio = 1.06f;       // a sample this far above the level is a beat

}  // namespace

uint32_t MarkBeats(const uint8_t* pcm, uint32_t byteLength, int32_t channels, uint32_t sampleRateHz,
                   uint32_t samplesAnalysed, BeatMarker* markers) {
    for (uint32_t i = 0; i < kMaxBeatMarkers; ++i) markers[i] = BeatMarker{};
    if (channels <= 0 || sampleRateHz == 0) return 0;
    const uint32_t n = byteLength / (uint32_t(channels) * 2);
    auto sample = [pcm, channels](uint32_t i) {
        int16_t s;
        std::memcpy(&s, pcm + 2 * size_t(i) * size_t(channels), 2);
        return int32_t(s);
    };

    uint32_t count = 0;
    int32_t level = kLevelFloor;
    uint32_t levelPos = 1;
    bool learning = true;
    uint32_t learnEnd = kWindowFrames;
    for (uint32_t i = 0; i < n; ++i) {
        if (learning) {
            if (i < learnEnd) {
                if (sample(i) > level) {
                    level = sample(i);
                    levelPos = i;
                }
                continue;
            }
            learning = false;  // the first sample past the span only ends the learning
            continue;
        }
        // The level ages: re-establish it over the last window while it is above the floor.
        if (levelPos + kWindowFrames <= i && level >= kLevelFloor) {
            levelPos = i - 1099;
            level = sample(levelPos);
            for (uint32_t k = i - 1098; k <= i; ++k) {
                if (sample(k) >= level) {
                    level = sample(k);
                    levelPos = k;
                }
            }
        }
        const int32_t s = sample(i);
        if (s <= level) continue;
        // After a quiet window the level can sit below the floor; a rise that stays at or
        // under the floor is still no beat, it only raises the level.
        if (s <= kLevelFloor || float(s) <= float(level) * kRiseRatio) {
            level = s;
            continue;
        }
        // A beat: time it, then measure the peak that follows to the end of its half-wave.
        // Milliseconds since the run began; past 2^32 ms (or at an absurdly low rate) the count
        // wraps, as the tick count it is compared with does.
        const auto ms =
            uint64_t((double(samplesAnalysed) + double(i)) * 1000.0 / double(sampleRateHz));
        const auto timeMs = int32_t(uint32_t(ms));
        int32_t best = s;
        uint32_t bestPos = i;
        uint32_t k = i;
        while (k < n && sample(k) > 0) {
            if (sample(k) > best) {
                best = sample(k);
                bestPos = k;
            }
            ++k;
        }
        if (count < kMaxBeatMarkers) markers[count++] = {best, int32_t(k - bestPos), timeMs};
        learning = true;
        i += kSkipFrames;
        learnEnd = i + kWindowFrames;
        level = kLevelFloor;
    }
    return count;
}

}  // namespace zirvak
