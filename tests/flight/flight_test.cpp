// The butterfly's flight, tick by tick, on a picture of the size the program ships with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "animation.h"
#include "leg.h"
#include "scene/test_pictures.h"

namespace zirvak {
namespace {

constexpr int32_t kWidth = 405, kHeight = 308;
const Point kHome{-158, 145};

TEST(FlightLoops, RandomSequenceAndLoopsScaledToThePicture) {
    CrtRand rand;
    for (int32_t want : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(rand.Next(), want);
    const ScaledLoops loops = ScaleLoops(kWidth);
    EXPECT_EQ(loops.RightLoop, (Loop{{{220, 73},
                                      {257, 55},
                                      {312, 55},
                                      {349, 73},
                                      {368, 128},
                                      {349, 184},
                                      {312, 202},
                                      {257, 202},
                                      {220, 184}}}));
    EXPECT_EQ(loops.LeftLoop, (Loop{{{184, 184},
                                     {147, 202},
                                     {92, 202},
                                     {55, 184},
                                     {36, 128},
                                     {55, 73},
                                     {92, 55},
                                     {147, 55},
                                     {184, 73}}}));
}

TEST(FlightLeg, HeadingAndStepsOfALeg) {
    const struct {
        Point start, target;
        int32_t heading, legSteps;
    } cases[] = {
        {kHome, {220, 73}, 2, 321},  // the first leg, without offset
        {{0, 0}, {10, 20}, 3, 21},  {{0, 0}, {10, 10}, 6, 14},  {{0, 0}, {10, -20}, 6, 21},
        {{0, 0}, {-20, 5}, 1, 17},  {{0, 0}, {-5, -20}, 5, 17}, {{0, 0}, {-5, 20}, 4, 17},
        {{0, 0}, {0, 0}, 4, 0},     {{0, 0}, {1, 0}, 2, 0},     {{5, 5}, {5, 4}, 5, 0},
    };
    for (const auto& c : cases) {
        Butterfly b;
        b.legStart = c.start;
        b.legTarget = c.target;
        AimLeg(b);
        EXPECT_EQ(b.heading, c.heading) << c.target.x << "," << c.target.y;
        EXPECT_EQ(b.legSteps, c.legSteps) << c.target.x << "," << c.target.y;
        // Walked to its last step the leg ends within a pixel of the target; one too short for
        // a step is complete at once, without dividing by its zero steps.
        b.legStep = b.legSteps;
        const Point end = PositionOnLeg(b, 1);
        EXPECT_TRUE(std::abs(end.x - c.target.x) <= 1 && std::abs(end.y - c.target.y) <= 1);
    }
}

class FlightTick : public ::testing::Test {
protected:
    // The first paint puts the butterfly at home; then a file starts playing.
    void Start() {
        animation_.RecomposeAtLegStart(scene_);
        animation_.RestartFlight(now_, scene_);
        start_ = now_;
    }
    std::optional<RepaintAreas> Tick(bool beat = false, bool endReached = false) {
        now_ += Animation::tickInterval;
        const BeatMark marker{50, now_ - start_};  // exactly at the tick: a beat
        const std::span<const BeatMark> markers(&marker, beat ? 1 : 0);
        return animation_.Tick(now_, endReached, markers, scene_);
    }
    const Butterfly& b() const { return animation_.butterfly(); }

    Scene scene_{testing::MakeBackground(kWidth, kHeight), testing::MakeBackground(kWidth, kHeight),
                 testing::MakeSheet()};
    Animation animation_{kWidth, kHeight};
    uint32_t now_ = 0xFFFFF800;  // the tick count wraps during the tests
    uint32_t start_ = 0;
};

TEST_F(FlightTick, TakeOffAtHomeThenTheFirstLeg) {
    Start();
    for (int tick = 0; tick < 15; ++tick) {
        ASSERT_TRUE(Tick().has_value());
        ASSERT_EQ(b().position, kHome);
        Image expected = testing::MakeBackground(kWidth, kHeight);  // no sprite pixel shows
        FillLightRegion(expected, scene_.lightRegion(), scene_.lightColour);
        ASSERT_EQ(scene_.backBuffer(), expected);
    }
    Tick();
    EXPECT_EQ(b().flightState, FlightState::Flying);
    EXPECT_EQ(b().waypointIndex, 1);
    // (220, 73) shifted by the third and fourth random values (the restart used the first two).
    EXPECT_EQ(b().legTarget, (Point{208, 84}));
    EXPECT_EQ(b().legSteps, 305);  // (366 + 61) / 1.4
}

TEST_F(FlightTick, BeatTicksStepThreeTimesAsFarAndBeatTheWings) {
    Start();
    for (int tick = 0; tick < 16; ++tick) Tick();
    const bool beats[] = {true, false, false, true, true};
    const int32_t legStep[] = {4, 5, 6, 9, 12};
    for (int i = 0; i < 5; ++i) {
        Tick(beats[i]);
        EXPECT_EQ(b().legStep, legStep[i]);
    }
    EXPECT_EQ(scene_.sheetX, 300);  // one frame per beat tick
}

TEST_F(FlightTick, NextLoopIsTheSameOrAnAdjacentDirection) {
    for (int32_t d = 1; d <= 4; ++d)
        for (int32_t r = 30; r < 33; ++r)  // r mod 3: 0 back one, 1 the same, 2 on one
            EXPECT_EQ(NextLoopDirection(DirectionBaseFor(d), r), (d + r % 3 + 2) % 4 + 1);
    Start();
    int32_t direction = b().loopDirection;
    int loops = 0;
    for (int tick = 15; tick < 3000 && loops < 6; ++tick) {
        Tick(true);
        if (tick == 15 || b().flightState != FlightState::PickLoop) continue;
        const int32_t turn = (b().loopDirection - direction + 4) % 4;
        EXPECT_NE(turn, 2) << direction << " -> " << b().loopDirection;
        direction = b().loopDirection;
        ++loops;
    }
    EXPECT_EQ(loops, 6);
}

TEST_F(FlightTick, HomeAtFourTimesTheSpeedThenLandingThenRest) {
    Start();
    for (int tick = 0; tick < 40; ++tick) Tick();
    Tick(false, true);  // the end of playback turns the butterfly home on the same tick
    ASSERT_EQ(b().flightState, FlightState::FlyingHome);
    EXPECT_EQ(b().legTarget, kHome);
    const int32_t legSteps = b().legSteps;
    int homeTicks = 0;
    for (; b().flightState == FlightState::FlyingHome; ++homeTicks) Tick(false, true);
    EXPECT_EQ(homeTicks, legSteps / 4);
    EXPECT_LE(std::abs(b().position.x - kHome.x) + std::abs(b().position.y - kHome.y), 8);

    std::vector<int32_t> columns;  // the take-off row backwards
    while (b().flightState == FlightState::Landing) {
        EXPECT_TRUE(Tick(false, true).has_value());
        columns.push_back((scene_.sheetX + 200) / 100);  // drawing added one, landing took two
    }
    EXPECT_EQ(columns, (std::vector<int32_t>{13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(b().heading, 0);
    EXPECT_EQ(b().flightState, FlightState::Resting);
    const Image last = scene_.backBuffer();
    EXPECT_FALSE(Tick(true, true).has_value());
    EXPECT_EQ(scene_.backBuffer(), last);
}

TEST_F(FlightTick, LegsTooShortForAStepEndAtOnce) {
    Start();
    Butterfly& bf = animation_.butterfly();
    bf.flightState = FlightState::Flying;
    bf.position = bf.legStart = bf.legTarget = kHome;
    bf.waypointIndex = 3;
    AimLeg(bf);
    ASSERT_EQ(bf.legSteps, 0);
    Tick(false, true);  // the leg ends where it stands; the leg home is just as short
    EXPECT_EQ(b().position, kHome);
    EXPECT_EQ(b().flightState, FlightState::FlyingHome);
    Tick(false, true);
    EXPECT_EQ(b().position, kHome);
    EXPECT_EQ(b().flightState, FlightState::Landing);
}

TEST_F(FlightTick, RestartTakesOffFromWhereItIsAndTheClockLeavesOutPauses) {
    Start();
    for (int tick = 0; tick < 40; ++tick) Tick(true);
    const Point where = b().position;
    const int32_t index = b().waypointIndex;
    animation_.RestartFlight(now_, scene_);
    start_ = now_;
    EXPECT_EQ(b().legStart, where);
    EXPECT_EQ(scene_.sheetX, 0);  // from the first frame of the take-off row
    for (int32_t tick = index; tick < 15; ++tick) Tick();  // the take-off counter goes on
    EXPECT_EQ(b().flightState, FlightState::PickLoop);

    const uint32_t elapsed = animation_.clock().elapsedMs;
    animation_.TogglePause(now_);
    now_ += 2000;
    animation_.TogglePause(now_);
    Tick();
    EXPECT_EQ(animation_.clock().elapsedMs, elapsed + 75);
}

TEST_F(FlightTick, WaypointOffsetsSpanAboutOneGridUnit) {
    const float unitX = kWidth / 22.0f, unitY = kHeight / 17.0f, over = 1.0004f;
    float lowX = 0, highX = 0, lowY = 0, highY = 0;
    for (int i = 0; i < 5000; ++i) {
        animation_.PickJitter();
        lowX = std::min(lowX, b().jitterX), highX = std::max(highX, b().jitterX);
        lowY = std::min(lowY, b().jitterY), highY = std::max(highY, b().jitterY);
    }
    EXPECT_TRUE(lowX >= -unitX && lowX < -0.99f * unitX) << lowX;
    EXPECT_TRUE(highX <= over * unitX && highX > 0.99f * unitX) << highX;
    EXPECT_TRUE(lowY >= -unitY && lowY < -0.99f * unitY) << lowY;
    EXPECT_TRUE(highY <= over * unitY && highY > 0.99f * unitY) << highY;
}

}  // namespace
}  // namespace zirvak
