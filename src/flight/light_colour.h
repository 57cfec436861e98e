// The colour of the lights: each beat's peak width picks a pitch class, the pitch class a hue,
// and the lights fade towards it.
#pragma once

#include <array>
#include <cstdint>

#include "beat_follower.h"

namespace zirvak {

// Red, green, blue.
using ChannelValues = std::array<int32_t, 3>;

// Peak widths falling about a semitone per index from 337 down, so index mod 12 is a pitch
// class. The few entries larger than the one before them can never end a search.
extern const std::array<uint32_t, 80> PitchLadder;
// One hue per pitch class.
extern const std::array<ChannelValues, 12> HuePalette;

struct ColourFade {
    ChannelValues current{0, 0, 255};  // the lights start blue
    ChannelValues target{0, 0, 0};
    ChannelValues step{0, 0, 0};
    int32_t fadeSteps = 5;
    int32_t fadeTicks = 0;
};

// The smallest index whose ladder entry the width reaches; the last entry is 0, so always found.
int32_t PitchIndex(uint32_t width);

// One tick of the fade. A new fade needs a beat on this tick and more than fadeSteps ticks since
// the previous one began. Steps keep being added after the target is reached, until a channel
// would leave 0..255, so a fade overshoots towards full or zero intensity. Returns the packed
// light colour.
uint32_t UpdateLightColour(ColourFade& fade, BeatState& beat);

}  // namespace zirvak
