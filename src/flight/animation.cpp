#include "animation.h"

#include <cstddef>

#include "leg.h"
#include "sprite_column.h"

namespace zirvak {

int32_t DirectionBaseFor(int32_t loopDirection) {
    return loopDirection <= 2 ? loopDirection + 2 : loopDirection - 2;
}

int32_t NextLoopDirection(int32_t directionBase, int32_t r) {
    // r mod 3 = 0 turns one direction back, 1 keeps it, 2 turns one on.
    const int32_t s = directionBase + r % 3 + 1;
    return s < 5 ? s : s - 4;
}

Animation::Animation(int32_t pictureWidth, int32_t pictureHeight)
    : pictureWidth_(pictureWidth),
      pictureHeight_(pictureHeight),
      loops_(ScaleLoops(pictureWidth)) {}

void Animation::RestartFlight() {
    butterfly_.flightState = FlightState::TakeOff;
    butterfly_.legStart = butterfly_.position;
    butterfly_.sheetX = 0;
    PickJitter();
}

// The divisor is 32762, not the generator's maximum 32767, so the top of the range reaches a
// hair over one unit; kept so the flights keep their known paths.
void Animation::PickJitter() {
    const int32_t r1 = rand_.Next();
    const int32_t r2 = rand_.Next();
    butterfly_.jitterX = static_cast<float>((2.0 * r1 / 32762 - 1) * pictureWidth_ / 22);
    butterfly_.jitterY = static_cast<float>((2.0 * r2 / 32762 - 1) * pictureHeight_ / 17);
}

SceneFrame Animation::ReturnToLegStart() {
    butterfly_.position = butterfly_.legStart;
    return {butterfly_.pose(), butterfly_.sheetX, false, lightColour_};
}

SceneFrame Animation::CurrentFrame(bool endReached) const {
    return {butterfly_.pose(), butterfly_.sheetX, !endReached, lightColour_};
}

std::optional<SceneFrame> Animation::Tick(uint32_t tickCount, uint32_t elapsedMs, bool endReached,
                                          std::span<const BeatMark> soundingMarkers) {
    FindBeat(beat_, soundingMarkers, elapsedMs, tickInterval);
    lightColour_ = UpdateLightColour(fade_, beat_);
    // A little extra variety for the loop choice: the tick count's seconds, as if it counted
    // seconds rather than milliseconds. Plain modulo, so defined for every tick count.
    const auto seconds = static_cast<int32_t>(tickCount % 60);
    return RunFlightMachine(endReached, seconds);
}

// The tick's frame: the next one of the row on a beat, the lights only while the music plays.
SceneFrame Animation::Draw(bool endReached) {
    const bool beforeLanding = butterfly_.flightState < FlightState::Landing;
    beat_.beatFound =
        AdvanceSpriteColumn(butterfly_.sheetX, endReached, beat_.beatFound, beforeLanding);
    return CurrentFrame(endReached);
}

void Animation::ChooseLoopDirection(int32_t seconds) {
    const int32_t r = static_cast<int32_t>(rand_.Next() / 32762.0 * 50 + (10 + seconds));
    butterfly_.loopDirection = NextLoopDirection(butterfly_.directionBase, r);
}

std::optional<SceneFrame> Animation::RunFlightMachine(bool endReached, int32_t seconds) {
    Butterfly& b = butterfly_;
    switch (b.flightState) {
        case FlightState::TakeOff: {
            const SceneFrame drawn = Draw(endReached);
            // Not reset by a restart: a second take-off is shorter by the waypoint index the
            // previous flight left behind.
            if (++b.waypointIndex == Scene::framesPerRow) b.flightState = FlightState::PickLoop;
            return drawn;
        }
        case FlightState::PickLoop:
            b.directionBase = DirectionBaseFor(b.loopDirection);
            b.waypointIndex = 0;
            b.flightState = FlightState::NextLeg;
            [[fallthrough]];
        case FlightState::NextLeg: {
            PickJitter();
            const Loop& loop = b.loopDirection % 2 == 1 ? loops_.RightLoop : loops_.LeftLoop;
            const Point waypoint = loop[static_cast<std::size_t>(b.waypointIndex)];
            b.legTarget = {static_cast<int32_t>(static_cast<float>(waypoint.x) + b.jitterX),
                           static_cast<int32_t>(static_cast<float>(waypoint.y) + b.jitterY)};
            if (++b.waypointIndex == 9) b.waypointIndex = 0;
            AimLeg(b);
            b.legStep = 0;
            b.flightState = FlightState::Flying;
            [[fallthrough]];
        }
        case FlightState::Flying: {
            b.legStep += beat_.beatFound ? 3 : 1;
            b.position = PositionOnLeg(b, 1);
            const SceneFrame drawn = Draw(endReached);
            if (b.legStep >= b.legSteps) {
                if (b.waypointIndex == 0) {
                    b.flightState = FlightState::PickLoop;
                    ChooseLoopDirection(seconds);
                } else {
                    b.flightState = FlightState::NextLeg;
                }
                b.legStart = b.position;
            }
            // Checked on every flying tick, not only at the end of a leg.
            if (endReached) {
                b.legStart = b.position;
                b.legTarget = b.home;
                AimLeg(b);
                b.legStep = 0;
                b.flightState = FlightState::FlyingHome;
            }
            return drawn;
        }
        case FlightState::FlyingHome: {
            ++b.legStep;
            b.position = PositionOnLeg(b, 4);
            const SceneFrame drawn = Draw(endReached);
            if (b.legStep >= b.legSteps / 4) {
                b.flightState = FlightState::Landing;
                b.sheetX = 12 * Scene::frameWidth;
                b.heading = 0;
            }
            return drawn;
        }
        case FlightState::Landing: {
            // Drawing adds one frame width, so two back per tick shows the take-off row
            // backwards, columns 13 down to 0.
            const SceneFrame drawn = Draw(endReached);
            b.sheetX -= 2 * Scene::frameWidth;
            if (b.sheetX < -Scene::frameWidth) b.flightState = FlightState::Resting;
            return drawn;
        }
        case FlightState::Resting:
            break;
    }
    return std::nullopt;
}

}  // namespace zirvak
