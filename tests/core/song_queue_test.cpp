// A queue of songs played through the commands: folders and playlists, the end of each song, next
// and previous, and the songs that cannot play.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "command_fixtures.h"
#include "file_uri.h"
#include "settings.h"
#include "user_actions.h"

namespace zirvak::test {
namespace {

TEST_F(SongQueueTest, FoldersPlayInNaturalOrderAndEachSongFollowsOnceTheLastWasHeard) {
    const std::string folder = dir.Path("album");
    std::filesystem::create_directories(folder + "/extra");
    // 40 s: three buffers, so the last one is still out when the engine reaches the end.
    for (const char* name : {"Track 10.wav", "track 2.wav", "Track 1.wav", ".hidden.wav"})
        Song("album/" + std::string(name), 40);
    Song("album/extra/bonus.wav", 40);
    WriteBytes(folder + "/notes.txt", Bytes(10, 'x'));
    commands.OpenFiles({folder});
    const std::vector<std::string> order = {folder + "/extra/bonus.wav", folder + "/Track 1.wav",
                                            folder + "/track 2.wav", folder + "/Track 10.wav"};
    EXPECT_EQ(commands.session().queue().files(), order);
    EXPECT_EQ(host.caption, "bonus.wav");

    // The last buffer is queued: the song has ended for the engine, not yet for the ear.
    while (!engine.endReached()) ASSERT_TRUE(device.CompleteOldest());
    ASSERT_EQ(device.queuedCount(), 1u);
    commands.FollowPlayback();
    EXPECT_EQ(Current(), 0u);
    EXPECT_FALSE(commands.session().MusicEnded());  // the butterfly flies on into the next song
    for (size_t next = 1; next < order.size(); ++next) {
        animation.butterfly().flightState = FlightState::Flying;
        HearToTheEnd();
        EXPECT_EQ(Current(), next);
        EXPECT_EQ(host.caption, FileTitle(order[next]));
        EXPECT_EQ(engine.state(), Playing);
        // Opened as Open opens: the clock from zero, the butterfly taking off.
        EXPECT_EQ(commands.session().clock().time().playStartTick, host.now);
        EXPECT_EQ(animation.butterfly().flightState, FlightState::TakeOff);
    }
    HearToTheEnd();
    EXPECT_TRUE(commands.session().QueueEnded());
    EXPECT_TRUE(commands.session().MusicEnded());
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_EQ(Current(), 3u);
    EXPECT_EQ(commands.session().PositionMs(), commands.session().LengthMs());
    EXPECT_EQ(host.statusShown, 4);  // each new song
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SongQueueTest, StopByTheUserIsNoCueForTheNextSong) {
    commands.OpenFiles({Song("a.wav", 1), Song("b.wav", 1)});
    commands.Stop();
    HearToTheEnd();
    EXPECT_EQ(Current(), 0u);
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_TRUE(commands.session().MusicEnded());
    EXPECT_FALSE(commands.session().QueueEnded());
    commands.Play();
    EXPECT_EQ(Current(), 0u);
    EXPECT_EQ(engine.state(), Playing);
    HearToTheEnd();
    EXPECT_EQ(Current(), 1u);
}

TEST_F(SongQueueTest, NextAndPreviousAtBothEndsAndTheThreeSecondRule) {
    commands.OpenFiles({Song("a.wav"), Song("b.wav"), Song("c.wav")});
    const int opens = device.opens;
    // The first song, at its start: it starts again, without opening anything.
    host.now += 1000;
    commands.Previous();
    EXPECT_EQ(Current(), 0u);
    EXPECT_EQ(device.opens, opens);
    EXPECT_EQ(commands.session().PositionMs(), 0u);
    commands.Next();
    commands.Next();
    EXPECT_EQ(host.caption, "c.wav");
    commands.Next();  // nothing after the last: it plays on
    EXPECT_EQ(Current(), 2u);
    EXPECT_EQ(engine.state(), Playing);
    // Within three seconds: the song before.
    host.now += 2999;
    commands.Previous();
    EXPECT_EQ(Current(), 1u);
    // From three seconds on: this song from its start.
    host.now += 3000;
    EXPECT_EQ(commands.session().PositionMs(), 3000u);
    const int opensNow = device.opens;
    commands.Previous();
    EXPECT_EQ(Current(), 1u);
    EXPECT_EQ(commands.session().PositionMs(), 0u);
    EXPECT_EQ(engine.runStartFrame(), 0u);
    EXPECT_EQ(device.opens, opensNow);
    // A song starts each time one is opened; starting one again from its start opens nothing.
    EXPECT_EQ(host.started, (std::vector<std::string>{"a.wav", "b.wav", "c.wav", "b.wav"}));
}

// Songs that cannot play are named and leave the queue, so "song k/n" counts what plays.
TEST_F(SongQueueTest, AFileThatCannotPlayIsSkippedWithItsMessageAndLeavesTheQueue) {
    const std::string good1 = Song("1.wav", 1), good2 = Song("4.wav", 1);
    const std::string missing = dir.Path("2.mp3");
    const std::string noise = WriteBytes(dir.Path("3.wav"), Bytes(5000, 0x55));
    commands.OpenFiles({missing, good1, missing, noise, good2});
    EXPECT_EQ(Current(), 0u);
    EXPECT_EQ(commands.session().queue().files(),
              (std::vector<std::string>{good1, missing, noise, good2}));
    EXPECT_EQ(engine.state(), Playing);
    HearToTheEnd();
    EXPECT_EQ(Current(), 1u);
    EXPECT_EQ(commands.session().queue().files(), (std::vector<std::string>{good1, good2}));
    EXPECT_EQ(host.caption, "4.wav");
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{missing + ": no such file", missing + ": no such file",
                                        noise + " is not an audio file Zirvak can play"}));
    EXPECT_EQ(commands.session().failures(), 3);
    commands.Previous();
    EXPECT_EQ(Current(), 0u);
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(host.started, (std::vector<std::string>{"1.wav", "4.wav", "1.wav"}));
    // Nothing playable at all: no file, the window's own caption.
    commands.OpenFiles({missing});
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_TRUE(commands.session().queue().empty());
    EXPECT_TRUE(commands.session().QueueEnded());
    EXPECT_TRUE(commands.session().MusicEnded());
    EXPECT_EQ(host.caption, "Zirvak");
    EXPECT_EQ(host.started.size(), 3u);
    commands.OpenFiles({dir.Path("empty-folder")});
    std::filesystem::create_directory(dir.Path("empty-folder"));
    commands.OpenFiles({dir.Path("empty-folder")});
    EXPECT_EQ(host.messages.back(), dir.Path("empty-folder") +
                                        " holds no files Zirvak can play (MP3, MP2, MP1, WAV, "
                                        "FLAC, Ogg Vorbis, Opus, WavPack or AAC)");
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A playlist's songs play in its order; what it lists that cannot be queued is named with the
// playlist, and counts as a failure, while the rest plays.
TEST_F(SongQueueTest, APlaylistQueuesItsSongsAndNamesTheEntriesLeftOut) {
    const std::string a = Song("a.wav", 1), b = Song("b.wav", 1);
    const std::string list =
        WriteBytes(dir.Path("mix.m3u8"), Text("#EXTM3U\r\n#EXTINF:1,B\r\nb.wav\r\ngone.wav\r\n"
                                              "http://radio.example/live\r\n" +
                                              FileUriFromPath(a) + "\r\n"));
    commands.OpenFiles({list, dir.Path("b.wav")});
    EXPECT_EQ(commands.session().queue().files(), (std::vector<std::string>{b, a, b}));
    EXPECT_EQ(host.caption, "b.wav");
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{
                  dir.Path("gone.wav") + ": no such file (listed in " + list + ")",
                  "http://radio.example/live: network streams are not supported (listed in " +
                      list + ")"}));
    EXPECT_EQ(commands.session().failures(), 2);
    HearToTheEnd();
    EXPECT_EQ(host.caption, "a.wav");
}

// A playlist of nothing but missing entries (or a file that only looks like one) names the
// first few, counts the rest, and leaves no file.
TEST_F(SongQueueTest, APlaylistOfMissingEntriesNamesAFewAndCountsTheRest) {
    std::string text;
    for (int i = 0; i < 25; ++i) text += "gone " + std::to_string(i) + ".mp3\n";
    const std::string list = WriteBytes(dir.Path("old.m3u"), Bytes(text.begin(), text.end()));
    commands.OpenFiles({list});
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_EQ(host.caption, "Zirvak");
    ASSERT_EQ(host.messages.size(), PlaybackSession::kMaxSkippedNamed + 2);
    EXPECT_EQ(host.messages[0], dir.Path("gone 0.mp3") + ": no such file (listed in " + list + ")");
    EXPECT_EQ(host.messages[PlaybackSession::kMaxSkippedNamed],
              "15 more entries of the playlists were left out");
    EXPECT_EQ(host.messages.back(),
              list +
                  " holds no files Zirvak can play (MP3, MP2, MP1, WAV, FLAC, Ogg Vorbis, "
                  "Opus, WavPack or AAC)");
}

// Handed over while a song plays: the song plays on until one of the playlist's songs is sure
// to play, and the entries left out are named all the same.
TEST_F(SongQueueTest, APlaylistHandedOverReplacesThePlayingSongOnlyWithOneThatPlays) {
    commands.OpenFiles({Song("a.wav", 1)});
    const std::string b = Song("b.wav", 1);
    const std::string none = WriteBytes(dir.Path("none.pls"), Text("[playlist]\nFile1=gone.wav\n"));
    commands.OpenFiles({none}, WhenNonePlays::kKeepPlaying);
    EXPECT_EQ(host.caption, "a.wav");
    EXPECT_EQ(engine.state(), Playing);
    const std::string some =
        WriteBytes(dir.Path("some.pls"), Text("[playlist]\nFile2=b.wav\nFile1=gone.wav\n"));
    commands.OpenFiles({some}, WhenNonePlays::kKeepPlaying);
    EXPECT_EQ(host.caption, "b.wav");
    EXPECT_EQ(commands.session().queue().files(), std::vector<std::string>{b});
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{
                  dir.Path("gone.wav") + ": no such file (listed in " + none + ")",
                  none + " holds no files Zirvak can play (MP3, MP2, MP1, WAV, FLAC, Ogg "
                         "Vorbis, Opus, WavPack or AAC)",
                  dir.Path("gone.wav") + ": no such file (listed in " + some + ")"}));
}

// A song rewritten on disk cannot be played again: Play says so, and the butterfly does not
// take off for music that never comes.
TEST_F(SongQueueTest, PlayOfAFileChangedOnDiskSaysSoAndStartsNothing) {
    const std::string path = Song("a.wav", 1);
    commands.OpenFiles({path});
    commands.Stop();
    Song("a.wav", 2);  // rewritten, another length
    animation.butterfly().flightState = FlightState::FlyingHome;
    commands.Play();
    EXPECT_NE(engine.state(), Playing);
    EXPECT_EQ(animation.butterfly().flightState, FlightState::FlyingHome);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], path + " changed while it was playing");
    EXPECT_EQ(commands.session().failures(), 1);
}

}  // namespace
}  // namespace zirvak::test
