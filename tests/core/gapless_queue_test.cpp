// A queue played gapless, on a hand-stepped device with a tick after each buffer: songs of the
// same format follow one another in one device stream, the window's song changing on the tick
// after the change is heard, under every command at the boundary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "fake_host.h"
#include "player_fixtures.h"
#include "settings.h"
#include "transport_commands.h"

namespace zirvak::test {
namespace {

class GaplessQueueTest : public ::testing::Test {
protected:
    GaplessQueueTest() {
        host.flight = &animation;
        commands.UseGapless(true);
        // Songs cut from one signal: 3.4 and 2.2 buffers, ends on no buffer's edge.
        const uint32_t frames = kWavChunkBytes / 4;
        const Bytes whole = Pcm16Pattern(frames * 56 / 10 + 11, 2);
        const size_t cut = (size_t(frames) * 34 / 10 + 5) * 4;
        pcm[0].assign(whole.begin(), whole.begin() + ptrdiff_t(cut));
        pcm[1].assign(whole.begin() + ptrdiff_t(cut), whole.end());
        for (int i = 0; i < 2; ++i)
            song[i] =
                WriteBytes(dir.Path("song" + std::to_string(i) + ".wav"), MakeWav({}, pcm[i]));
    }

    // A buffer is played, and a tick follows.
    bool Step() {
        const bool played = device.CompleteOldest();
        host.now += PlaybackClock::kTickMs;
        commands.FollowPlayback();
        return played;
    }
    // Plays up to the join: the second song's first buffer queued, the first song still heard.
    void StepUpToTheJoin() {
        const size_t buffersOfFirst = (pcm[0].size() + kWavChunkBytes - 1) / kWavChunkBytes;
        while (device.written.size() <= buffersOfFirst) ASSERT_TRUE(Step());
        ASSERT_EQ(engine.songsJoined(), 0u);
        ASSERT_EQ(host.caption, "song0.wav");
    }
    void StepToTheEnd() {
        while (Step()) {
        }
    }
    std::optional<size_t> Current() const { return commands.session().queue().current(); }

    TempDir dir;
    Bytes pcm[2];
    std::string song[2];
    TestAudioDevice device;
    Animation animation{40, 30};
    PlayerEngine engine{device};
    FakeHost host;
    TransportCommands commands{engine, host};
};

TEST_F(GaplessQueueTest, SongsFollowInOneStreamAndTheWindowChangesOnTheTickAfter) {
    const std::string missing = dir.Path("missing.wav");
    commands.OpenFiles({song[0], missing, song[1]});
    EXPECT_EQ(commands.session().queue().size(), 3u);  // the missing file is not looked at yet
    StepUpToTheJoin();
    EXPECT_EQ(commands.session().queue().size(), 2u);
    EXPECT_EQ(host.messages, std::vector<std::string>{missing + ": no such file"});
    animation.butterfly().flightState = FlightState::Flying;
    Step();  // the last buffer of the first song is heard
    EXPECT_EQ(host.caption, "song1.wav");
    EXPECT_EQ(Current(), 1u);
    EXPECT_EQ(host.started, (std::vector<std::string>{"song0.wav", "song1.wav"}));
    EXPECT_EQ(commands.session().clock().time().playStartTick, host.now);
    EXPECT_EQ(commands.session().LengthMs(), pcm[1].size() / 4 * 1000 / 44100);
    EXPECT_EQ(animation.butterfly().flightState, FlightState::Flying);  // it flies on
    EXPECT_EQ(commands.session().PlaybackState(), Playing);
    StepToTheEnd();
    EXPECT_TRUE(commands.session().QueueEnded());
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(device.AllBytes() == Concat({pcm[0], pcm[1]}));
    EXPECT_EQ(device.misuse(), std::vector<std::string>{});
}

// The song heard joining starts its time where the output began to play it: here a whole buffer
// of it has been played before the tick that sees the join.
TEST_F(GaplessQueueTest, AJoinedSongsTimeIsWhatTheOutputHasPlayedOfIt) {
    commands.OpenFiles({song[0], song[1]});
    StepUpToTheJoin();
    ASSERT_TRUE(device.CompleteOldest());  // the join is heard
    ASSERT_TRUE(device.CompleteOldest());  // the second song's first buffer
    host.now += PlaybackClock::kTickMs;
    commands.FollowPlayback();
    EXPECT_EQ(host.caption, "song1.wav");
    const uint32_t bufferMs = kWavChunkBytes / 4 * 1000 / 44100;
    EXPECT_EQ(commands.session().clock().time().playStartTick, host.now - bufferMs);
    EXPECT_EQ(commands.session().PositionMs(), bufferMs);
}

// A setting changes only what it names. A volume, zoom or folder change leaves the song prepared
// to follow as it is: open already, it plays though its file is gone from the disk meanwhile. A
// ReplayGain mode near the end gives it its new gain, exactly from its first sample, without
// opening it again.
TEST_F(GaplessQueueTest, SettingsLeaveThePreparedSongAsItIsAndAModeOnlySetsItsGain) {
    commands.UseSettings(dir.Path("settings"));
    const std::string tagged =
        EncodeFlac(dir, "tagged", MakeWav({}, pcm[1]),
                   "-T REPLAYGAIN_TRACK_GAIN=-6 -T REPLAYGAIN_TRACK_PEAK=0.5");
    commands.OpenFiles({song[0], tagged});
    ASSERT_TRUE(Step());
    ASSERT_EQ(commands.session().follower().preparedIndex(), 1u);
    std::remove(tagged.c_str());
    commands.ChangeVolume(-1);
    commands.ChangeVolume(+1);
    Settings settings = commands.settings();
    settings.zoom = 3;
    settings.lastFolder = dir.dir;
    commands.UpdateSettings(settings);
    EXPECT_EQ(commands.session().follower().preparedIndex(), 1u);
    commands.UseReplayGainMode(ReplayGainMode::kTrack);
    StepToTheEnd();
    EXPECT_EQ(host.messages, std::vector<std::string>{});
    EXPECT_EQ(host.caption, "tagged.flac");
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(device.AllBytes() == Concat({pcm[0], Scaled(pcm[1], std::pow(10.0, -6.0 / 20))}));
}

// Each command given when the second song is queued behind the first, not yet heard: it acts
// on the song heard, and what follows is heard in order, without a gap where nothing stopped it.
TEST_F(GaplessQueueTest, EveryCommandAtTheBoundary) {
    const size_t frames0 = pcm[0].size() / 4;
    const auto from = [&](uint32_t ms) {
        return Bytes(pcm[0].begin() + ptrdiff_t(uint64_t(ms) * 44100 / 1000 * 4), pcm[0].end());
    };
    const uint32_t lastSecond = uint32_t(frames0 * 1000 / 44100) - 700;
    const struct {
        const char* name;
        std::function<void(TransportCommands&)> act;
        Bytes heardAfter;  // from the command on
        int opens;
    } cases[] = {
        {"seek into the last second", [&](TransportCommands& c) { c.SeekTo(lastSecond); },
         Concat({from(lastSecond), pcm[1]}), 1},
        {"next", [](TransportCommands& c) { c.Next(); }, pcm[1], 2},
        {"previous: the song from its start", [](TransportCommands& c) { c.Previous(); },
         Concat({pcm[0], pcm[1]}), 1},
        {"stop, then play", [](TransportCommands& c) { c.Stop(), c.Play(); },
         Concat({pcm[0], pcm[1]}), 1},
        {"pause, then play", [](TransportCommands& c) { c.Pause(), c.Play(); }, {}, 1},
        // A setting that prepares the song to follow again leaves the joined one as it is.
        {"another ReplayGain mode",
         [](TransportCommands& c) { c.UseReplayGainMode(ReplayGainMode::kTrack); },
         {},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestAudioDevice d;
        PlayerEngine e{d};
        FakeHost h;
        TransportCommands t{e, h};
        t.UseGapless(true);
        t.OpenFiles({song[0], song[1]});
        const size_t buffersOfFirst = (pcm[0].size() + kWavChunkBytes - 1) / kWavChunkBytes;
        while (d.written.size() <= buffersOfFirst) {
            ASSERT_TRUE(d.CompleteOldest());
            h.now += 1000;  // the clock well into the song: "previous" restarts it
            t.FollowPlayback();
        }
        const size_t before = d.written.size();
        c.act(t);
        EXPECT_EQ(t.session().queue().current(), c.opens == 1 ? 0u : 1u);
        while (d.CompleteOldest()) t.FollowPlayback();
        EXPECT_EQ(t.session().queue().current(), 1u);
        EXPECT_EQ(h.caption, "song1.wav");
        EXPECT_EQ(d.opens, c.opens);
        Bytes after;
        for (size_t i = c.heardAfter.empty() ? 0 : before; i < d.written.size(); ++i)
            after.insert(after.end(), d.written[i].bytes.begin(), d.written[i].bytes.end());
        EXPECT_TRUE(after == (c.heardAfter.empty() ? Concat({pcm[0], pcm[1]}) : c.heardAfter));
        EXPECT_EQ(d.misuse(), std::vector<std::string>{});
    }
}

// A song of another rate is not joined: the output opens again for it once the song before has
// been heard. Off, gapless playback joins nothing.
TEST_F(GaplessQueueTest, AnotherFormatOrGaplessOffOpensTheOutputAgain) {
    WavParams at48k;
    at48k.sampleRate = 48000;
    const std::string other =
        WriteBytes(dir.Path("other.wav"), MakeWav(at48k, Pcm16Pattern(48000, 2)));
    commands.OpenFiles({song[0], other});
    StepToTheEnd();
    EXPECT_EQ(host.caption, "other.wav");
    EXPECT_EQ(device.opens, 2);
    EXPECT_EQ(device.format.sampleRateHz, 48000);
    commands.UseGapless(false);
    commands.OpenFiles({song[0], song[1]});
    StepToTheEnd();
    EXPECT_EQ(host.caption, "song1.wav");
    EXPECT_EQ(device.opens, 4);
    EXPECT_EQ(engine.songsJoined(), 0u);
}

}  // namespace
}  // namespace zirvak::test
