// The transport commands against the engine on a hand-stepped device, with a scripted file
// chooser, clock and timer: each row of the command table.
#include <gtest/gtest.h>

#include "app_test_files.h"
#include "stepped_audio_device.h"
#include "transport_commands.h"

namespace zirvak::test {
namespace {

struct FakeHost final : CommandHost {
    std::optional<std::string> answer;
    uint32_t now = 1000;
    bool timerOn = false;
    uint32_t interval = 0;
    std::string caption = "Zirvak";
    bool quit = false;
    int choices = 0;

    std::optional<std::string> ChooseFile() override {
        ++choices;
        return answer;
    }
    uint32_t TickCount() override { return now; }
    void StartTimer(uint32_t intervalMs) override {
        timerOn = true;
        interval = intervalMs;
    }
    void StopTimer() override { timerOn = false; }
    void SetCaption(const std::string& c) override { caption = c; }
    void Quit() override { quit = true; }
};

class TransportCommandsTest : public ::testing::Test {
protected:
    TransportCommandsTest()
        : scene(Image(40, 30, PackRgb(0, 0, 200)), Image(40, 30, PackRgb(0, 0, 200)),
                Image(1500, 700, PackRgb(255, 0, 255))),
          animation(40, 30),
          engine(device),
          commands(engine, animation, scene, host) {}

    SteppedAudioDevice device;
    Scene scene;
    Animation animation;
    PlayerEngine engine;
    FakeHost host;
    TransportCommands commands;
    // Three chunks of 0x48000 bytes and a bit: long enough to pause and stop in.
    const std::string song = WriteTestWav("zirvak-transport-song.wav", 10.0);
};

TEST_F(TransportCommandsTest, OpenPlaysTheChosenFileNamesItAndStartsTheAnimation) {
    host.answer = song;
    commands.Run(kCommandOpen);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(host.caption, "zirvak-transport-song.wav");
    EXPECT_TRUE(host.timerOn);
    EXPECT_EQ(host.interval, Animation::tickInterval);
    EXPECT_EQ(animation.clock().playStartTick, 1000u);
}

TEST_F(TransportCommandsTest, CancellingOpenChangesNothing) {
    host.answer = song;
    commands.Open();
    host.answer.reset();
    host.caption = "unchanged";
    commands.Open();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(host.caption, "unchanged");
    EXPECT_TRUE(host.timerOn);
}

TEST_F(TransportCommandsTest, AFileThatCannotBePlayedLeavesTheCaptionAndStopsTheTimer) {
    host.answer = song;
    commands.Open();
    host.answer = "/nonexistent/zirvak.mp3";
    commands.Open();
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(host.caption, "zirvak-transport-song.wav");
    EXPECT_FALSE(host.timerOn);
}

TEST_F(TransportCommandsTest, PlayWithNoFileAsksForOneAndCancellingLeavesEverything) {
    commands.Run(kCommandPlay);
    EXPECT_EQ(host.choices, 1);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_FALSE(host.timerOn);
}

TEST_F(TransportCommandsTest, PauseTwiceResumesAndTheClockLeavesThePauseOut) {
    host.answer = song;
    commands.Open();
    host.now = 2000;
    commands.Run(kCommandPause);
    EXPECT_EQ(engine.state(), Paused);
    EXPECT_FALSE(host.timerOn);
    EXPECT_TRUE(device.paused);
    host.now = 5000;
    commands.Run(kCommandPause);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_TRUE(host.timerOn);
    EXPECT_EQ(animation.clock().pausedMs, 3000u);
}

TEST_F(TransportCommandsTest, PlayResumesWhenPausedAndDoesNothingWhenPlaying) {
    host.answer = song;
    commands.Open();
    const int writes = int(device.written.size());
    commands.Run(kCommandPlay);
    EXPECT_EQ(int(device.written.size()), writes);  // no restart
    commands.Run(kCommandPause);
    commands.Run(kCommandPlay);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(int(device.written.size()), writes);
}

TEST_F(TransportCommandsTest, StopKeepsTheTimerAndPlayStartsAgainFromTheBeginning) {
    host.answer = song;
    commands.Open();
    device.CompleteOldest();  // a third chunk goes out
    commands.Run(kCommandStop);
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_TRUE(engine.endReached());
    EXPECT_TRUE(host.timerOn);  // the butterfly flies home
    host.now = 9000;
    commands.Run(kCommandPlay);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_FALSE(engine.endReached());
    EXPECT_EQ(device.written.back().bytes, device.written[1].bytes);  // chunk 1 again
    EXPECT_EQ(animation.clock().playStartTick, 9000u);
}

TEST_F(TransportCommandsTest, StopAndPauseWithNoFileDoNothing) {
    commands.Run(kCommandStop);
    commands.Run(kCommandPause);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(device.opens, 0);
}

TEST_F(TransportCommandsTest, CloseClosesTheEngineAndQuits) {
    host.answer = song;
    commands.Open();
    commands.Run(kCommandClose);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_TRUE(host.quit);
    EXPECT_FALSE(device.open);
}

TEST(FileTitleTest, IsTheNameWithoutItsFolder) {
    EXPECT_EQ(FileTitle("/home/user/Music/song.mp3"), "song.mp3");
    EXPECT_EQ(FileTitle("song.wav"), "song.wav");
}

}  // namespace
}  // namespace zirvak::test
