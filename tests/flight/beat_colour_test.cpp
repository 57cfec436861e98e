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
        {{{5, 999}}, false, 9},
        {{{4, 990}, {5, 1010}}, true, 5},
        {{{4, 1100}, {5, 1010}}, false, 9},  // the walk stops at the first marker not past
        {{{7, 1000}}, true, 9},              // same width as last time: pending kept
        {{}, false, 9},
    };
    for (const auto& c : cases) {
        BeatState beat{true, 9, 7};
        FindBeat(beat, c.markers, 1000, 75);
        EXPECT_EQ(beat.beatFound, c.found) << c.markers.size();
        EXPECT_EQ(beat.pendingWidth, c.pendingWidth) << c.markers.size();
    }
}

TEST(LightColour, PitchLadderIndex) {
    const std::pair<uint32_t, int32_t> cases[] = {{100000, 0}, {337, 0}, {336, 1}, {100, 21},
                                                  {8, 64},     {7, 66},  {4, 75},  {3, 76},
                                                  {2, 77},     {1, 78},  {0, 79}};
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

TEST(LightColour, FadeLengthFollowsTheLargestChannelDistance) {
    const struct {
        ChannelValues from;
        uint32_t width;
        int32_t fadeSteps;
        ChannelValues step;
        uint32_t after30;  // overshot until a channel would leave 0..255
    } cases[] = {
        {{255, 0, 0}, 7, 20, {-12, 12, 10}, Packed(3, 252, 250)},  // red to green-cyan
        {{0, 168, 255}, 212, 15, {0, -8, 0}, Packed(0, 0, 255)},   // to (0, 40, 255)
        {{255, 191, 0}, 283, 7, {0, 9, 0}, Packed(255, 254, 0)},   // to yellow
        {{255, 255, 0}, 283, 7, {0, 0, 0}, Packed(255, 255, 0)},   // the same hue again
    };
    for (const auto& c : cases) {
        ColourFade fade;
        fade.target = c.from;
        fade.fadeTicks = 100;
        BeatState beat{true, c.width, 0};
        uint32_t colour = 0;
        for (int tick = 0; tick < 30; ++tick, beat.beatFound = false)
            colour = UpdateLightColour(fade, beat);
        EXPECT_EQ(fade.fadeSteps, c.fadeSteps) << c.width;
        EXPECT_EQ(fade.step, c.step) << c.width;
        EXPECT_EQ(colour, c.after30) << c.width;
    }
}

TEST(LightColour, FadeOvershootsUntilAChannelWouldLeaveTheRange) {
    ColourFade fade;
    fade.target = {255, 0, 0};  // red shown; green-cyan (width 7) comes next
    fade.fadeTicks = 100;
    BeatState beat{true, 7, 0};
    std::vector<uint32_t> colours;
    for (int tick = 1; tick <= 30; ++tick) {
        colours.push_back(UpdateLightColour(fade, beat));
        beat = {tick == 10, 400, 7};  // a beat too soon after the fade began starts nothing
    }
    EXPECT_EQ(colours[0], Packed(243, 12, 10));
    EXPECT_EQ(colours[19], Packed(15, 240, 200));
    EXPECT_EQ(colours[20], Packed(3, 252, 210));
    EXPECT_EQ(colours[24], Packed(3, 252, 250));
    EXPECT_EQ(colours[29], Packed(3, 252, 250));

    // The same hue again: the colour jumps back to it and stays, the steps being zero.
    beat = {true, 7, 400};
    EXPECT_EQ(UpdateLightColour(fade, beat), Packed(0, 255, 208));
    EXPECT_EQ(UpdateLightColour(fade, beat), Packed(0, 255, 208));
}

}  // namespace
}  // namespace zirvak
