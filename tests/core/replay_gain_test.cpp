// The gain a song plays at: each mode, the album's and the track's values standing in for each
// other, the preamp, the fallback for songs without values, and clipping held off by the peak.
#include "replay_gain.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zirvak::test {
namespace {

double Db(double db) {
    return std::pow(10.0, db / 20.0);
}

TEST(ReplayGain, EachModeTakesItsValue) {
    const ReplayGainValues full{-6.0, 0.5, -3.0, 0.9};
    const ReplayGainValues trackOnly{-6.0, 0.5, std::nullopt, std::nullopt};
    const ReplayGainValues albumOnly{std::nullopt, std::nullopt, -3.0, 0.9};
    const ReplayGainValues loud{-1.0, 1.0, std::nullopt, std::nullopt};
    using enum ReplayGainMode;
    const struct {
        const char* name;
        ReplayGainValues values;
        ReplayGainSettings settings;
        bool inAlbum;
        double want;
    } cases[] = {
        {"off", full, {kOff, 6, -9}, true, 1.0},
        {"track", full, {kTrack}, true, Db(-6)},
        {"album", full, {kAlbum}, false, Db(-3)},
        {"auto in an album", full, {kAuto}, true, Db(-3)},
        {"auto alone", full, {kAuto}, false, Db(-6)},
        {"album without album values", trackOnly, {kAlbum}, false, Db(-6)},
        {"track without track values", albumOnly, {kTrack}, false, Db(-3)},
        {"preamp", full, {kTrack, 2.5}, false, Db(-3.5)},
        {"fallback without values", {}, {kTrack, 2.5, -4}, false, Db(-4)},
        {"a peak only is no gain",
         {std::nullopt, 0.5, std::nullopt, std::nullopt},
         {kTrack, 0, -4},
         false,
         Db(-4)},
        // +6 dB would lift a peak of 0.9 past full scale: held at 1 / 0.9.
        {"clipping held off", {6.0, 0.9, std::nullopt, std::nullopt}, {kTrack}, false, 1 / 0.9},
        {"clipping allowed",
         {6.0, 0.9, std::nullopt, std::nullopt},
         {kTrack, 0, 0, false},
         false,
         Db(6)},
        {"a peak at full scale with a cut", loud, {kTrack}, false, Db(-1)},
        {"preamp into clipping", loud, {kTrack, 3}, false, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(ReplayGainFactor(c.values, c.settings, c.inAlbum), c.want, 1e-12);
    }
}

TEST(ReplayGain, ModesByName) {
    for (const ReplayGainMode mode : {ReplayGainMode::kOff, ReplayGainMode::kTrack,
                                      ReplayGainMode::kAlbum, ReplayGainMode::kAuto})
        EXPECT_EQ(ParseReplayGainMode(ReplayGainModeName(mode)), mode);
    for (const char* text : {"", "Track", "albums", "on", "auto "})
        EXPECT_EQ(ParseReplayGainMode(text), std::nullopt) << text;
}

}  // namespace
}  // namespace zirvak::test
