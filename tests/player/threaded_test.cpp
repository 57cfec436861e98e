// The engine under two threads: transport commands from the owner while completions arrive on
// a device thread at random moments, and whole runs through SDL's disk-writing driver. Run
// under ThreadSanitizer too, where any unguarded access between the threads, any read of a
// freed buffer or unmapped file, and any lock cycle is a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "player_fixtures.h"
#include "sdl_audio_device.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

using Clock = std::chrono::steady_clock;

// A device whose buffers are completed by another thread, one at a time, when that thread
// chooses. Completing a buffer reads all its bytes, as playing it would. Reset hands back what
// is queued and waits for a completion already under way, as the device contract requires.
class RacingDevice final : public AudioDevice {
public:
    bool Open(const AudioFormat&, AudioDeviceListener* listener) override {
        std::lock_guard lock(mutex_);
        EXPECT_FALSE(open_) << "opened twice";
        open_ = true;
        paused_ = false;
        listener_ = listener;
        return true;
    }
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override {
        std::lock_guard lock(mutex_);
        EXPECT_TRUE(open_) << "write to a closed device";
        EXPECT_LT(queue_.size(), 2u) << "more than two buffers in flight";
        if (!queue_.empty()) {
            EXPECT_NE(queue_.back().tag, tag) << "one slot queued twice";
        }
        queue_.push_back({data, length, tag});
        ++writes_;
    }
    void Pause() override {
        std::lock_guard lock(mutex_);
        paused_ = true;
    }
    void Resume() override {
        std::lock_guard lock(mutex_);
        paused_ = false;
    }
    void Reset() override {
        std::deque<Queued> taken;
        AudioDeviceListener* listener;
        {
            std::lock_guard lock(mutex_);
            taken.swap(queue_);
            listener = listener_;
        }
        for (const Queued& q : taken) {
            Play(q);
            listener->OnBufferDone(q.tag);
        }
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return inFlight_ == 0; });
    }
    void Close() override {
        Reset();
        std::lock_guard lock(mutex_);
        open_ = false;
        listener_ = nullptr;
    }

    // Called by the device thread: plays and completes the oldest buffer, unless paused.
    bool CompleteOldest() {
        Queued q;
        AudioDeviceListener* listener;
        {
            std::lock_guard lock(mutex_);
            if (!open_ || paused_ || queue_.empty()) return false;
            q = queue_.front();
            queue_.pop_front();
            listener = listener_;
            ++inFlight_;
        }
        Play(q);
        listener->OnBufferDone(q.tag);
        std::lock_guard lock(mutex_);
        --inFlight_;
        idle_.notify_all();
        return true;
    }
    size_t queued() {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }
    bool isOpen() {
        std::lock_guard lock(mutex_);
        return open_;
    }
    uint64_t writes() {
        std::lock_guard lock(mutex_);
        return writes_;
    }

private:
    struct Queued {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        int32_t tag = 0;
    };
    void Play(const Queued& q) {
        uint64_t sum = 0;
        for (uint32_t i = 0; i < q.length; i += 61) sum += q.data[i];
        if (q.length > 0) sum += q.data[q.length - 1];
        checksum_ += sum;
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<Queued> queue_;
    AudioDeviceListener* listener_ = nullptr;
    bool open_ = false;
    bool paused_ = false;
    int inFlight_ = 0;
    uint64_t writes_ = 0;
    std::atomic<uint64_t> checksum_{0};  // keeps the reads of Play from being optimised away
};

TEST(EngineThreads, RandomCommandsWhileBuffersComplete) {
    // Mostly small files, so that thousands of commands fit in the time even under the
    // sanitizers; a WAV and an MPEG stream of three buffers each keep the refills busy.
    TempDir dir;
    WavParams mono8;
    mono8.channels = 1;
    mono8.bits = 8;
    mono8.sampleRate = 8000;
    WriteBytes(dir.Path("mono8.wav"), MakeWav(mono8, Bytes(20000, 0x90)));
    WriteBytes(dir.Path("tiny.mp2"), FirstFrames(Sample(), 4));
    const std::string paths[] = {dir.Path("mono8.wav"), dir.Path("tiny.mp2"), Files().wav(),
                                 Files().mp3Low(), Files().missing()};
    std::discrete_distribution<size_t> pickFile({35, 25, 15, 10, 15});

    std::mt19937 rng(TestSeed());
    RacingDevice device;
    PlayerEngine engine(device);
    std::atomic<bool> done{false};
    std::atomic<uint64_t> completions{0};
    std::thread completer([&, seed = rng()] {
        std::mt19937 local(seed);
        while (!done) {
            if (device.CompleteOldest()) ++completions;
            std::this_thread::sleep_for(std::chrono::microseconds(local() % 200));
        }
    });

    const auto deadline = Clock::now() + std::chrono::seconds(8);
    int ops = 0;
    std::optional<uint64_t> writesAfterStop;  // set by Stop until the next command
    for (; ops < 10000 && Clock::now() < deadline; ++ops) {
        const uint32_t pick = rng() % 100;
        if (writesAfterStop) {
            EXPECT_EQ(device.writes(), *writesAfterStop) << "a buffer was queued after Stop";
            writesAfterStop.reset();
        }
        if (pick < 6) {
            const std::string& path = paths[pickFile(rng)];
            const int32_t result = engine.Open(path, 0, kDefaultEndMs);
            EXPECT_EQ(result, path == Files().missing() ? kOpenFileFailed : kOpenStarted);
        } else if (pick < 16) {
            EXPECT_EQ(engine.Restart(), kOpenStarted);
        } else if (pick < 31) {
            engine.Stop();
            writesAfterStop = device.writes();
            // Only the last buffer of a run that has already ended may still be sounding.
            EXPECT_TRUE(device.queued() == 0 || engine.endReached());
        } else if (pick < 34) {
            engine.Close();
            EXPECT_EQ(engine.state(), NoFile);
            EXPECT_FALSE(device.isOpen());
            EXPECT_EQ(device.queued(), 0u);
        } else if (pick < 60) {
            engine.TogglePause();
        } else {
            // What the window reads on every tick, without waiting.
            BeatMarker markers[kMaxBeatMarkers];
            const uint32_t count = engine.ReadBeatMarkers(engine.currentBuffer() ^ 1, markers);
            EXPECT_LE(count, kMaxBeatMarkers);
            (void)engine.endReached();
        }
        const PlayerState state = engine.state();
        EXPECT_TRUE(state >= NoFile && state <= Paused);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
    }
    engine.Close();
    done = true;
    completer.join();
    std::printf("%d commands, %llu completions\n", ops,
                static_cast<unsigned long long>(completions.load()));
    EXPECT_GT(ops, 500);
    EXPECT_GT(completions.load(), 50u);
}

// Plays `path` to its end through SDL's disk driver and returns what reached the disk file.
Bytes PlayThroughSdl(const TempDir& dir, const std::string& path, size_t expectedBytes) {
    const std::string disk = dir.Path("sdl-out.raw");
    // The device falls back to the dummy driver when it cannot open one, and says so in the
    // environment: set the disk driver again for every run.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", disk.c_str(), 1);
    // 15 ms per period of 2048 sample frames: about three times real time, and still time
    // enough to decode the next buffer under the sanitizers.
    setenv("SDL_DISKAUDIODELAY", "15", 1);
    SdlAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted);
    EXPECT_EQ(device.driverName(), "disk");
    // Done once the run has ended and the disk holds its bytes and a little silence after.
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        std::error_code ignored;
        const auto size = std::filesystem::file_size(disk, ignored);
        if (engine.state() == Stopped && size >= expectedBytes + 3 * 8192 + 65536) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(engine.state(), Stopped);
    engine.Close();
    return ReadFileBytes(disk);
}

size_t FirstNonZero(const Bytes& b) {
    return size_t(std::find_if(b.begin(), b.end(), [](uint8_t x) { return x != 0; }) - b.begin());
}

TEST(EngineThreads, SdlPlaysWhatRenderWrites) {
    TempDir dir;
    WriteBytes(dir.Path("short.wav"), MakeWav({}, TonePcm(kWavChunkBytes * 5 / 2 / 4, 44100)));
    WavParams at48k;
    at48k.sampleRate = 48000;
    const std::string paths[] = {
        dir.Path("short.wav"),
        // 3.2 s at 48000 Hz: three buffers, so the device's thread decodes one.
        EncodeMp3(dir, "short", MakeWav(at48k, TonePcm(48000 * 16 / 5, 48000)), "-b 96"),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const Bytes rendered = Render(dir, path);
        ASSERT_GT(rendered.size(), 100000u);
        const Bytes heard = PlayThroughSdl(dir, path, rendered.size());
        // SDL writes whole periods of silence while the device waits, paused, for its first
        // buffer; then come the rendered bytes, exactly, then silence only.
        const size_t lead = FirstNonZero(heard) - FirstNonZero(rendered);
        EXPECT_EQ(lead % 8192, 0u);
        ASSERT_GE(heard.size(), lead + rendered.size());
        EXPECT_TRUE(std::equal(rendered.begin(), rendered.end(), heard.begin() + ptrdiff_t(lead)));
        EXPECT_EQ(
            FirstNonZero(Bytes(heard.begin() + ptrdiff_t(lead + rendered.size()), heard.end())),
            heard.size() - lead - rendered.size());
    }
}

}  // namespace
}  // namespace zirvak::test
