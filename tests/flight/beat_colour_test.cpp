// Finding the tick's beat, and the light colour fading towards the hue of each beat.
#include <gtest/gtest.h>

#include <vector>

#include "beat_follower.h"
#include "light_colour.h"

namespace zirvak {
namespace {

TEST(FindBeat, FirstMarkerNotYetPastDecides) {
    // The tick plays from 1000 ms; the last colour choice used width 7, 9 is pending.
    const struct {
        std::vector<BeatMark> markers;
        bool found;
        uint32_t pendingWidth;
    } cases[] = {
        {{{5, 1000}}, true, 5},
        {{{5, 1074}}, true, 5},
        {{{5, 1075}}, false, 9},
        {{{4, 1100}, {5, 1010}}, false, 9},  // the walk stops at the first marker not past
        {{{7, 1000}}, true, 9},              // same width as last time: pending kept
    };
    for (const auto& c : cases) {
        BeatState beat{true, 9, 7};
        FindBeat(beat, c.markers, 1000, 75);
        EXPECT_EQ(beat.beatFound, c.found) << c.markers[0].timeMs;
        EXPECT_EQ(beat.pendingWidth, c.pendingWidth) << c.markers[0].timeMs;
    }
}

TEST(LightColour, PitchLadderIndex) {
    const std::pair<uint32_t, int32_t> cases[] = {
        {100000, 0}, {337, 0}, {336, 1}, {100, 21}, {8, 64}, {7, 66}, {4, 75}, {1, 78}, {0, 79}};
    for (auto [width, index] : cases) EXPECT_EQ(PitchIndex(width), index) << width;
}

uint32_t Packed(uint32_t r, uint32_t g, uint32_t b) {
    return r | g << 8 | b << 16;
}

TEST(LightColour, FirstFadeNotBeforeTheSeventhTickAndFromBlack) {
    ColourFade fade;
    BeatState beat{true, 318, 0};  // a beat on every tick, hue (255, 100, 0)
    for (int tick = 1; tick <= 6; ++tick)
        EXPECT_EQ(UpdateLightColour(fade, beat), Packed(0, 0, 255));
    EXPECT_EQ(UpdateLightColour(fade, beat), Packed(12, 5, 0));  // black + 1/20 of the way
    beat.beatFound = false;
    for (int tick = 8; tick <= 57; ++tick) UpdateLightColour(fade, beat);
    EXPECT_EQ(UpdateLightColour(fade, beat), Packed(252, 255, 0));  // 255 itself is in range
}

TEST(LightColour, RedToGreenCyanFadesAndOvershootsUntilAChannelWouldLeaveTheRange) {
    ColourFade fade;
    fade.target = {255, 0, 0};  // red shown; green-cyan (width 7) comes next
    fade.fadeTicks = 100;
    BeatState beat{true, 7, 0};
    std::vector<uint32_t> colours;
    for (int tick = 1; tick <= 30; ++tick) {
        colours.push_back(UpdateLightColour(fade, beat));
        beat = {tick == 10, 400, 7};  // a beat too soon after the fade began starts nothing
    }
    EXPECT_EQ(fade.fadeSteps, 20);
    EXPECT_EQ(colours[0], Packed(243, 12, 10));
    EXPECT_EQ(colours[19], Packed(15, 240, 200));
    EXPECT_EQ(colours[20], Packed(3, 252, 210));
    EXPECT_EQ(colours[29], Packed(3, 252, 250));
}

}  // namespace
}  // namespace zirvak
