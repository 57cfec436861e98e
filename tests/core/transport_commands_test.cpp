// The transport commands against the engine on a hand-stepped device, with a scripted file
// chooser, clock and timer.
#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>

#include "animation.h"
#include "fake_host.h"
#include "file_uri.h"
#include "player_fixtures.h"
#include "transport_commands.h"
#include "user_actions.h"

namespace zirvak::test {
namespace {

class TransportCommandsTest : public ::testing::Test {
protected:
    TestAudioDevice device;
    Animation animation{40, 30};
    PlayerEngine engine{device};
    FakeHost host = [this] {
        FakeHost h;
        h.flight = &animation;
        return h;
    }();
    TransportCommands commands{engine, host};
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

// Songs of `seconds` of 8 kHz mono: each buffer holds over 18 s, so the clock, not what was
// handed to the device, bounds the position.
class SongQueueTest : public TransportCommandsTest {
protected:
    std::string Song(const std::string& name, uint32_t seconds = 20) {
        WavParams mono8k;
        mono8k.channels = 1;
        mono8k.sampleRate = 8000;
        return WriteBytes(dir.Path(name), MakeWav(mono8k, Pcm16Pattern(seconds * 8000, 1)));
    }
    // The song is heard to its end, and a tick follows.
    void HearToTheEnd() {
        device.CompleteAll();
        host.now += 100;
        commands.FollowPlayback();
    }
    std::optional<size_t> Current() const { return commands.session().queue().current(); }
};

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
                                        "FLAC, Ogg Vorbis or Opus)");
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
                  " holds no files Zirvak can play (MP3, MP2, MP1, WAV, FLAC, Ogg Vorbis or "
                  "Opus)");
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
                         "Vorbis or Opus)",
                  dir.Path("gone.wav") + ": no such file (listed in " + some + ")"}));
}

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

// A song rewritten on disk cannot be played again: Play says so, and the butterfly does not
// take off for music that never comes.
// A FLAC song of `seconds` of 8 kHz mono with ReplayGain tags: its album and the gains.
std::string GainSong(const TempDir& dir, const std::string& name, const std::string& album,
                     double trackDb, double albumDb) {
    WavParams mono8k;
    mono8k.channels = 1;
    mono8k.sampleRate = 8000;
    const std::string wav =
        WriteBytes(dir.Path(name + ".wav"), MakeWav(mono8k, Pcm16Pattern(2 * 8000, 1)));
    const std::string flac = dir.Path(name + ".flac");
    const std::string command = "flac --silent -f -T ALBUM=" + album +
                                " -T REPLAYGAIN_TRACK_GAIN=" + std::to_string(trackDb) +
                                " -T REPLAYGAIN_ALBUM_GAIN=" + std::to_string(albumDb) + " -o '" +
                                flac + "' '" + wav + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return flac;
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

namespace zirvak::test {
namespace {

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
