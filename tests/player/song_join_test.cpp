// Songs joined in one device stream (gapless): the next song's first samples right behind the
// last of the song before, each at its own gain, and every command at the join.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "player_fixtures.h"

namespace zirvak::test {
namespace {

// An album of three songs cut from one signal at sample frames no buffer ends on: 2.4, 1.3 and
// 0.6 buffers long.
struct Album {
    Album() {
        const uint32_t frames = kWavChunkBytes / 4;
        const Bytes whole = Pcm16Pattern(frames * 43 / 10, 2);
        const size_t cuts[] = {0, (size_t(frames) * 24 / 10 + 7) * 4,
                               (size_t(frames) * 37 / 10 + 3) * 4, whole.size()};
        for (int i = 0; i < 3; ++i) {
            pcm[i].assign(whole.begin() + ptrdiff_t(cuts[i]),
                          whole.begin() + ptrdiff_t(cuts[i + 1]));
            path[i] =
                WriteBytes(dir.Path("song" + std::to_string(i) + ".wav"), MakeWav({}, pcm[i]));
        }
    }
    TempDir dir;
    Bytes pcm[3];
    std::string path[3];
};

class SongJoinTest : public ::testing::Test {
protected:
    SongJoinTest() { engine.SetGapless(true); }

    // Plays until the first buffer of the prepared song is queued behind the last of the one
    // that plays, not yet heard.
    void PlayUpToTheJoin() {
        const uint32_t joined = engine.songsJoined();
        const size_t lastOfSong =
            device.written.size() + (album.pcm[0].size() + kWavChunkBytes - 1) / kWavChunkBytes - 2;
        while (device.written.size() <= lastOfSong) ASSERT_TRUE(device.CompleteOldest());
        ASSERT_EQ(engine.songsJoined(), joined);
        ASSERT_EQ(device.queuedCount(), 2u);
    }

    Album album;
    TestAudioDevice device;
    PlayerEngine engine{device};
};

TEST_F(SongJoinTest, EachSongFollowsTheOneBeforeInOneStreamAtItsOwnGain) {
    const double gain = std::pow(10.0, -4.5 / 20);
    ASSERT_EQ(engine.Open(album.path[0], 0, kDefaultEndMs), kOpenStarted);
    ASSERT_EQ(engine.PrepareNext(album.path[1], gain), kOpenStarted);
    EXPECT_TRUE(engine.nextJoins());
    const uint32_t lengthMs[] = {uint32_t(album.pcm[0].size() / 4 * 1000 / 44100),
                                 uint32_t(album.pcm[1].size() / 4 * 1000 / 44100)};
    PlayUpToTheJoin();
    // Until its last buffer has been played, the song before is the one heard.
    EXPECT_EQ(engine.songLengthMs(), lengthMs[0]);
    EXPECT_EQ(engine.samplesAnalysed(), album.pcm[0].size() / 4);
    ASSERT_TRUE(device.CompleteOldest());
    EXPECT_EQ(engine.songsJoined(), 1u);
    EXPECT_EQ(engine.songLengthMs(), lengthMs[1]);
    EXPECT_EQ(engine.runStartFrame(), 0u);
    EXPECT_FALSE(engine.endReached());
    // The last song is shorter than a buffer: it joins too, once prepared.
    ASSERT_EQ(engine.PrepareNext(album.path[2], 1.0), kOpenStarted);
    device.CompleteAll();
    EXPECT_EQ(engine.songsJoined(), 2u);
    EXPECT_TRUE(engine.runFinished());
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(device.misuse(), std::vector<std::string>{});
    EXPECT_TRUE(device.AllBytes() ==
                Concat({album.pcm[0], Scaled(album.pcm[1], gain), album.pcm[2]}));
}

// The prepared song's gain changes without its being opened again (its file may be gone by
// then), and takes effect exactly from its first sample; once it has joined, it keeps the gain
// it went out with. The news tell of the join once, with what of it had been played.
TEST_F(SongJoinTest, ThePreparedSongsGainIsSetWithoutOpeningItAgain) {
    ASSERT_EQ(engine.Open(album.path[0], 0, kDefaultEndMs), kOpenStarted);
    ASSERT_EQ(engine.PrepareNext(album.path[1], 0.5), kOpenStarted);
    std::remove(album.path[1].c_str());
    EXPECT_TRUE(engine.SetNextGain(0.25));
    PlayUpToTheJoin();
    EXPECT_FALSE(engine.SetNextGain(0.125));  // joined: its first buffer went out at 0.25
    EXPECT_FALSE(engine.TakeNews().joined);
    ASSERT_TRUE(device.CompleteOldest());  // the join is heard
    ASSERT_TRUE(device.CompleteOldest());  // and the joined song's first buffer played
    const EngineNews news = engine.TakeNews();
    EXPECT_TRUE(news.joined);
    EXPECT_EQ(news.joinedFramesHeard, uint64_t(kWavChunkBytes / 4));
    EXPECT_FALSE(engine.TakeNews().joined);  // told once
    device.CompleteAll();
    EXPECT_TRUE(device.AllBytes() == Concat({album.pcm[0], Scaled(album.pcm[1], 0.25)}));
}

// A seek, a restart after stop, or a pause at the join: the song before stays the one heard,
// and the prepared song still follows it whole.
TEST_F(SongJoinTest, CommandsAtTheJoinActOnTheSongHeard) {
    const size_t frames0 = album.pcm[0].size() / 4;
    const uint32_t seekMs = uint32_t(frames0 * 1000 / 44100) - 300;
    const auto tail = [&](size_t frame) {
        return Bytes(album.pcm[0].begin() + ptrdiff_t(frame * 4), album.pcm[0].end());
    };
    const struct {
        const char* name;
        std::function<void(PlayerEngine&, TestAudioDevice&)> act;
        Bytes heardAfter;  // of the song before, from the command on
    } cases[] = {
        {"seek",
         [&](PlayerEngine& e, TestAudioDevice&) { EXPECT_EQ(e.Seek(seekMs), kOpenStarted); },
         tail(size_t(seekMs) * 44100 / 1000)},
        {"stop, play",
         [](PlayerEngine& e, TestAudioDevice&) {
             e.Stop();
             EXPECT_EQ(e.Restart(), kOpenStarted);
         },
         album.pcm[0]},
        {"pause, resume",
         [](PlayerEngine& e, TestAudioDevice& d) {
             EXPECT_EQ(e.TogglePause(), Paused);
             EXPECT_FALSE(d.CompleteOldest());
             EXPECT_EQ(e.TogglePause(), Playing);
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestAudioDevice d;
        PlayerEngine e{d};
        e.SetGapless(true);
        ASSERT_EQ(e.Open(album.path[0], 0, kDefaultEndMs), kOpenStarted);
        ASSERT_EQ(e.PrepareNext(album.path[1], 0.5), kOpenStarted);
        while (d.written.size() < 4) ASSERT_TRUE(d.CompleteOldest());
        ASSERT_EQ(e.songsJoined(), 0u);
        const size_t before = d.written.size();
        c.act(e, d);
        EXPECT_EQ(e.songsJoined(), 0u);
        EXPECT_EQ(e.songLengthMs(), uint32_t(frames0 * 1000 / 44100));
        d.CompleteAll();
        EXPECT_EQ(e.songsJoined(), 1u);
        EXPECT_TRUE(e.runFinished());
        Bytes after;
        for (size_t i = c.heardAfter.empty() ? 0 : before; i < d.written.size(); ++i)
            after.insert(after.end(), d.written[i].bytes.begin(), d.written[i].bytes.end());
        const Bytes want = c.heardAfter.empty() ? Concat({album.pcm[0], Scaled(album.pcm[1], 0.5)})
                                                : Concat({c.heardAfter, Scaled(album.pcm[1], 0.5)});
        EXPECT_TRUE(after == want);
        EXPECT_EQ(d.misuse(), std::vector<std::string>{});
    }
}

// On an output that is always stereo (as SDL's is), a mono song of the same rate follows a stereo
// one in the same stream, its buffers written as mono; its beats are marked as mono.
TEST_F(SongJoinTest, AMonoSongJoinsAStereoOneOnAnOutputThatTakesBoth) {
    device.takesMonoAndStereo = true;
    WavParams mono;
    mono.channels = 1;
    const Bytes monoPcm = Pcm16Pattern(kWavChunkBytes / 2 * 3 / 2, 1);
    const std::string path = WriteBytes(album.dir.Path("mono.wav"), MakeWav(mono, monoPcm));
    ASSERT_EQ(engine.Open(album.path[0], 0, kDefaultEndMs), kOpenStarted);
    ASSERT_EQ(engine.PrepareNext(path, 1.0), kOpenStarted);
    EXPECT_TRUE(engine.nextJoins());
    const size_t stereoBuffers = (album.pcm[0].size() + kWavChunkBytes - 1) / kWavChunkBytes;
    device.CompleteAll();
    EXPECT_EQ(engine.songsJoined(), 1u);
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(engine.channels(), 1);
    EXPECT_EQ(engine.samplesAnalysed(), monoPcm.size() / 2);
    ASSERT_EQ(device.written.size(), stereoBuffers + 2);
    for (size_t i = 0; i < device.written.size(); ++i)
        EXPECT_EQ(device.written[i].channels, i < stereoBuffers ? 2u : 1u) << i;
    EXPECT_TRUE(device.AllBytes() == Concat({album.pcm[0], monoPcm}));
    // The same song prepared on an output that plays only what it was opened for does not join.
    device.takesMonoAndStereo = false;
    ASSERT_EQ(engine.Open(album.path[2], 0, kDefaultEndMs), kOpenStarted);
    ASSERT_EQ(engine.PrepareNext(path, 1.0), kOpenStarted);
    EXPECT_FALSE(engine.nextJoins());
}

// A song of another format does not join: the run ends, for the caller to open it. One that
// cannot be played is refused when prepared, and the song that plays goes on.
TEST_F(SongJoinTest, AnotherFormatOrAFailingSongDoesNotJoin) {
    WavParams at48k;
    at48k.sampleRate = 48000;
    const std::string other =
        WriteBytes(album.dir.Path("other.wav"), MakeWav(at48k, Pcm16Pattern(4800, 2)));
    const std::string text = WriteBytes(album.dir.Path("text.wav"), Bytes(3000, 'x'));
    ASSERT_EQ(engine.Open(album.path[2], 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(engine.PrepareNext(album.dir.Path("missing.wav"), 1.0), kOpenFileFailed);
    EXPECT_EQ(engine.failure(), FileProblem::kMissing);
    EXPECT_NE(engine.PrepareNext(text, 1.0), kOpenStarted);
    EXPECT_FALSE(engine.nextJoins());
    ASSERT_EQ(engine.PrepareNext(other, 1.0), kOpenStarted);
    EXPECT_FALSE(engine.nextJoins());
    device.CompleteAll();
    EXPECT_TRUE(engine.runFinished());
    EXPECT_EQ(engine.songsJoined(), 0u);
    EXPECT_TRUE(device.AllBytes() == album.pcm[2]);
    // Without gapless playback nothing is prepared.
    engine.SetGapless(false);
    EXPECT_EQ(engine.PrepareNext(album.path[1], 1.0), kOpenFileFailed);
}

}  // namespace
}  // namespace zirvak::test
