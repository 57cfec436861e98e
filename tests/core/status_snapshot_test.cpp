// Where the player stands, as the window's line, the terminal's and the desktop's controls are
// shown it, as the commands move through a queue.
#include <gtest/gtest.h>

#include "player_fixtures.h"
#include "readable_text.h"
#include "status_snapshot.h"
#include "transport_commands.h"

namespace zirvak::test {
namespace {

struct QuietHost final : CommandHost {
    uint32_t now = 1000;
    std::vector<std::string> ChooseFiles() override { return {}; }
    uint32_t TickCount() override { return now; }
    void StartTimer(uint32_t) override {}
    void StopTimer() override {}
    void SetCaption(const std::string&) override {}
    void ShowMessage(const std::string&) override {}
    void Quit() override {}
};

// Ten seconds (or `seconds`) of 8 kHz mono, its RIFF INFO naming the song.
Bytes WavWithTitle(const std::string& title, uint32_t seconds = 10) {
    WavParams mono8k;
    mono8k.channels = 1;
    mono8k.sampleRate = 8000;
    return WithRiffInfo(MakeWav(mono8k, Pcm16Pattern(seconds * 8000, 1)), {{"INAM", title}});
}

// The commands of a terminal player (no picture) on a hand-stepped device.
class StatusSnapshotTest : public ::testing::Test {
protected:
    TestAudioDevice device;
    PlayerEngine engine{device};
    QuietHost host;
    TransportCommands commands{engine, host};
    TempDir dir;

    StatusSnapshot Snapshot() {
        return TakeSnapshot(commands.session(), commands.status().volumePercent, host.now);
    }
};

TEST_F(StatusSnapshotTest, FollowsTheQueueAndThePlayer) {
    const StatusSnapshot none = Snapshot();
    EXPECT_FALSE(none.hasSong);
    EXPECT_EQ(none.playback, PlaybackStatus::Stopped);
    EXPECT_FALSE(none.canPlay || none.canPause || none.canSeek || none.canGoNext ||
                 none.canGoPrevious);  // Play would only open the file dialog

    const std::string first = WriteBytes(dir.Path("first.wav"), WavWithTitle("Gece"));
    const std::string second = WriteBytes(dir.Path("second.wav"), WavWithTitle(""));
    commands.OpenFiles({first, second});
    StatusSnapshot now = Snapshot();
    EXPECT_EQ(now.playback, PlaybackStatus::Playing);
    EXPECT_EQ(now.title, "Gece");  // from the tags
    EXPECT_EQ(now.path, first);
    EXPECT_EQ(now.songIndex, 0u);
    EXPECT_EQ(now.lengthMs, 10000u);
    EXPECT_TRUE(now.canGoNext && now.canGoPrevious && now.canPlay && now.canPause && now.canSeek);
    EXPECT_EQ(Snapshot(), now);  // nothing changed, nothing to announce

    commands.Pause();
    EXPECT_EQ(Snapshot().playback, PlaybackStatus::Paused);
    commands.SetVolume(40);
    EXPECT_EQ(Snapshot().volumePercent, 40u);

    commands.Next();
    now = Snapshot();
    EXPECT_EQ(now.songIndex, 1u);
    EXPECT_EQ(now.title, "second.wav");  // no title in the tags: the file's name
    EXPECT_FALSE(now.canGoNext);
    EXPECT_TRUE(now.canGoPrevious);  // the song before, or this one again

    commands.Stop();
    now = Snapshot();
    EXPECT_EQ(now.playback, PlaybackStatus::Stopped);
    EXPECT_TRUE(now.hasSong && now.canPlay);

    commands.OpenFiles({dir.Path("missing.wav")});
    EXPECT_FALSE(Snapshot().hasSong);
    EXPECT_EQ(commands.session().songTags().title, "");
}

// A playlist's title stands for an untagged file's name on the window's line and the desktop's
// controls, shown as readable as a name is; a tagged song keeps its tags' title.
TEST_F(StatusSnapshotTest, AnUntaggedSongIsShownByItsPlaylistsTitle) {
    WriteBytes(dir.Path("plain.wav"), WavWithTitle(""));
    WriteBytes(dir.Path("tagged.wav"), WavWithTitle("Gece"));
    const std::string text = "#EXTINF:10,Listed\ttitle\nplain.wav\n#EXTINF:10,Other\ntagged.wav\n";
    commands.OpenFiles({WriteBytes(dir.Path("list.m3u"), Bytes(text.begin(), text.end()))});
    StatusSnapshot now = Snapshot();
    EXPECT_EQ(now.title, ReadableText("Listed\ttitle"));
    EXPECT_FALSE(now.titleFromTags);
    commands.Next();
    EXPECT_EQ(Snapshot().title, "Gece");
}

// From one song of the queue to the next the controls keep saying "Playing", while the end of
// the first still sounds and until the second begins; after the last song, "Stopped".
TEST_F(StatusSnapshotTest, StaysPlayingFromOneSongToTheNext) {
    // 40 s: three buffers, so the last one is still out when the engine reaches the end.
    commands.OpenFiles({WriteBytes(dir.Path("a.wav"), WavWithTitle("A", 40)),
                        WriteBytes(dir.Path("b.wav"), WavWithTitle("B", 40))});
    for (const char* song : {"A", "B"}) {
        SCOPED_TRACE(song);
        // The engine has queued the song's last buffer and stopped; it is still heard.
        while (engine.state() == Playing && device.CompleteOldest()) {
        }
        ASSERT_EQ(engine.state(), Stopped);
        ASSERT_FALSE(engine.runFinished());
        EXPECT_EQ(Snapshot().playback, PlaybackStatus::Playing);
        EXPECT_EQ(Snapshot().title, song);
        device.CompleteAll();
        ASSERT_TRUE(engine.runFinished());
        EXPECT_EQ(Snapshot().playback, PlaybackStatus::Playing);
        host.now += 75;
        commands.FollowPlayback();  // the tick that moves on
    }
    EXPECT_EQ(Snapshot().playback, PlaybackStatus::Stopped);
    EXPECT_TRUE(commands.session().QueueEnded());
}

}  // namespace
}  // namespace zirvak::test
