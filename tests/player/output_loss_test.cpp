// A sound output that goes away and comes back, or never opens, on the one test device: the
// engine keeps its place, holds what is queued, and lets Stop and Close win.
#include <gtest/gtest.h>

#include "player_fixtures.h"

namespace zirvak::test {
namespace {

TEST(OutputLoss, TheSongGoesOnFromTheBufferThatWasPlayingWhenTheOutputIsBack) {
    for (const std::string& path : {Files().wav, Files().mp2}) {
        for (int lostAfter : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << path << " lost after " << lostAfter);
            TestAudioDevice device;
            device.loseAfter = lostAfter == 0 ? -1 : lostAfter;
            PlayerEngine engine(device);
            ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
            if (lostAfter == 0) device.Restore(), device.loseAfter = -1;
            device.CompleteAll();
            if (lostAfter > 0) {
                // Lost: nothing more is played or queued, the run keeps its place (after two
                // buffers of three, the run has ended and only its last buffer waits), and the
                // output status tells the loss apart.
                EXPECT_TRUE(engine.outputStatus().lost);
                EXPECT_EQ(engine.state(), lostAfter < 2 ? Playing : Stopped);
                EXPECT_GT(device.queuedCount(), 0u);
                const size_t writes = device.writes();
                EXPECT_FALSE(device.CompleteOldest());
                EXPECT_EQ(device.writes(), writes);
                device.Restore();
                EXPECT_FALSE(engine.outputStatus().lost);
                device.CompleteAll();
            }
            EXPECT_EQ(engine.state(), Stopped);
            EXPECT_TRUE(engine.endReached());
            EXPECT_TRUE(device.AllBytes() == PlayToTheEnd(path));
            EXPECT_EQ(device.misuse(), std::vector<std::string>());
        }
    }
}

TEST(OutputLoss, StopAndCloseWinWhileTheOutputIsLost) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "stop");
        TestAudioDevice device;
        device.loseAfter = 1;
        PlayerEngine engine(device);
        ASSERT_EQ(engine.Open(Files().mp2, 0, kDefaultEndMs), kOpenStarted);
        device.CompleteOldest();
        ASSERT_TRUE(engine.outputStatus().lost);
        if (close) {
            engine.Close();
            EXPECT_EQ(engine.state(), NoFile);
            EXPECT_FALSE(device.open);
        } else {
            EXPECT_EQ(engine.Stop(), 0);
            EXPECT_EQ(engine.state(), Stopped);
            EXPECT_TRUE(engine.endReached());
        }
        EXPECT_EQ(device.queuedCount(), 0u);  // handed back, though nothing played them
        device.Restore();
        EXPECT_FALSE(device.CompleteOldest());
    }
}

TEST(OutputLoss, AnOutputThatWillNotOpenLeavesNoFileAndTheNextOpenTriesAgain) {
    TestAudioDevice device;
    device.failOpenNumber = 2;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(engine.Open(Files().mp2, 0, kDefaultEndMs), kOpenNoDevice);
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(engine.Open(Files().mp2, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(device.log, "OWWXCOOWW");
}

// Pause racing the end: the buffer before the last has come back, the engine has stopped while
// the last one sounds, and a Pause decided on a state read earlier finds nothing to pause.
TEST(OutputLoss, PauseAtTheLastBufferFindsTheRunEnded) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().wav, 0, kDefaultEndMs), kOpenStarted);
    device.CompleteOldest();
    ASSERT_EQ(engine.state(), Playing);
    device.CompleteOldest();  // the buffer before the last: the end
    EXPECT_EQ(engine.TogglePause(), Stopped);
    EXPECT_FALSE(device.paused);
    EXPECT_EQ(device.queuedCount(), 1u);  // the last buffer plays out
    EXPECT_TRUE(device.CompleteOldest());
}

}  // namespace
}  // namespace zirvak::test
