// The engine's transport state machine and its two-buffer pipeline, stepped by hand.
#include <gtest/gtest.h>

#include "player_fixtures.h"

namespace zirvak::test {
namespace {

enum Command { kOpen, kRestart, kStop, kClose, kTogglePause };

// Brings a fresh engine into `state` with the three-buffer WAV file.
void Enter(PlayerEngine& engine, PlayerState state) {
    if (state == NoFile) return;
    ASSERT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenStarted);
    if (state == Stopped) engine.Stop();
    if (state == Paused) engine.TogglePause();
    ASSERT_EQ(engine.state(), state);
}

TEST(EngineStates, EveryCommandInEveryState) {
    const struct {
        PlayerState from;
        Command command;
        PlayerState to;
        const char* deviceCalls;
        bool endReached;
    } table[] = {
        {NoFile, kOpen, Playing, "OWW", false},      {NoFile, kRestart, NoFile, "", false},
        {NoFile, kStop, NoFile, "", false},          {NoFile, kClose, NoFile, "", false},
        {NoFile, kTogglePause, NoFile, "", false},   {Stopped, kOpen, Playing, "XCOWW", false},
        {Stopped, kRestart, Playing, "XWW", false},  {Stopped, kStop, Stopped, "", true},
        {Stopped, kClose, NoFile, "XC", false},      {Stopped, kTogglePause, Stopped, "", true},
        {Playing, kOpen, Playing, "XCOWW", false},   {Playing, kRestart, Playing, "XWW", false},
        {Playing, kStop, Stopped, "X", true},        {Playing, kClose, NoFile, "XC", false},
        {Playing, kTogglePause, Paused, "P", false}, {Paused, kOpen, Playing, "XCOWW", false},
        {Paused, kRestart, Playing, "XWWR", false},  // the device kept its pause through Reset
        {Paused, kStop, Stopped, "X", true},         {Paused, kClose, NoFile, "XC", false},
        {Paused, kTogglePause, Playing, "R", false},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(testing::Message() << "state " << t.from << " command " << t.command);
        TestAudioDevice device;
        PlayerEngine engine(device);
        Enter(engine, t.from);
        device.log.clear();
        int32_t result = 0;
        switch (t.command) {
            case kOpen:
                result = engine.Open(Files().wav, 0, kDefaultEndMs);
                break;
            case kRestart:
                result = engine.Restart();
                break;
            case kStop:
                result = engine.Stop();
                break;
            case kClose:
                engine.Close();
                break;
            case kTogglePause:
                EXPECT_EQ(engine.TogglePause(), t.to);
                break;
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(engine.state(), t.to);
        EXPECT_EQ(device.log, t.deviceCalls);
        EXPECT_EQ(engine.endReached(), t.endReached);
        EXPECT_EQ(device.open, t.to != NoFile);
        const bool running = t.to == Playing || t.to == Paused;
        EXPECT_TRUE(!running || device.paused == (t.to == Paused));
        EXPECT_EQ(device.queuedCount(), running ? 2u : 0u);
    }
}

TEST(EngineStates, OpenFailures) {
    TempDir dir;
    const std::string junk = WriteBytes(dir.Path("junk.mp3"), Bytes(5000, 0x55));
    for (const std::string& path : {Files().missing, junk}) {
        for (PlayerState from : {NoFile, Playing}) {
            SCOPED_TRACE(path + " from state " + std::to_string(from));
            TestAudioDevice device;
            PlayerEngine engine(device);
            Enter(engine, from);
            device.log.clear();
            EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenFileFailed);
            EXPECT_EQ(engine.state(), NoFile);
            EXPECT_EQ(device.log, from == NoFile ? "" : "XC");  // the old file closed first
            EXPECT_EQ(engine.Restart(), 0);
            EXPECT_EQ(engine.state(), NoFile);
        }
    }
    // No device: 2, and no file either, as after any failed Open; the next Open tries again.
    TestAudioDevice device;
    device.refuseOpen = true;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenNoDevice);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(engine.Restart(), 0);
    device.refuseOpen = false;
    EXPECT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(device.log, "OOWW");  // a device never opened is not reset
}

TEST(EnginePipeline, BuffersAlternateAndTheRunEndsOnTheLastButOne) {
    TempDir dir;
    const std::string oneBuffer = WriteBytes(dir.Path("one.mp2"), FirstFrames(Sample(), 30));
    const std::string fiveBuffers = WriteBytes(dir.Path("five.mp2"), Concat({Sample(), Sample()}));
    const std::pair<std::string, uint32_t> cases[] = {{Files().wav, 2}, {Files().wavShort, 0},
                                                      {Files().mp2, 2}, {Files().mp3, 1},
                                                      {oneBuffer, 0},   {fiveBuffers, 4}};
    for (const auto& [path, last] : cases) {
        SCOPED_TRACE(path);
        TestAudioDevice device;
        PlayerEngine engine(device);
        const PlayerEngineTestPeer pipeline(engine);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        ASSERT_EQ(pipeline.lastBufferIndex(), last);
        EXPECT_EQ(device.written.size(), std::min<size_t>(2, last + 1));
        for (size_t completed = 0; device.queuedCount() > 0; ++completed) {
            SCOPED_TRACE("after completion " + std::to_string(completed));
            const size_t writes = device.written.size();
            EXPECT_EQ(pipeline.buffersQueued(), writes - 1);
            EXPECT_EQ(engine.currentBuffer(), (writes - 1) % 2);
            // endReached and Stopped when the buffer before the last is back (a run of one
            // buffer has none: its end is known from the start).
            EXPECT_EQ(engine.endReached(), last == 0 || completed >= last);
            EXPECT_EQ(engine.state(), completed >= std::max<size_t>(last, 1) ? Stopped : Playing);
            device.CompleteOldest();
        }
        EXPECT_EQ(engine.state(), Stopped);
        ASSERT_EQ(device.written.size(), last + 1);
        for (size_t i = 0; i <= last; ++i) EXPECT_EQ(device.written[i].tag, int32_t(i % 2));
    }
}

// The owner is told when a song has been heard to its end, once per run, and not when a run is
// stopped or started again.
TEST(EnginePipeline, StopQueuesNothingAndRestartPlaysTheSameBytesFromTheStart) {
    for (const std::string& path : {Files().wav, Files().mp2}) {
        SCOPED_TRACE(path);
        TestAudioDevice device;
        PlayerEngine engine(device);
        int runEnds = 0;
        engine.SetRunEndListener([&] { ++runEnds; });
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        device.CompleteAll();
        EXPECT_EQ(runEnds, 1);
        const Bytes first = device.AllBytes();
        device.written.clear();
        ASSERT_EQ(engine.Restart(), kOpenStarted);
        engine.Stop();  // its Reset returns both buffers: neither return may queue another
        EXPECT_EQ(device.written.size(), 2u);
        EXPECT_EQ(device.queuedCount(), 0u);
        device.written.clear();
        EXPECT_EQ(engine.Restart(), kOpenStarted);
        EXPECT_EQ(engine.state(), Playing);
        EXPECT_FALSE(engine.endReached());
        EXPECT_EQ(runEnds, 1);
        device.CompleteAll();
        EXPECT_EQ(runEnds, 2);
        EXPECT_TRUE(device.AllBytes() == first);
    }
}

TEST(EnginePipeline, OpenWhilePlayingClosesTheOldFileFirst) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().mp2, 0, kDefaultEndMs), kOpenStarted);
    device.CompleteOldest();
    ASSERT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(device.log, "OWWWXCOWW");
    EXPECT_EQ(device.closes, 1);
    EXPECT_EQ(PlayerEngineTestPeer(engine).buffersQueued(), 1u);
    ASSERT_EQ(device.written.size(), 5u);
    const Bytes expected = Pcm16Pattern(16, 2);  // the new file's first sample onwards
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), device.written[3].bytes.begin()));
}

}  // namespace
}  // namespace zirvak::test
