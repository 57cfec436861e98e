// The transport commands against the engine on a hand-stepped device, with a scripted file
// chooser, clock and timer.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "command_fixtures.h"
#include "file_uri.h"
#include "settings.h"
#include "user_actions.h"

namespace zirvak::test {
namespace {

TEST_F(TransportCommandsTest, OpenStartsTheClockAndAFileThatCannotPlayLeavesNoFile) {
    host.answer = {song};
    commands.Run(CommandId::Open);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(host.caption, "song.wav");
    EXPECT_EQ(host.interval, 75u);
    EXPECT_EQ(commands.session().clock().time().playStartTick, 1000u);
    EXPECT_FALSE(commands.session().MusicEnded());
    host.answer = {"/nonexistent/zirvak.mp3"};
    commands.Run(CommandId::Open);
    // No file, the window's own caption, and the timer on so the butterfly flies home.
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(host.caption, "Zirvak");
    EXPECT_TRUE(host.timerOn);
    EXPECT_TRUE(commands.session().MusicEnded());
    EXPECT_EQ(host.messages, std::vector<std::string>{"/nonexistent/zirvak.mp3: no such file"});
}

// What the output takes is heard its latency later: the time starts then, and a seek moves it
// from then on.
TEST_F(TransportCommandsTest, TheClockRunsFromWhenTheOutputIsHeard) {
    device.latency = 100;
    ASSERT_EQ(commands.OpenFile(song), kOpenStarted);
    const AnimationClock& time = commands.session().clock().time();
    EXPECT_EQ(time.playStartTick, 1100u);
    EXPECT_EQ(time.ElapsedAt(1050), 0u);
    EXPECT_EQ(time.ElapsedAt(1150), 50u);
    host.now = 2000;
    commands.SeekTo(3000);
    EXPECT_EQ(time.ElapsedAt(2000), 2900u);
    EXPECT_EQ(time.ElapsedAt(2100), 3000u);
}

TEST_F(TransportCommandsTest, WithNoFilePlayAsksForOneAndStopAndPauseDoNothing) {
    commands.Run(CommandId::Play);
    EXPECT_EQ(host.choices, 1);
    commands.Run(CommandId::Stop);
    commands.Run(CommandId::Pause);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(device.opens, 0);
    EXPECT_FALSE(host.timerOn);
}

TEST_F(TransportCommandsTest, PauseAndPlayResumeAndTheClockLeavesThePauseOut) {
    host.answer = {song};
    commands.Open();
    commands.Run(CommandId::Play);  // playing already: no restart
    EXPECT_EQ(device.written.size(), 2u);
    host.now = 2000;
    commands.Run(CommandId::Pause);
    EXPECT_EQ(engine.state(), Paused);
    EXPECT_FALSE(host.timerOn);
    host.now = 5000;
    commands.Run(CommandId::Pause);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_TRUE(host.timerOn);
    EXPECT_EQ(commands.session().clock().time().pausedMs, 3000u);
    commands.Run(CommandId::Pause);
    commands.Run(CommandId::Play);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(device.written.size(), 2u);
}

TEST_F(TransportCommandsTest, StopKeepsTheTimerPlayStartsAgainAndCloseQuits) {
    host.answer = {song};
    commands.Open();
    device.CompleteOldest();  // a third chunk goes out
    commands.Run(CommandId::Stop);
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_TRUE(host.timerOn);  // the butterfly flies home
    host.now = 9000;
    commands.Run(CommandId::Play);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(device.written.back().bytes, device.written[1].bytes);  // chunk 1 again
    EXPECT_EQ(commands.session().clock().time().playStartTick, 9000u);
    commands.Run(CommandId::Close);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_TRUE(host.quit);
    EXPECT_FALSE(device.open);
}

TEST(FileTitleTest, IsTheNameWithoutItsFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/user/Music/song.mp3", "song.mp3"},
        {"song.wav", "song.wav"},
        {"../My Music/Take 2.final.WAV", "Take 2.final.WAV"},
        {"/song.mp3", "song.mp3"},
    };
    for (auto [path, title] : cases) EXPECT_EQ(FileTitle(path), title) << path;
}

}  // namespace
}  // namespace zirvak::test
