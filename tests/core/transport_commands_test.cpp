// The transport commands against the engine on a hand-stepped device, with a scripted file
// chooser, clock and timer.
#include <gtest/gtest.h>

#include "player_fixtures.h"
#include "transport_commands.h"

namespace zirvak::test {
namespace {

struct FakeHost final : CommandHost {
    std::vector<std::string> answer;
    uint32_t now = 1000;
    bool timerOn = false, quit = false;
    uint32_t interval = 0;
    std::string caption = "Zirvak";
    std::vector<std::string> messages;
    int choices = 0;

    int statusShown = 0;
    std::vector<std::string> ChooseFiles() override { return ++choices, answer; }
    void ShowStatus() override { ++statusShown; }
    uint32_t TickCount() override { return now; }
    void StartTimer(uint32_t intervalMs) override { timerOn = true, interval = intervalMs; }
    void StopTimer() override { timerOn = false; }
    void SetCaption(const std::string& c) override { caption = c; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Quit() override { quit = true; }
};

class TransportCommandsTest : public ::testing::Test {
protected:
    TestAudioDevice device;
    Scene scene{Image(40, 30, PackRgb(0, 0, 200)), Image(40, 30, PackRgb(0, 0, 200)),
                Image(1500, 700, PackRgb(255, 0, 255))};
    Animation animation{40, 30};
    PlayerEngine engine{device};
    FakeHost host;
    TransportCommands commands{engine, animation, &scene, host};
    TempDir dir;
    const std::string song =
        WriteBytes(dir.Path("song.wav"), MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2)));
};

TEST_F(TransportCommandsTest, OpenStartsTheClockAndAFileThatCannotPlayLeavesNoFile) {
    host.answer = {song};
    commands.Run(CommandId::Open);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(host.caption, "song.wav");
    EXPECT_EQ(host.interval, 75u);
    EXPECT_EQ(animation.clock().playStartTick, 1000u);
    EXPECT_FALSE(commands.MusicEnded());
    host.answer = {"/nonexistent/zirvak.mp3"};
    commands.Run(CommandId::Open);
    // No file, the window's own caption, and the timer on so the butterfly flies home.
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(host.caption, "Zirvak");
    EXPECT_TRUE(host.timerOn);
    EXPECT_TRUE(commands.MusicEnded());
    EXPECT_EQ(host.messages, std::vector<std::string>{"/nonexistent/zirvak.mp3: no such file."});
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
    EXPECT_EQ(animation.clock().pausedMs, 3000u);
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
    EXPECT_EQ(animation.clock().playStartTick, 9000u);
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
