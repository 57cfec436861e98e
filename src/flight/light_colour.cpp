#include "light_colour.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "image.h"

namespace zirvak {

const std::array<uint32_t, 80> PitchLadder = {
    337, 318, 300, 283, 268, 253, 238, 225, 212, 200, 189, 179,  //
    169, 159, 150, 142, 134, 126, 119, 113, 106, 100, 95,  89,   //
    84,  80,  75,  71,  67,  63,  60,  56,  53,  50,  47,  45,   //
    42,  40,  38,  35,  33,  32,  30,  28,  27,  25,  24,  22,   //
    21,  20,  19,  18,  17,  16,  15,  14,  13,  13,  12,  11,   //
    11,  10,  9,   9,   8,   118, 7,   117, 7,   6,   116, 116,  //
    5,   115, 115, 4,   3,   2,   1,   0,
};

const std::array<ChannelValues, 12> HuePalette = {{
    {255, 0, 0},
    {255, 100, 0},
    {255, 191, 0},
    {255, 255, 0},
    {191, 255, 0},
    {47, 255, 0},
    {0, 255, 208},
    {0, 168, 255},
    {0, 40, 255},
    {127, 0, 255},
    {208, 0, 255},
    {255, 0, 175},
}};

int32_t PitchIndex(uint32_t width) {
    int32_t i = 0;
    while (width < PitchLadder[static_cast<std::size_t>(i)]) ++i;
    return i;
}

namespace {

void StartFade(ColourFade& fade, BeatState& beat) {
    beat.lastWidth = beat.pendingWidth;
    const int32_t pitchClass = PitchIndex(beat.pendingWidth) % 12;
    // The fade starts from the previous target, undoing whatever the last fade overshot.
    fade.current = fade.target;
    fade.target = HuePalette[static_cast<std::size_t>(pitchClass)];
    int32_t distance = 0;
    for (std::size_t c = 0; c < 3; ++c)
        distance = std::max(distance, std::abs(fade.target[c] - fade.current[c]));
    fade.fadeSteps = distance < 100 ? 7 : distance < 200 ? 15 : 20;
    for (std::size_t c = 0; c < 3; ++c)
        fade.step[c] = (fade.target[c] - fade.current[c]) / fade.fadeSteps;
    fade.fadeTicks = 0;
}

}  // namespace

uint32_t UpdateLightColour(ColourFade& fade, BeatState& beat) {
    if (beat.beatFound && fade.fadeTicks > fade.fadeSteps) StartFade(fade, beat);
    for (std::size_t c = 0; c < 3; ++c) {
        const int32_t next = fade.current[c] + fade.step[c];
        if (next >= 0 && next <= 255) fade.current[c] = next;
    }
    ++fade.fadeTicks;
    return PackRgb(static_cast<uint32_t>(fade.current[0]), static_cast<uint32_t>(fade.current[1]),
                   static_cast<uint32_t>(fade.current[2]));
}

}  // namespace zirvak
