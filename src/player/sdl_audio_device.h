// Sound output through SDL2: the first of SDL's drivers (PulseAudio, ALSA, PipeWire, ...), in
// SDL's order, that opens, or only the driver the user named in SDL_AUDIODRIVER. SDL's audio
// callback copies bytes out of the queued buffers in order; a finished buffer is handed to a
// notification thread of this device, which reports it to the listener, so a refill may decode and
// write from there (SDL's callback itself never calls out).
//
// When no sound output opens, the device plays into a silent stand-in of its own, paced in real
// time, and says why in status(); the next Open tries the real output again. When the output
// is lost while open (SDL stops the device: the server went away, the card was unplugged), the
// queued buffers are kept, nothing is consumed, and a keeper thread tries every second to open
// the output again, starting SDL's audio afresh (its backend holds one connection to the
// server); playback then goes on from where it stopped. SDL's own signal handlers are switched
// off: the program decides what SIGINT and SIGTERM do.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio_device.h"
#include "buffer_queue.h"
#include "output_history.h"
#include "sdl_outputs.h"

namespace zirvak {

struct SdlLibrary;

class SdlAudioDevice final : public AudioDevice {
public:
    SdlAudioDevice();
    ~SdlAudioDevice() override;

    bool Open(const AudioFormat& format, AudioDeviceListener* listener) override;
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override;
    void Pause() override;
    void Resume() override;
    void Reset() override;
    void Close() override;
    OutputStatus status() const override;
    void Drain(uint32_t maxMs) override;
    uint64_t pendingFrames() const override;
    bool Takes(const AudioFormat& opened, const AudioFormat& next) const override;
    uint32_t latencyMs() const override;

    // The output in use: an SDL driver ("pulseaudio", "alsa", "dummy", "disk", ...) or "silent".
    std::string driverName() const { return status().driver; }

private:
    bool OpenOutput(std::string& why);
    bool OpenDriver(const char* driver, std::vector<OutputAttempt>& failures);
    std::string CurrentDriver() const;
    void CloseOutput();
    void RetireOutput();
    void CloseRetired();
    static void AudioCallback(void* self, uint8_t* stream, int length);
    void Fill(uint8_t* stream, uint32_t length);
    void ReportDone(int32_t tag);
    void NoteAsked(int64_t nowNs, uint32_t length);
    void HandUnheardAgain(std::chrono::nanoseconds sincePace);
    void NotifierLoop();
    void KeeperLoop();
    void PlaySilently(std::unique_lock<std::mutex>& lock);
    void TryToGetOutputBack(std::unique_lock<std::mutex>& lock);
    void SetStatus(const std::string& driver, const std::string& reason);

    AudioFormat format_;
    AudioDeviceListener* listener_ = nullptr;

    // SDL calls on the device (open, close, pause) are made under sdlMutex_, never from the
    // callback, so closing a lost device (which waits for SDL's thread) cannot deadlock.
    std::mutex sdlMutex_;
    const SdlLibrary* sdl_ = nullptr;     // loaded by the first OpenOutput
    std::atomic<uint32_t> sdlDevice_{0};  // SDL_AudioDeviceID; 0 while silent, lost or closed
    uint32_t retired_ = 0;  // the output closed last, still playing out; under sdlMutex_
    std::atomic<uint32_t> periodFrames_{2048};  // frames SDL keeps for the output at a time
    // When SDL last asked for sound (steady clock, ns), or the output was opened or resumed.
    std::atomic<int64_t> lastAskedNs_{0};
    // The steady pace of SDL's requests: when the last one could have come first (ns).
    std::atomic<int64_t> paceNs_{0};
    std::atomic<bool> paused_{false};
    std::atomic<bool> started_{false};  // the first buffer has been written
    std::atomic<bool> silent_{false};
    std::atomic<bool> lost_{false};
    std::atomic<bool> open_{false};

    mutable std::mutex statusMutex_;
    std::string driver_;
    std::string reason_;

    mutable std::mutex queueMutex_;
    BufferQueue queue_;
    OutputHistory history_;                 // what went out last, to be handed again after a loss
    uint64_t silentFramesSinceQueued_ = 0;  // written by the callback once the queue ran dry

    std::mutex doneMutex_;
    std::condition_variable doneChanged_;
    std::deque<int32_t> done_;
    uint64_t reported_ = 0;
    uint64_t delivered_ = 0;
    bool stopping_ = false;
    std::thread notifier_;

    std::mutex keeperMutex_;
    std::condition_variable keeperWake_;
    bool keeperStopping_ = false;
    std::thread keeper_;
};

}  // namespace zirvak
