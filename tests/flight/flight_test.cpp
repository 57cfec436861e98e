// The butterfly's flight, tick by tick, on a picture of the size the program ships with.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "animation.h"
#include "leg.h"
#include "scene/test_pictures.h"

namespace zirvak {
namespace {

constexpr int32_t kWidth = 405, kHeight = 308;
const Point kHome{-158, 145};

TEST(FlightLeg, HeadingAndStepsOfALeg) {
    const struct {
        Point start, target;
        int32_t heading, legSteps;
    } cases[] = {
        {kHome, {220, 73}, 2, 321},  // the first leg, without jitter
        {{0, 0}, {10, 20}, 3, 21},  {{0, 0}, {-20, 5}, 1, 17}, {{0, 0}, {-5, -20}, 5, 17},
        {{0, 0}, {0, 0}, 4, 0},     {{0, 0}, {1, 0}, 2, 0},    {{5, 5}, {5, 4}, 5, 0},
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
        return animation_.Tick(now_, endReached, std::span<const BeatMark>(&marker, beat ? 1 : 0),
                               scene_);
    }
    const Butterfly& b() const { return animation_.butterfly(); }

    Scene scene_{testing::MakeBackground(kWidth, kHeight), testing::MakeBackground(kWidth, kHeight),
                 testing::MakeSheet()};
    Animation animation_{kWidth, kHeight};
    uint32_t now_ = 0xFFFFF800;  // the tick count wraps during the tests
    uint32_t start_ = 0;
};

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
        EXPECT_NE((b().loopDirection - direction + 4) % 4, 2)
            << direction << " -> " << b().loopDirection;
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
    int landingTicks = 0;
    for (; b().flightState == FlightState::Landing; ++landingTicks)
        EXPECT_TRUE(Tick(false, true).has_value());
    EXPECT_EQ(landingTicks, 14);
    EXPECT_EQ(b().flightState, FlightState::Resting);
    EXPECT_FALSE(Tick(true, true).has_value());
}

}  // namespace
}  // namespace zirvak
