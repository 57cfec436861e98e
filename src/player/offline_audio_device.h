// An audio device that plays nothing in real time: every buffer written is appended at once,
// in order, to a WAV file, and its completion waits until the owner delivers it. Used to
// render a whole run to a file as fast as it can be decoded.
#pragma once

#include <deque>
#include <mutex>
#include <string>

#include "audio_device.h"
#include "wav_writer.h"

namespace zirvak {

class OfflineAudioDevice final : public AudioDevice {
public:
    explicit OfflineAudioDevice(std::string path) : path_(std::move(path)) {}
    ~OfflineAudioDevice() override { Close(); }

    bool Open(const AudioFormat& format, AudioDeviceListener* listener) override;
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override;
    void Pause() override {}
    void Resume() override {}
    void Reset() override;
    void Close() override;

    // Delivers completions, oldest first, until none is pending (the listener's refills may
    // queue more). Returns how many were delivered.
    int DeliverCompletions();
    // False when the file could not be written.
    bool ok() const { return ok_; }

private:
    std::string path_;
    PcmFileWriter writer_;
    AudioDeviceListener* listener_ = nullptr;
    std::mutex mutex_;
    std::deque<int32_t> pending_;
    bool open_ = false;
    bool ok_ = true;
};

}  // namespace zirvak
