// The engine's transport state machine and its two-buffer pipeline, stepped by hand: which
// state each command leads to from each state, which device calls it makes, and which buffers
// are queued, in which slot, until the run ends.
#include <gtest/gtest.h>

#include "player_fixtures.h"

namespace zirvak::test {
namespace {

enum class Command { kOpen, kRestart, kStop, kClose, kTogglePause };

const char* Name(Command c) {
    static const char* const names[] = {"Open", "Restart", "Stop", "Close", "TogglePause"};
    return names[int(c)];
}

// Brings a fresh engine into `state` with the three-buffer WAV file.
void Enter(PlayerEngine& engine, PlayerState state) {
    if (state == NoFile) return;
    ASSERT_EQ(engine.Open(Files().wav(), 0, kDefaultEndMs), kOpenStarted);
    if (state == Stopped) engine.Stop();
    if (state == Paused) engine.TogglePause();
    ASSERT_EQ(engine.state(), state);
}

int32_t Apply(PlayerEngine& engine, Command c, const std::string& path = Files().wav()) {
    switch (c) {
        case Command::kOpen:
            return engine.Open(path, 0, kDefaultEndMs);
        case Command::kRestart:
            return engine.Restart();
        case Command::kStop:
            return engine.Stop();
        case Command::kClose:
            engine.Close();
            return 0;
        case Command::kTogglePause:
            return engine.TogglePause();
    }
    return -1;
}

struct Transition {
    PlayerState from;
    Command command;
    PlayerState to;
    const char* deviceCalls;  // the stepped device's log letters
    bool endReached;
};

TEST(EngineStates, EveryCommandInEveryState) {
    const Transition table[] = {
        {NoFile, Command::kOpen, Playing, "OWW", false},
        {NoFile, Command::kRestart, NoFile, "", false},
        {NoFile, Command::kStop, NoFile, "", false},
        {NoFile, Command::kClose, NoFile, "", false},
        {NoFile, Command::kTogglePause, NoFile, "", false},
        {Stopped, Command::kOpen, Playing, "XCOWW", false},
        {Stopped, Command::kRestart, Playing, "XWW", false},
        {Stopped, Command::kStop, Stopped, "", true},
        {Stopped, Command::kClose, NoFile, "XC", false},
        {Stopped, Command::kTogglePause, Stopped, "", true},
        {Playing, Command::kOpen, Playing, "XCOWW", false},
        {Playing, Command::kRestart, Playing, "XWW", false},
        {Playing, Command::kStop, Stopped, "X", true},
        {Playing, Command::kClose, NoFile, "XC", false},
        {Playing, Command::kTogglePause, Paused, "P", false},
        {Paused, Command::kOpen, Playing, "XCOWW", false},
        // The device keeps its pause through a reset: the new run must resume it.
        {Paused, Command::kRestart, Playing, "XWWR", false},
        {Paused, Command::kStop, Stopped, "X", true},  // still paused: Restart resumes
        {Paused, Command::kClose, NoFile, "XC", false},
        {Paused, Command::kTogglePause, Playing, "R", false},
    };
    for (const Transition& t : table) {
        SCOPED_TRACE(std::string("state ") + std::to_string(t.from) + " " + Name(t.command));
        SteppedAudioDevice device;
        PlayerEngine engine(device);
        Enter(engine, t.from);
        device.log.clear();
        EXPECT_EQ(Apply(engine, t.command), 0);
        EXPECT_EQ(engine.state(), t.to);
        EXPECT_EQ(device.log, t.deviceCalls);
        EXPECT_EQ(engine.endReached(), t.endReached);
        EXPECT_EQ(device.open, t.to != NoFile);
        if (t.to == Playing || t.to == Paused) {
            EXPECT_EQ(device.paused, t.to == Paused);
        }
        EXPECT_EQ(device.queuedCount(), t.to == Playing || t.to == Paused ? 2u : 0u);
    }
}

TEST(EngineStates, OpenFailsWithOneAndLeavesNoFile) {
    const std::string files[] = {Files().missing(), Files().empty(), Files().junk(),
                                 Files().badTag()};
    for (const std::string& path : files) {
        for (PlayerState from : {NoFile, Playing}) {
            SCOPED_TRACE(path + " from state " + std::to_string(from));
            SteppedAudioDevice device;
            PlayerEngine engine(device);
            Enter(engine, from);
            device.log.clear();
            EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenFileFailed);
            EXPECT_EQ(engine.state(), NoFile);
            // The old file is closed first; the failed one never reaches the device.
            EXPECT_EQ(device.log, from == NoFile ? "" : "XC");
            EXPECT_EQ(engine.Restart(), 0);
            EXPECT_EQ(engine.state(), NoFile);
        }
    }
}

TEST(EngineStates, OpenFailsWithTwoWithoutDeviceAndRestartRetries) {
    SteppedAudioDevice device;
    device.failOpen = true;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(Files().wav(), 0, kDefaultEndMs), kOpenNoDevice);
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_EQ(device.log, "O");
    EXPECT_EQ(engine.Restart(), kOpenNoDevice);
    device.failOpen = false;
    EXPECT_EQ(engine.Restart(), kOpenStarted);
    EXPECT_EQ(engine.state(), Playing);
    // A device that was never opened is not reset.
    EXPECT_EQ(device.log, "OOOWW");
    engine.Close();
    EXPECT_EQ(device.closes, 1);
}

// Runs a whole file through the pipeline, checking the buffer rules after every completion.
void CheckPipeline(const std::string& path, uint32_t lastBufferIndex) {
    SteppedAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    ASSERT_EQ(engine.lastBufferIndex(), lastBufferIndex);
    const size_t buffers = lastBufferIndex + 1;
    // Buffer 1 is queued by Open unless there is only one.
    EXPECT_EQ(device.written.size(), std::min<size_t>(2, buffers));
    EXPECT_EQ(engine.state(), Playing);
    for (size_t completed = 1; device.queuedCount() > 0; ++completed) {
        SCOPED_TRACE("after completion " + std::to_string(completed - 1));
        const size_t writes = device.written.size();
        EXPECT_EQ(engine.buffersQueued(), writes - 1);
        EXPECT_EQ(engine.currentBuffer(), (writes - 1) % 2);
        // endReached as soon as the last buffer is queued, Stopped when the one before it
        // (or the only one) has come back.
        const bool stopped = completed > std::max<size_t>(lastBufferIndex, 1);
        EXPECT_EQ(engine.endReached(), writes == buffers);
        EXPECT_EQ(engine.state(), stopped ? Stopped : Playing);
        device.CompleteOldest();
    }
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_TRUE(engine.endReached());
    ASSERT_EQ(device.written.size(), buffers);
    for (size_t i = 0; i < buffers; ++i) EXPECT_EQ(device.written[i].tag, int32_t(i % 2)) << i;
}

TEST(EnginePipeline, BuffersAlternateAndTheRunEndsOnTheLastButOne) {
    struct Case {
        std::string path;
        uint32_t lastBufferIndex;
    };
    const Case cases[] = {
        {Files().wav(), 2},      {Files().wavShort(), 0}, {Files().mp2(), 2},
        {Files().mp2Short(), 0}, {Files().mp3(), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CheckPipeline(c.path, c.lastBufferIndex);
    }
}

TEST(EnginePipeline, NothingIsQueuedAfterStop) {
    for (const std::string& path : {Files().wav(), Files().mp2()}) {
        SCOPED_TRACE(path);
        SteppedAudioDevice device;
        PlayerEngine engine(device);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        device.CompleteOldest();
        const size_t writes = device.written.size();
        engine.Stop();
        EXPECT_EQ(device.written.size(), writes);
        EXPECT_EQ(device.queuedCount(), 0u);
        EXPECT_FALSE(device.CompleteOldest());
    }
}

TEST(EnginePipeline, RestartPlaysTheSameBytesFromTheStart) {
    for (const std::string& path : {Files().wav(), Files().mp2(), Files().mp3()}) {
        SCOPED_TRACE(path);
        SteppedAudioDevice device;
        PlayerEngine engine(device);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        device.CompleteAll();
        const Bytes first = device.AllBytes();
        ASSERT_FALSE(first.empty());
        // Restarted at the end of the run, and again after a Stop part-way through.
        for (bool stopEarly : {false, true}) {
            if (stopEarly) {
                device.CompleteOldest();
                engine.Stop();
            }
            device.written.clear();
            EXPECT_EQ(engine.Restart(), kOpenStarted);
            EXPECT_EQ(engine.state(), Playing);
            EXPECT_EQ(engine.endReached(), engine.lastBufferIndex() <= 1);
            EXPECT_EQ(engine.samplesAnalysed() * uint32_t(engine.channels()) * 2,
                      device.AllBytes().size());
            device.CompleteAll();
            EXPECT_TRUE(device.AllBytes() == first);
        }
    }
}

TEST(EnginePipeline, OpenWhilePlayingClosesTheOldFileFirst) {
    SteppedAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().mp2(), 0, kDefaultEndMs), kOpenStarted);
    device.CompleteOldest();
    ASSERT_EQ(engine.Open(Files().wav(), 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(device.log, "OWWWXCOWW");
    EXPECT_EQ(device.opens, 2);
    EXPECT_EQ(device.closes, 1);
    EXPECT_TRUE(engine.isWave());
    EXPECT_EQ(engine.buffersQueued(), 1u);
    // The new run begins at the new file's first sample.
    const Bytes expected = Pcm16Pattern(16, 2);
    ASSERT_EQ(device.written.size(), 5u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), device.written[3].bytes.begin()));
}

}  // namespace
}  // namespace zirvak::test
