// Sound output through SDL2, which picks PipeWire, PulseAudio or ALSA. SDL's audio callback
// copies bytes out of the queued buffers in order; a finished buffer is handed to a
// notification thread of this device, which reports it to the listener, so a refill may
// decode and write from there (SDL's callback itself never calls out). When no output device
// can be opened, SDL's "dummy" driver is used: sound is discarded at real-time pace, and one
// line on stderr says so.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "audio_device.h"

namespace zirvak {

class SdlAudioDevice final : public AudioDevice {
public:
    SdlAudioDevice() = default;
    ~SdlAudioDevice() override { Close(); }

    bool Open(const AudioFormat& format, AudioDeviceListener* listener) override;
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override;
    void Pause() override;
    void Resume() override;
    void Reset() override;
    void Close() override;

    // The SDL driver in use ("pulseaudio", "alsa", "dummy", "disk", ...).
    const std::string& driverName() const { return driver_; }

private:
    struct Queued {
        const uint8_t* data;
        uint32_t length;
        uint32_t consumed;
        int32_t tag;
    };

    static void AudioCallback(void* self, uint8_t* stream, int length);
    void Fill(uint8_t* stream, uint32_t length);
    void ReportDone(int32_t tag);
    void NotifierLoop();

    uint32_t device_ = 0;  // SDL_AudioDeviceID
    std::string driver_;
    AudioDeviceListener* listener_ = nullptr;
    bool paused_ = false;
    bool started_ = false;

    std::deque<Queued> queue_;  // guarded by SDL's lock of the device

    std::mutex doneMutex_;
    std::condition_variable doneChanged_;
    std::deque<int32_t> done_;
    uint64_t reported_ = 0;
    uint64_t delivered_ = 0;
    bool stopping_ = false;
    std::thread notifier_;
};

}  // namespace zirvak
