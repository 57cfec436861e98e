// The test device: a sound card that a test (or a fuzzer, or a benchmark) drives. It reads
// every byte written, as a sound card would, so a buffer released too early shows under the
// sanitizers, and keeps a copy of what it played. It plays when stepped (CompleteOldest,
// CompleteAll) or, once Start is called, on a thread of its own at a set pace. It misbehaves
// on request: it refuses to open, fails the n-th open, or loses its output after n buffers
// until Restore. Each call is logged, one letter each: O open, W write, P pause, R resume,
// X reset, C close.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio_device.h"
#include "buffer_queue.h"

namespace zirvak {

class TestAudioDevice final : public AudioDevice {
public:
    struct Written {
        int32_t tag;
        const uint8_t* data;
        std::vector<uint8_t> bytes;  // a copy, when copies are kept
        uint32_t channels = 2;       // the buffer's, as the engine said when writing it
    };

    TestAudioDevice() = default;
    ~TestAudioDevice() override;

    bool Open(const AudioFormat& format, AudioDeviceListener* listener) override;
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override;
    void Pause() override;
    void Resume() override;
    void Reset() override;
    void Close() override;
    OutputStatus status() const override;
    uint64_t pendingFrames() const override;
    bool Takes(const AudioFormat& opened, const AudioFormat& next) const override;
    uint32_t latencyMs() const override { return latency; }

    // Faults. Open fails while `refuseOpen` is set, and on the open numbered `failOpenNumber`
    // (1 for the first). After `loseAfter` buffers have been played (counted from Open) the
    // output is lost until Restore.
    bool refuseOpen = false;
    int failOpenNumber = 0;
    int loseAfter = -1;
    // When set, the device says it is a silent stand-in, for this reason.
    std::string silentBecause;
    // How long what it takes is on its way to being heard.
    uint32_t latency = 0;
    // Like the SDL device, always stereo: mono and stereo buffers of its rate are taken.
    bool takesMonoAndStereo = false;
    // Keep a copy of each buffer written (off for long runs).
    bool keepCopies = true;
    // Called with each buffer as it is played, before it is reported done.
    std::function<void(const uint8_t*, uint32_t)> onPlayed;

    // Stepping: plays the oldest queued buffer and reports it done. False when none is queued,
    // or the device is paused or its output lost.
    bool CompleteOldest();
    void CompleteAll();
    // The output comes back after a loss: the queued buffers play on.
    void Restore();
    // Plays on a thread of its own, a buffer every `perBuffer` (zero: as fast as it can), until
    // Close or the device is destroyed.
    void Start(std::chrono::milliseconds perBuffer);

    size_t queuedCount() const;
    int played() const;
    size_t writes() const;
    bool lost() const;
    // What the engine did that a sound card would not take: a write to a closed device, a
    // second open, a third buffer in flight, the same buffer queued twice in a row.
    std::vector<std::string> misuse() const;
    // Every byte written, in order (with copies kept).
    std::vector<uint8_t> AllBytes() const;

    // What happened, for tests that step the device on one thread.
    AudioFormat format;
    bool open = false, paused = false;
    int opens = 0, closes = 0;
    std::vector<Written> written;
    std::string log;

private:
    void HandBack();
    bool PlayOldest(std::unique_lock<std::mutex>& lock);
    bool CanPlay() const;
    void RunThread();
    void StopThread();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    BufferQueue queue_;
    AudioDeviceListener* listener_ = nullptr;
    int played_ = 0;
    size_t writes_ = 0;
    int inFlight_ = 0;
    std::vector<std::string> misuse_;
    bool lost_ = false;
    std::thread thread_;
    bool threadRunning_ = false;
    std::chrono::milliseconds perBuffer_{0};
};

}  // namespace zirvak
