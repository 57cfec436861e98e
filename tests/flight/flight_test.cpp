// The butterfly's flight, tick by tick, on a picture of the size the program ships with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "animation.h"
#include "animation_clock.h"
#include "leg.h"
#include "scene/test_pictures.h"
#include "sprite_column.h"

namespace zirvak {
namespace {

constexpr int32_t kWidth = 405, kHeight = 308;
const Point kHome{-158, 145};

// The C runtime's rand, unseeded: x = x * 214013 + 2531011 (mod 2^32) from x = 1, and each value
// is (x >> 16) & 0x7FFF.
std::vector<int32_t> RandValues(size_t count) {
    std::vector<int32_t> values;
    for (uint32_t x = 1; values.size() < count;) {
        x = x * 214013u + 2531011u;
        values.push_back(int32_t(x >> 16 & 0x7FFF));
    }
    return values;
}

TEST(FlightLoops, RandomSequenceAndLoopsScaledToThePicture) {
    const int32_t first[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    CrtRand rand;
    for (int32_t want : first) EXPECT_EQ(rand.Next(), want);
    EXPECT_EQ(RandValues(8), std::vector<int32_t>(std::begin(first), std::end(first)));

    const Loop rightGrid{
        {{12, 4}, {14, 3}, {17, 3}, {19, 4}, {20, 7}, {19, 10}, {17, 11}, {14, 11}, {12, 10}}};
    const Loop leftGrid{
        {{10, 10}, {8, 11}, {5, 11}, {3, 10}, {2, 7}, {3, 4}, {5, 3}, {8, 3}, {10, 4}}};
    EXPECT_EQ(ScaleLoops(22).RightLoop, rightGrid);  // one grid unit is one pixel
    EXPECT_EQ(ScaleLoops(22).LeftLoop, leftGrid);
    // clang-format off
    EXPECT_EQ(ScaleLoops(405).RightLoop, (Loop{{{220, 73}, {257, 55}, {312, 55}, {349, 73},
        {368, 128}, {349, 184}, {312, 202}, {257, 202}, {220, 184}}}));
    EXPECT_EQ(ScaleLoops(405).LeftLoop, (Loop{{{184, 184}, {147, 202}, {92, 202}, {55, 184},
        {36, 128}, {55, 73}, {92, 55}, {147, 55}, {184, 73}}}));
    // clang-format on
    // x and y alike scale by the width: at 500, 12 × 500 / 22 = 272.7 and 7 × 500 / 22 = 159.1.
    for (size_t i = 0; i < 9; ++i)
        for (auto [grid, scaled] : {std::pair{rightGrid[i], ScaleLoops(500).RightLoop[i]},
                                    std::pair{leftGrid[i], ScaleLoops(500).LeftLoop[i]}})
            EXPECT_EQ(scaled, (Point{grid.x * 500 / 22, grid.y * 500 / 22})) << i;
    EXPECT_EQ(ScaleLoops(500).RightLoop[0], (Point{272, 90}));
    EXPECT_EQ(ScaleLoops(500).LeftLoop[4], (Point{45, 159}));
}

TEST(FlightLoops, WaypointOffsetsSpanAboutOneGridUnit) {
    const double unitX = 405 / 22.0, unitY = 308 / 17.0;
    Animation animation(kWidth, kHeight);
    // The first picks draw rand's first values in pairs; (2r / 32762 − 1) units each.
    for (auto [r1, r2] : {std::pair{41, 18467}, {6334, 26500}, {19169, 15724}}) {
        animation.PickJitter();
        EXPECT_NEAR(animation.butterfly().jitterX, (2.0 * r1 / 32762 - 1) * unitX, 1e-4) << r1;
        EXPECT_NEAR(animation.butterfly().jitterY, (2.0 * r2 / 32762 - 1) * unitY, 1e-4) << r2;
    }
    // Among the next 10000 values are both ends of rand's range; 32765 lies above 32762, so an
    // offset reaches a hair beyond one unit (at most 2 × 32767 / 32762 − 1 = 1.0003).
    double lowX = 0, highX = 0, lowY = 0, highY = 0;
    for (int i = 0; i < 5000; ++i) {
        animation.PickJitter();
        lowX = std::min<double>(lowX, animation.butterfly().jitterX);
        highX = std::max<double>(highX, animation.butterfly().jitterX);
        lowY = std::min<double>(lowY, animation.butterfly().jitterY);
        highY = std::max<double>(highY, animation.butterfly().jitterY);
    }
    const double top = 2.0 * 32767 / 32762 - 1;
    EXPECT_TRUE(lowX >= -unitX && lowX < -0.999 * unitX) << lowX;
    EXPECT_TRUE(lowY >= -unitY && lowY < -0.999 * unitY) << lowY;
    EXPECT_TRUE(highX > unitX && highX <= top * unitX) << highX;
    EXPECT_TRUE(highY > unitY && highY <= top * unitY) << highY;
}

TEST(FlightLeg, HeadingAndStepsOfALeg) {
    const struct {
        Point start, target;
        int32_t heading, legSteps;  // legSteps = (|dx| + |dy|) / 1.4, truncated
    } cases[] = {
        {kHome, {220, 73}, 2, 321},  // the first leg, without jitter: 450 / 1.4
        {{0, 0}, {10, 9}, 2, 13},    {{0, 0}, {10, -9}, 2, 13},  {{0, 0}, {10, 11}, 3, 15},
        {{0, 0}, {10, 10}, 6, 14},   {{0, 0}, {10, -10}, 6, 14}, {{0, 0}, {10, -20}, 6, 21},
        {{0, 0}, {10, 20}, 3, 21},   {{0, 0}, {-20, 5}, 1, 17},  {{0, 0}, {-10, 9}, 1, 13},
        {{0, 0}, {-10, 10}, 4, 14},  {{0, 0}, {-5, 20}, 4, 17},  {{0, 0}, {-10, -10}, 4, 14},
        {{0, 0}, {-10, -11}, 5, 15}, {{0, 0}, {-5, -20}, 5, 17}, {{0, 0}, {0, 7}, 4, 5},
        {{0, 0}, {0, 0}, 4, 0},      {{0, 0}, {1, 0}, 2, 0},     {{5, 5}, {5, 4}, 5, 0},
    };
    for (const auto& c : cases) {
        Butterfly b;
        b.legStart = c.start;
        b.legTarget = c.target;
        AimLeg(b);
        EXPECT_EQ(b.heading, c.heading) << c.target.x << "," << c.target.y;
        EXPECT_EQ(b.legSteps, c.legSteps) << c.target.x << "," << c.target.y;
        // Its last step ends within a pixel of the target; a leg of 0 steps is done at once.
        b.legStep = b.legSteps;
        const Point end = PositionOnLeg(b, 1);
        EXPECT_TRUE(std::abs(end.x - c.target.x) <= 1 && std::abs(end.y - c.target.y) <= 1);
    }
}

TEST(FlightStart, TheButterflyStartsOffThePictureAndRestsLeftOfIt) {
    const Butterfly b;
    EXPECT_EQ(b.position, (Point{550, 300}));
    EXPECT_EQ(b.home, kHome);
    EXPECT_EQ(b.legStart, kHome);
    EXPECT_EQ(Scene::spriteOffset, 50);
    EXPECT_EQ(b.flightState, FlightState::TakeOff);
    EXPECT_EQ(b.loopDirection, 1);
}

// A flight on a synthetic picture and sheet, ticked by hand.
struct Flight {
    // The first paint puts the butterfly at home; then a file starts playing.
    void Start() {
        scene.Compose(animation.ReturnToLegStart());
        animation.RestartFlight();
        clock.Restart(now);
        start = now;
    }
    // One tick 75 ms on; with `beat`, a marker `beatOffset` ms after the tick's playing time.
    // The frame it makes is composed, as the window does.
    std::optional<RepaintAreas> Tick(bool beat = false, bool endReached = false,
                                     int32_t beatOffset = 0) {
        now += 75;
        const BeatMark marker{50, now - start + uint32_t(beatOffset)};
        clock.Update(now);
        const std::optional<SceneFrame> frame = animation.Tick(
            now, clock.elapsedMs, endReached, std::span<const BeatMark>(&marker, beat ? 1 : 0));
        if (!frame) return std::nullopt;
        lastFrame = *frame;
        return scene.Compose(*frame);
    }
    const Butterfly& b() const { return animation.butterfly(); }
    // The sheet column and row of the frame drawn last, read from the scene at its centre.
    std::pair<int32_t, int32_t> DrawnFrame() const {
        const uint32_t pixel = scene.backBuffer().At(b().position.x, b().position.y);
        return {int32_t((pixel & 0xFF) - 10) / 10, int32_t((pixel >> 8 & 0xFF) - 20) / 30};
    }

    Scene scene{testing::MakeBackground(kWidth, kHeight), testing::MakeBackground(kWidth, kHeight),
                testing::MakeSheet()};
    Animation animation{kWidth, kHeight};
    AnimationClock clock;  // the playing time, as the players keep it
    SceneFrame lastFrame;
    uint32_t now = 0xFFFFF800;  // the tick count wraps during the tests
    uint32_t start = 0;
};

class FlightTick : public ::testing::Test, protected Flight {};

TEST_F(FlightTick, TakeOffAtHomeThenTheFirstLegWithBeatsStepsThreeTimesAsFar) {
    Start();
    for (int tick = 0; tick < 15; ++tick) {
        ASSERT_TRUE(Tick().has_value());
        ASSERT_EQ(b().position, kHome);
        ASSERT_NE(b().flightState, FlightState::Flying);
    }
    Tick();
    EXPECT_EQ(b().flightState, FlightState::Flying);
    EXPECT_EQ(b().waypointIndex, 1);
    // (220, 73) shifted by the third and fourth rand values (the restart drew the first two):
    // 220 + (2 × 6334 / 32762 − 1) × 405 / 22 = 208.7, 73 + (2 × 26500 / 32762 − 1) × 308 / 17
    // = 84.2; (366 + 61) / 1.4 = 305 steps, the first of them to (−158 + 1.2, 145 − 0.2).
    EXPECT_EQ(b().legTarget, (Point{208, 84}));
    EXPECT_EQ(b().legSteps, 305);
    EXPECT_EQ(b().heading, 2);
    EXPECT_EQ(b().position, (Point{-156, 144}));
    const bool beats[] = {true, false, false, true, true};
    const int32_t legStep[] = {4, 5, 6, 9, 12};
    for (int i = 0; i < 5; ++i) {
        Tick(beats[i]);
        EXPECT_EQ(b().legStep, legStep[i]);
    }
    EXPECT_EQ(b().sheetX, 300);  // one frame per beat tick
    EXPECT_EQ(lastFrame.sheetX, 300);
}

TEST(FlightTickBeat, ATickLooksForABeatInItsNext75MsAndSetsTheLightColour) {
    const struct {
        int32_t beatOffset;
        bool beat;
    } cases[] = {{-1, false}, {0, true}, {74, true}, {75, false}};
    for (const auto& c : cases) {
        Flight f;
        f.Start();
        f.Tick(true, false, c.beatOffset);
        EXPECT_EQ(f.clock.elapsedMs, 75u);
        EXPECT_EQ(f.animation.beat().beatFound, c.beat) << c.beatOffset;
        EXPECT_EQ(f.lastFrame.lightColour, 0xFF0000u);  // blue 255 × 65536: the lights start blue
        EXPECT_TRUE(f.lastFrame.lightsOn);
    }
}

TEST(FlightSpriteColumn, AdvancesOnBeatsAndWrapsOnlyBeforeLanding) {
    const struct {
        int32_t sheetX;
        bool endReached, beatFound, beforeLanding;
        int32_t sheetXAfter;
    } cases[] = {
        {300, false, false, true, 300},   {300, false, true, true, 400},
        {1300, false, true, true, 1400},  {1400, false, true, true, 0},
        {1400, false, true, false, 1500}, {1400, true, false, true, 0},
        {-100, true, false, false, 0},
    };
    for (const auto& c : cases) {
        int32_t sheetX = c.sheetX;
        const bool beatFound =
            AdvanceSpriteColumn(sheetX, c.endReached, c.beatFound, c.beforeLanding);
        EXPECT_EQ(sheetX, c.sheetXAfter) << c.sheetX;
        EXPECT_EQ(beatFound, c.beatFound || c.endReached) << c.sheetX;
    }
}

TEST(FlightLoopChoice, DirectionBaseAndTheNextDirection) {
    const int32_t base[] = {3, 4, 1, 2};
    // By r mod 3 = 0, 1, 2: one back, the same, one on, cyclically in 1..4.
    const int32_t next[4][3] = {{4, 1, 2}, {1, 2, 3}, {2, 3, 4}, {3, 4, 1}};
    for (int32_t d = 1; d <= 4; ++d) {
        EXPECT_EQ(DirectionBaseFor(d), base[d - 1]);
        for (int32_t r = 60; r < 63; ++r)
            EXPECT_EQ(NextLoopDirection(DirectionBaseFor(d), r), next[d - 1][r % 3]) << d << r;
    }
}

// The k-th loop choice draws rand value 20 + 19k: 2 for the take-off's offsets, 2 per waypoint,
// 1 per choice. R = rand / 32762 × 50 + (10 + s), s the tick count's seconds; R mod 3 picks.
// Drawing 145 offset pairs first makes the first choice draw 30145, where 30145 / 32762 × 50 =
// 46.006 (but 45.998 with 32767).
TEST(FlightLoopChoice, EachCompletedLoopPicksItsDirectionFromRandAndTheSeconds) {
    const std::vector<int32_t> rand = RandValues(1000);
    bool changed = false;
    for (int32_t skippedPairs : {0, 145}) {
        Flight f;
        for (int32_t i = 0; i < skippedPairs; ++i) f.animation.PickJitter();
        f.Start();
        int32_t expected = 1, choices = 0;
        for (int tick = 0; tick < 4000 && choices < 4; ++tick) {
            const FlightState before = f.b().flightState;
            f.Tick(true);
            if (before != FlightState::Flying || f.b().flightState != FlightState::PickLoop)
                continue;
            const int32_t r = rand[size_t(2 * skippedPairs + 20 + 19 * choices)];
            const auto bigR = int32_t(r / 32762.0 * 50 + (10 + int32_t(f.now % 60)));
            const int32_t previous = expected;
            expected = (expected - 1 + bigR % 3 - 1 + 4) % 4 + 1;
            changed = changed || expected != previous;
            EXPECT_EQ(f.b().loopDirection, expected) << skippedPairs << " choice " << choices;
            ++choices;
        }
        EXPECT_EQ(choices, 4);
    }
    EXPECT_TRUE(changed);  // the directions above do change, so a choice never made shows
}

TEST_F(FlightTick, RestartTakesOffFromWhereItIsAndTheClockLeavesOutPauses) {
    Start();
    for (int tick = 0; tick < 150; ++tick) Tick(true);
    ASSERT_EQ(b().flightState, FlightState::Flying);
    const Point where = b().position;
    const int32_t index = b().waypointIndex;
    ASSERT_GE(index, 2);
    animation.RestartFlight();
    clock.Restart(now);
    start = now;
    EXPECT_EQ(b().flightState, FlightState::TakeOff);
    EXPECT_EQ(b().legStart, where);
    EXPECT_EQ(b().sheetX, 0);  // from the first frame of the take-off row
    EXPECT_EQ(clock.playStartTick, now);
    // The take-off counter goes on from the index the flight left: 15 − index ticks.
    for (int32_t tick = index; tick < 15; ++tick) {
        ASSERT_EQ(b().flightState, FlightState::TakeOff) << tick;
        Tick();
        EXPECT_EQ(b().position, where);
    }
    EXPECT_EQ(b().flightState, FlightState::PickLoop);
    Tick();
    EXPECT_EQ(b().legStart, where);  // the first leg starts where the flight stood
    EXPECT_EQ(b().waypointIndex, 1);

    const uint32_t elapsed = clock.elapsedMs;
    clock.TogglePause(now);
    now += 2000;
    clock.TogglePause(now);
    Tick();
    EXPECT_EQ(clock.elapsedMs, elapsed + 75);
}

TEST_F(FlightTick, LegsTooShortForAStepEndAtOnce) {
    for (bool endReached : {false, true}) {
        Start();
        Butterfly& bf = animation.butterfly();
        bf.flightState = FlightState::Flying;
        // One pixel: less than a step of 1.4, so the leg ends at its target on the next tick.
        const Point target{kHome.x + 1, kHome.y};
        bf.position = bf.legStart = kHome;
        bf.legTarget = target;
        bf.waypointIndex = 3;
        AimLeg(bf);
        ASSERT_EQ(bf.legSteps, 0);
        Tick(false, endReached);
        EXPECT_EQ(b().position, target);
        EXPECT_EQ(b().legStart, target);
        if (!endReached) {
            EXPECT_EQ(b().flightState, FlightState::NextLeg);
            continue;
        }
        EXPECT_EQ(b().flightState, FlightState::FlyingHome);  // the leg home is just as short
        Tick(false, true);
        EXPECT_EQ(b().position, kHome);
        EXPECT_EQ(b().flightState, FlightState::Landing);
    }
}

// Home at four times the speed on its own: a leg of 100 pixels right (71 steps of 100 / 71)
// flown in 71 / 4 = 17 ticks of 4 steps each, the wings beating one frame per tick and
// wrapping from column 14 to 0; then the take-off row backwards, columns 13 to 0, and rest.
TEST_F(FlightTick, HomeAtFourTimesTheSpeedThenLandingThenRest) {
    Butterfly& bf = animation.butterfly();
    bf.flightState = FlightState::FlyingHome;
    bf.position = bf.legStart = {100, 150};
    bf.legTarget = {200, 150};
    AimLeg(bf);
    bf.legStep = 0;
    bf.sheetX = 1300;
    std::vector<int32_t> xs, columns;
    for (; b().flightState == FlightState::FlyingHome && xs.size() < 30;
         xs.push_back(b().position.x)) {
        ASSERT_TRUE(Tick(false, true).has_value());
        columns.push_back(DrawnFrame().first);
        EXPECT_EQ(DrawnFrame().second, 2);  // the heading's row: mainly right
        EXPECT_EQ(b().position.y, 150);
    }
    ASSERT_EQ(xs.size(), 17u);
    EXPECT_EQ(xs.front(), 105);  // 100 + 4 × 100 / 71
    EXPECT_EQ(xs.back(), 195);   // 100 + 17 × 4 × 100 / 71 = 195.8
    EXPECT_EQ(columns,
              (std::vector<int32_t>{14, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0}));
    EXPECT_EQ(b().heading, 0);
    columns.clear();
    for (; b().flightState == FlightState::Landing && columns.size() < 30;
         columns.push_back(DrawnFrame().first)) {
        ASSERT_TRUE(Tick(false, true).has_value());
        EXPECT_EQ(DrawnFrame().second, 0);
        EXPECT_EQ(b().position, (Point{195, 150}));
    }
    EXPECT_EQ(columns, (std::vector<int32_t>{13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(b().flightState, FlightState::Resting);
    const Image last = scene.backBuffer();
    EXPECT_FALSE(Tick(true, true).has_value());
    EXPECT_EQ(scene.backBuffer(), last);
}

// The whole way: the end of playback turns a flying butterfly home on the same tick, and it
// lands at home.
TEST_F(FlightTick, TheEndOfPlaybackSendsTheButterflyHomeToLand) {
    Start();
    for (int tick = 0; tick < 40; ++tick) Tick();
    Tick(false, true);
    ASSERT_EQ(b().flightState, FlightState::FlyingHome);
    EXPECT_EQ(b().legTarget, kHome);
    int ticks = 0;
    for (; b().flightState != FlightState::Resting && ticks < 500; ++ticks) Tick(false, true);
    EXPECT_LE(std::abs(b().position.x - kHome.x) + std::abs(b().position.y - kHome.y), 8);
}

}  // namespace
}  // namespace zirvak
