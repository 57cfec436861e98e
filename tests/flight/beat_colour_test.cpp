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
        {{{5, 999}}, false, 9},              // a marker already past is no beat
        {{{4, 990}, {5, 1010}}, true, 5},    // past markers are skipped
        {{{4, 1100}, {5, 1010}}, false, 9},  // the walk stops at the first marker not past
        {{{7, 1000}}, true, 9},              // same width as last time: pending kept
        {{}, false, 9},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        BeatState beat{true, 9, 7};
        FindBeat(beat, cases[i].markers, 1000, 75);
        EXPECT_EQ(beat.beatFound, cases[i].found) << i;
        EXPECT_EQ(beat.pendingWidth, cases[i].pendingWidth) << i;
        EXPECT_EQ(beat.lastWidth, 7u) << i;
    }
}

// The pitch ladder and the hue of each pitch class, written out here in full.
constexpr uint32_t kLadder[80] = {337, 318, 300, 283, 268, 253, 238, 225, 212, 200, 189, 179,  //
                                  169, 159, 150, 142, 134, 126, 119, 113, 106, 100, 95,  89,   //
                                  84,  80,  75,  71,  67,  63,  60,  56,  53,  50,  47,  45,   //
                                  42,  40,  38,  35,  33,  32,  30,  28,  27,  25,  24,  22,   //
                                  21,  20,  19,  18,  17,  16,  15,  14,  13,  13,  12,  11,   //
                                  11,  10,  9,   9,   8,   118, 7,   117, 7,   6,   116, 116,  //
                                  5,   115, 115, 4,   3,   2,   1,   0};
const ChannelValues kHues[12] = {{255, 0, 0},   {255, 100, 0}, {255, 191, 0}, {255, 255, 0},
                                 {191, 255, 0}, {47, 255, 0},  {0, 255, 208}, {0, 168, 255},
                                 {0, 40, 255},  {127, 0, 255}, {208, 0, 255}, {255, 0, 175}};

// Every width finds the first entry it reaches; its index mod 12 picks the hue faded to.
TEST(LightColour, PitchLadderIndexAndHueOfEveryWidth) {
    for (uint32_t width = 0; width <= 400; ++width) {
        int32_t index = 0;
        while (width < kLadder[index]) ++index;
        ASSERT_EQ(PitchIndex(width), index) << width;
        ColourFade fade;
        fade.fadeTicks = 100;
        BeatState beat{true, width, 0};
        UpdateLightColour(fade, beat);
        ASSERT_EQ(fade.target, kHues[index % 12]) << width;
        EXPECT_EQ(beat.lastWidth, width);
    }
    // Known widths; 118, 117, 116 and 115 lie above the entries before them and never end a search.
    const std::pair<uint32_t, int32_t> cases[] = {
        {100000, 0}, {337, 0}, {336, 1}, {100, 21}, {8, 64},  {7, 66},   {6, 69},   {5, 72},
        {4, 75},     {3, 76},  {2, 77},  {1, 78},   {0, 79},  {118, 19}, {117, 19}, {116, 19},
        {115, 19},   {13, 56}, {12, 58}, {11, 59},  {10, 61}, {9, 62}};
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

// From the previous target (the colour jumps there) to the new hue, over 7 ticks when the
// largest channel distance d is below 100, 15 below 200, else 20; steps truncated towards zero,
// added until a channel would leave 0..255. Colours packed red + green × 256 + blue × 65536.
TEST(LightColour, FadeLengthFollowsTheLargestChannelDistance) {
    const struct {
        ChannelValues from;
        uint32_t width;
        int32_t fadeSteps;
        ChannelValues step;
        uint32_t after30;
    } cases[] = {
        {{255, 0, 0}, 7, 20, {-12, 12, 10}, 0xFAFC03},   // to (0, 255, 208): (3, 252, 250)
        {{0, 168, 255}, 212, 15, {0, -8, 0}, 0xFF0000},  // to (0, 40, 255): d 128
        {{255, 191, 0}, 283, 7, {0, 9, 0}, 0x00FEFF},    // to yellow: d 64, green to 254
        {{255, 255, 0}, 283, 7, {0, 0, 0}, 0x00FFFF},    // the same hue again
        {{156, 0, 0}, 337, 7, {14, 0, 0}, 0x0000FE},     // to red, d 99: 156 + 7 × 14
        {{155, 0, 0}, 337, 15, {6, 0, 0}, 0x0000FB},     // d 100: 155 + 16 × 6
        {{56, 0, 0}, 337, 15, {13, 0, 0}, 0x0000FB},     // d 199: 56 + 15 × 13
        {{55, 0, 0}, 337, 20, {10, 0, 0}, 0x0000FF},     // d 200: 55 + 20 × 10
        {{255, 99, 0}, 337, 7, {0, -14, 0}, 0x0001FF},   // −99 / 7 is −14: green down to 1
    };
    for (const auto& c : cases) {
        ColourFade fade;
        fade.target = c.from;
        fade.fadeTicks = 100;
        BeatState beat{true, c.width, 0};
        uint32_t colour = 0;
        for (int tick = 0; tick < 30; ++tick, beat.beatFound = false)
            colour = UpdateLightColour(fade, beat);
        EXPECT_EQ(fade.fadeSteps, c.fadeSteps) << c.from[0] << "," << c.from[1] << " " << c.width;
        EXPECT_EQ(fade.step, c.step) << c.from[0] << "," << c.from[1] << " " << c.width;
        EXPECT_EQ(colour, c.after30) << c.from[0] << "," << c.from[1] << " " << c.width;
    }
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
    EXPECT_EQ(colours[24], Packed(3, 252, 250));
    EXPECT_EQ(colours[29], Packed(3, 252, 250));

    // The same hue again: the colour jumps back to it and stays, the steps being zero.
    beat = {true, 7, 400};
    EXPECT_EQ(UpdateLightColour(fade, beat), Packed(0, 255, 208));
    EXPECT_EQ(UpdateLightColour(fade, beat), Packed(0, 255, 208));
}

}  // namespace
}  // namespace zirvak
