// Moving within a song of the queue, the volume and the ReplayGain modes, through the commands.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "command_fixtures.h"
#include "file_uri.h"
#include "settings.h"
#include "user_actions.h"

namespace zirvak::test {
namespace {

TEST_F(SongQueueTest, SeekingPlayingPausedAndStopped) {
    commands.OpenFiles({Song("a.wav")});
    const int shown = host.statusShown;
    animation.butterfly().flightState = FlightState::Flying;
    host.now += 1000;
    commands.SeekTo(5000);
    EXPECT_EQ(engine.runStartMs(), 5000u);
    EXPECT_EQ(engine.runStartFrame(), 40000u);
    EXPECT_EQ(commands.session().PositionMs(), 5000u);
    EXPECT_EQ(commands.session().clock().time().ElapsedAt(host.now),
              5000u);  // the beats' time and the clock's
    EXPECT_EQ(animation.butterfly().flightState, FlightState::Flying);  // no new take-off
    host.now += 500;
    commands.SeekBy(TransportCommands::kSeekStepMs);
    EXPECT_EQ(commands.session().PositionMs(), 10500u);
    commands.SeekBy(-TransportCommands::kLongSeekStepMs);  // never before the start
    EXPECT_EQ(commands.session().PositionMs(), 0u);
    EXPECT_EQ(host.statusShown, shown + 3);
    EXPECT_EQ(commands.session().seeks(), 3u);  // the desktop hears of each jump

    // Paused: it stays paused there, and time runs on from there once it resumes.
    commands.Pause();
    host.now += 3000;
    commands.SeekTo(8000);
    EXPECT_EQ(engine.state(), Paused);
    EXPECT_EQ(commands.session().PositionMs(), 8000u);
    host.now += 2000;
    EXPECT_EQ(commands.session().PositionMs(), 8000u);
    commands.Pause();
    host.now += 1000;
    EXPECT_EQ(commands.session().PositionMs(), 9000u);

    // Stopped: the place holds, and a seek plays from the new one, the butterfly taking off.
    commands.Stop();
    host.now += 4000;
    EXPECT_EQ(commands.session().PositionMs(), 9000u);
    commands.SeekTo(3000);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(commands.session().PositionMs(), 3000u);
    EXPECT_EQ(animation.butterfly().flightState, FlightState::TakeOff);
    EXPECT_TRUE(device.misuse().empty());
}

TEST_F(SongQueueTest, SeekingPastTheEndGoesToTheNextSongOrEndsTheLast) {
    commands.OpenFiles({Song("a.wav"), Song("b.wav")});
    EXPECT_EQ(commands.session().LengthMs(), 20000u);
    commands.SeekTo(20000);
    EXPECT_EQ(Current(), 1u);
    EXPECT_EQ(engine.state(), Playing);
    commands.SeekTo(19999);  // the last millisecond still plays
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(engine.runStartFrame(), 159992u);
    commands.SeekBy(TransportCommands::kLongSeekStepMs);
    EXPECT_EQ(Current(), 1u);
    EXPECT_TRUE(commands.session().QueueEnded());
    EXPECT_TRUE(commands.session().MusicEnded());
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_EQ(commands.session().PositionMs(), 20000u);
    // Play starts the last song again.
    commands.Play();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_FALSE(commands.session().QueueEnded());
}

TEST_F(SongQueueTest, VolumeMovesInStepsWithinItsRangeAndIsRemembered) {
    const std::string path = dir.Path("config/zirvak/settings");
    commands.UseSettings(path);
    EXPECT_EQ(commands.status().volumePercent, 100u);
    commands.ChangeVolume(+1);
    EXPECT_EQ(commands.status().volumePercent, 100u);
    commands.ChangeVolume(-3);
    EXPECT_EQ(commands.status().volumePercent, 85u);
    EXPECT_EQ(device.volume(), 85u);
    EXPECT_EQ(host.statusShown, 2);
    EXPECT_EQ(commands.session().seeks(), 0u);
    commands.SetVolume(37);  // the desktop's controls set any value
    EXPECT_EQ(device.volume(), 37u);
    commands.SetVolume(250);
    EXPECT_EQ(commands.status().volumePercent, 100u);
    commands.ChangeVolume(-30);
    EXPECT_EQ(commands.status().volumePercent, 0u);
    commands.SetVolume(-1);
    EXPECT_EQ(commands.status().volumePercent, 0u);
    commands.ChangeVolume(+1);
    // The next run starts where this one left off.
    TestAudioDevice otherDevice;
    PlayerEngine otherEngine(otherDevice);
    FakeHost otherHost;
    TransportCommands other(otherEngine, otherHost);
    other.UseSettings(path);
    EXPECT_EQ(other.settings().volumePercent, 5);
    EXPECT_EQ(otherDevice.volume(), 5u);
}

// Each song plays at the gain its tags give in the mode chosen (auto: the album's gain where a
// neighbour in the queue is of the same album); the device gets round(s × gain × volume); a mode
// chosen for the run is not saved and acts from the next song on.
TEST_F(SongQueueTest, ReplayGainSetsEachSongsGainByTheMode) {
    commands.UseSettings(dir.Path("settings"));
    const auto db = [](double d) { return std::pow(10.0, d / 20); };
    const std::vector<std::string> songs = {GainSong(dir, "a", "X", -6, -3),
                                            GainSong(dir, "b", "X", -2, -3),
                                            GainSong(dir, "c", "Y", -4, -1)};
    commands.UseReplayGainMode(ReplayGainMode::kAuto);
    commands.OpenFiles(songs);
    EXPECT_NEAR(device.gain(), db(-3), 1e-12);  // b is of its album
    HearToTheEnd();
    EXPECT_NEAR(device.gain(), db(-3), 1e-12);
    commands.Next();
    EXPECT_NEAR(device.gain(), db(-4), 1e-12);  // alone in its album: the track's gain
    // What the device got: the samples scaled by the gain and the volume, rounded.
    commands.ChangeVolume(-3);
    commands.Previous();  // within the song's first seconds: the song before
    ASSERT_EQ(Current(), 1u);
    const uint32_t volume = device.volume();
    ASSERT_LT(volume, 100u);
    const Bytes pcm = Pcm16Pattern(2 * 8000, 1);
    const Bytes& played = device.written.back().bytes;
    ASSERT_GE(played.size(), 2000u);
    for (size_t i = 0; i < 2000; i += 2) {
        const auto s = int16_t(pcm[i] | pcm[i + 1] << 8);
        const auto want = int16_t(std::round(s * (db(-3) * volume / 100.0)));
        ASSERT_EQ(int16_t(played[i] | played[i + 1] << 8), want) << i;
    }
    commands.UseReplayGainMode(ReplayGainMode::kTrack);
    EXPECT_NEAR(device.gain(), db(-3), 1e-12);  // from the next song on
    commands.Next();
    EXPECT_NEAR(device.gain(), db(-4), 1e-12);
    commands.UseReplayGainMode(ReplayGainMode::kOff);
    commands.Previous();
    commands.Previous();
    EXPECT_EQ(device.gain(), 1.0);
    EXPECT_EQ(LoadSettings(dir.Path("settings")).replayGain, ReplayGainMode::kOff);
    // The key steps through the modes, each kept in the settings and shown.
    for (const ReplayGainMode mode : {ReplayGainMode::kTrack, ReplayGainMode::kAlbum,
                                      ReplayGainMode::kAuto, ReplayGainMode::kOff}) {
        const int shown = host.statusShown;
        ASSERT_TRUE(Perform(commands, UserAction::NextReplayGainMode));
        EXPECT_EQ(commands.status().replayGain, mode);
        EXPECT_EQ(LoadSettings(dir.Path("settings")).replayGain, mode);
        EXPECT_EQ(host.statusShown, shown + 1);
    }
}

// An output that falls behind (a busy machine, an output slow to start) holds the clock at the
// end of the music it was given, so the position waits for it and then moves on from there,
// never jumping ahead once the output catches up.
TEST_F(SongQueueTest, WhenTheOutputFallsBehindTheClockWaitsForIt) {
    commands.OpenFiles({Song("a.wav", 60)});  // buffers of 18.4 s, two handed at the start
    const uint32_t handed = 2 * 147456 * 1000 / 8000;
    host.now += handed + 5000;  // the output has taken nothing all this time
    commands.FollowPlayback();
    EXPECT_EQ(commands.session().clock().time().ElapsedAt(host.now), handed);
    EXPECT_EQ(commands.session().PositionMs(), handed);
    device.CompleteOldest();  // the output takes the first buffer at last: a third is handed
    host.now += 75;
    commands.FollowPlayback();
    EXPECT_EQ(commands.session().PositionMs(), handed + 75);
}

}  // namespace
}  // namespace zirvak::test
