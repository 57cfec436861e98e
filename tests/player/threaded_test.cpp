// The engine under two threads (run under ThreadSanitizer too): transport commands while a
// device thread completes buffers at random moments, and whole runs through SDL's disk driver.
//
// The machine may be busy with other work: the cases wait for what they need with generous
// deadlines rather than for a fixed time, and never count how much was done in a given time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

#include "player_fixtures.h"
#include "sdl_audio_device.h"
#include "support/fixtures.h"
#include "support/wait_for.h"

namespace zirvak::test {
namespace {

using Clock = std::chrono::steady_clock;

// What a case waits for comes within a minute, far more than any case needs on a machine busy
// with other work.
constexpr std::chrono::seconds kWithin{60};

TEST(EngineThreads, RandomCommandsWhileBuffersComplete) {
    TempDir dir;
    WavParams mono8;
    mono8.channels = 1, mono8.bits = 8, mono8.sampleRate = 8000;
    // Clicks 2000 sample frames apart: every list of markers is full.
    WavParams mono16 = mono8;
    mono16.bits = 16;
    std::vector<int16_t> clicks(3 * 0x48000 / 2, 0);
    for (size_t i = 1000; i < clicks.size(); i += 2000) clicks[i] = 20000;
    const std::string paths[] = {
        WriteBytes(dir.Path("mono8.wav"), MakeWav(mono8, Bytes(20000, 0x90))),
        WriteBytes(dir.Path("tiny.mp2"), FirstFrames(Sample(), 4)),
        Files().wav,
        Files().mp2,
        Files().missing,
        WriteBytes(dir.Path("clicks.wav"),
                   MakeWav(mono16, std::span(reinterpret_cast<const uint8_t*>(clicks.data()),
                                             clicks.size() * 2)))};
    std::discrete_distribution<size_t> pickFile({30, 20, 15, 10, 10, 15});
    std::mt19937 rng(TestSeed());
    TestAudioDevice device;
    device.keepCopies = false;
    PlayerEngine engine(device);
    engine.SetGapless(true);  // songs prepared to follow join on the device's thread
    const PlayerEngineTestPeer pipeline(engine);
    std::atomic<bool> done{false};
    std::atomic<uint64_t> completions{0};
    std::thread completer([&, seed = rng()] {
        std::mt19937 local(seed);
        while (!done) {
            if (device.CompleteOldest()) ++completions;
            std::this_thread::sleep_for(std::chrono::microseconds(local() % 200));
        }
    });
    // Eight seconds of commands, and on until enough has happened for the checks below to mean
    // something, however slowly a busy machine runs them.
    const auto start = Clock::now();
    int ops = 0, listsRead = 0;
    auto enough = [&] { return ops > 500 && completions > 50 && listsRead > 20; };
    for (; ops < 10000; ++ops) {
        const auto now = Clock::now();
        if ((now >= start + std::chrono::seconds(8) && enough()) ||
            now >= start + std::chrono::seconds(120))
            break;
        const uint32_t pick = rng() % 100;
        if (pick < 6) {
            const std::string& path = paths[pickFile(rng)];
            EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs),
                      path == Files().missing ? kOpenFileFailed : kOpenStarted);
        } else if (pick < 12) {
            const std::string& path = paths[pickFile(rng)];
            const bool open = engine.state() != NoFile;
            EXPECT_EQ(engine.PrepareNext(path, 0.5),
                      path == Files().missing || !open ? kOpenFileFailed : kOpenStarted);
        } else if (pick < 14) {
            // What the clock reads on every tick, while a join may change it.
            EXPECT_LE(engine.runStartFrame() + engine.samplesAnalysed(),
                      uint64_t(engine.songLengthMs() + 1000) * 48000 / 1000 + 0x48000);
        } else if (pick < 16) {
            EXPECT_EQ(engine.Restart(), kOpenStarted);
        } else if (pick < 31) {
            engine.Stop();
            const size_t writes = device.writes();
            // Stop empties the device; only the last buffer of a run that had already ended on
            // its own may still be sounding. The count is read once: the device's thread may
            // play that last buffer at any moment.
            const size_t queued = device.queuedCount();
            EXPECT_TRUE(queued == 0 ||
                        (queued == 1 && pipeline.buffersQueued() == pipeline.lastBufferIndex()))
                << queued << " queued, buffer " << pipeline.buffersQueued() << " of "
                << pipeline.lastBufferIndex() << ", state " << engine.state() << ", op " << ops;
            EXPECT_TRUE(engine.state() == NoFile || engine.endReached());
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
            EXPECT_EQ(device.writes(), writes) << "a buffer was queued after Stop";
        } else if (pick < 34) {
            engine.Close();
            EXPECT_EQ(engine.state(), NoFile);
            EXPECT_EQ(device.queuedCount(), 0u);
        } else if (pick < 50) {
            engine.TogglePause();
        } else if (pick < 60) {
            engine.Seek(rng() % 4000);
        } else {  // what the window reads on every tick: one refill's list, whole
            BeatMarker markers[kMaxBeatMarkers];
            const uint32_t count = engine.ReadBeatMarkers(engine.currentBuffer() ^ 1, markers);
            listsRead += count > 1;
            for (uint32_t i = 1; i < count; ++i)
                EXPECT_LT(markers[i - 1].timeMs, markers[i].timeMs) << "a list of two refills";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
    }
    engine.Close();
    done = true;
    completer.join();
    EXPECT_EQ(device.misuse(), std::vector<std::string>());
    EXPECT_GT(ops, 500);
    EXPECT_GT(completions.load(), 50u);
    EXPECT_GT(listsRead, 20) << "too few marker lists read to say they are whole";
    EXPECT_GT(engine.songsJoined(), 0u) << "no song joined on the device's thread";
}

size_t FirstNonZero(const Bytes& b, size_t from = 0) {
    return size_t(std::find_if(b.begin() + ptrdiff_t(from), b.end(), [](uint8_t x) { return x; }) -
                  b.begin());
}

// How much of `rendered` `heard` holds in order from `from` on, 4-byte sample frame by frame,
// passing over silent frames: the disk driver asks for the next period whether or not a refill
// on a busy machine has come, and writes silence where nothing was queued yet. A frame that is
// neither the next one nor silence ends the match.
struct InOrder {
    size_t renderedBytes = 0;  // of `rendered`, from its start
    size_t heardEnd = 0;       // where they end in `heard`
};
InOrder HeardInOrder(const Bytes& heard, size_t from, const Bytes& rendered) {
    InOrder m{0, from};
    for (size_t h = from; h + 4 <= heard.size() && m.renderedBytes < rendered.size(); h += 4) {
        const auto frame = heard.begin() + ptrdiff_t(h);
        if (std::equal(frame, frame + 4, rendered.begin() + ptrdiff_t(m.renderedBytes))) {
            m.renderedBytes += 4;
            m.heardEnd = h + 4;
        } else if (std::any_of(frame, frame + 4, [](uint8_t x) { return x != 0; })) {
            break;
        }
    }
    return m;
}

TEST(EngineThreads, SdlPlaysWhatRenderWrites) {
    TempDir dir;
    WavParams at48k;
    at48k.sampleRate = 48000;
    const std::string paths[] = {
        WriteBytes(dir.Path("short.wav"), MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2))),
        // 3.2 s at 48000 Hz: three buffers, so the device's thread decodes one.
        EncodeMp3(dir, "short", MakeWav(at48k, Pcm16Pattern(48000 * 16 / 5, 2)), "-b 96"),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const Bytes rendered = Render(dir, path);
        ASSERT_GT(rendered.size(), 100000u);
        const std::string disk = dir.Path("sdl-out.raw");
        // Set for every run: other tests of this program name other drivers.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", disk.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "15", 1);  // ms per 2048 sample frames: 3× real time
        {
            SdlAudioDevice device;
            PlayerEngine engine(device);
            EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
            EXPECT_EQ(device.driverName(), "disk");
            // Done once the run has ended and what it wrote has been heard, silence after.
            EXPECT_TRUE(WaitFor([&] { return engine.state() == Stopped; }, kWithin));
            engine.DrainOutput(60000);
            engine.Close();
        }
        const Bytes heard = ReadFileBytes(disk);
        // Whole periods of silence while the device waits for its first buffer, then the
        // rendered bytes in order, then silence only.
        const size_t lead = FirstNonZero(heard) - FirstNonZero(rendered);
        EXPECT_EQ(lead % 8192, 0u);
        ASSERT_GE(heard.size(), lead + rendered.size());
        const InOrder heardInOrder = HeardInOrder(heard, lead, rendered);
        EXPECT_EQ(heardInOrder.renderedBytes, rendered.size());
        EXPECT_EQ(FirstNonZero(heard, heardInOrder.heardEnd), heard.size());
    }
}

// The output goes away after the first buffer and comes back three seconds later: the device's
// thread plays on from the buffer that was waiting, and the song ends whole.
TEST(EngineThreads, AnOutputBackAfterThreeSecondsPlaysTheSongOn) {
    TestAudioDevice device;
    device.loseAfter = 1;
    PlayerEngine engine(device);
    ASSERT_EQ(engine.Open(Files().mp2, 0, kDefaultEndMs), kOpenStarted);
    device.Start(std::chrono::milliseconds(20));
    ASSERT_TRUE(WaitFor([&] { return engine.outputStatus().lost; }, kWithin));
    const auto lostAt = Clock::now();
    std::thread restorer([&] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        device.Restore();
    });
    EXPECT_TRUE(
        WaitFor([&] { return engine.state() == Stopped && device.queuedCount() == 0; }, kWithin));
    EXPECT_GE(Clock::now() - lostAt, std::chrono::seconds(3));
    restorer.join();
    engine.Close();
    EXPECT_TRUE(device.AllBytes() == PlayToTheEnd(Files().mp2));
    EXPECT_EQ(device.misuse(), std::vector<std::string>());
}

// No sound output opens: the song plays on a silent stand-in in real time, the device says why,
// and the environment is left as the user set it, so the next Open tries the real output again.
TEST(EngineThreads, ASilentStandInForAMissingOutputAndTheNextOpenTriesAgain) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    SdlAudioDevice device;
    PlayerEngine engine(device);
    const auto opened = Clock::now();
    ASSERT_EQ(engine.Open(Files().wavShort, 0, kDefaultEndMs), kOpenStarted);
    const OutputStatus silent = engine.outputStatus();
    EXPECT_TRUE(silent.silent);
    EXPECT_EQ(silent.driver, "silent");
    EXPECT_NE(silent.reason.find("nonexistent"), std::string::npos) << silent.reason;
    EXPECT_STREQ(getenv("SDL_AUDIODRIVER"), "nonexistent");
    EXPECT_TRUE(WaitFor([&] { return engine.state() == Stopped; }, kWithin));
    EXPECT_GE(Clock::now() - opened, std::chrono::milliseconds(150));  // 0.23 s, in real time
    engine.Close();

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(engine.Open(Files().wavShort, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_FALSE(engine.outputStatus().silent);
    EXPECT_EQ(device.driverName(), "dummy");
    EXPECT_EQ(engine.outputStatus().name, "SDL's dummy output");
}

// A file truncated while SDL plays it, at several moments, on SDL's real-time dummy output: the
// device's thread finds the file short at its next refill and the run stops, without a signal.
TEST(EngineThreads, FileTruncatedUnderSdlStopsCleanly) {
    TempDir dir;
    const Bytes wav = MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 4, 2));  // five chunks
    const Bytes mp3 = ReadFileBytes(
        EncodeMp3(dir, "long", MakeWav({}, Pcm16Pattern(8 * 44100, 2)), "-b 64"));  // five buffers
    const struct {
        const Bytes& file;
        off_t keep;
        int afterMs;
    } cases[] = {{wav, 0, 200}, {wav, 4096, 1900}, {mp3, 4096, 200}, {mp3, 0, 1900}};
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (&c.file == &wav ? "wav" : "mp3") << " cut to " << c.keep
                                        << " after " << c.afterMs << " ms");
        const std::string path = WriteBytes(dir.Path("playing"), c.file);
        SdlAudioDevice device;
        PlayerEngine engine(device);
        ASSERT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
        std::this_thread::sleep_for(std::chrono::milliseconds(c.afterMs));
        ASSERT_EQ(truncate(path.c_str(), c.keep), 0);
        EXPECT_TRUE(WaitFor([&] { return engine.state() == Stopped; }, kWithin));
        EXPECT_TRUE(engine.fileChanged());
        engine.Close();
    }
}

}  // namespace
}  // namespace zirvak::test
