// An audio device that plays nothing in real time: every buffer is appended, in order, to a
// WAV file as it is played, and it is played when the owner delivers its completion. Used to
// render a whole run to a file as fast as it can be decoded.
#pragma once

#include <string>

#include "audio_device.h"
#include "test_audio_device.h"
#include "wav_writer.h"

namespace zirvak {

class OfflineAudioDevice final : public AudioDevice {
public:
    explicit OfflineAudioDevice(std::string path);
    ~OfflineAudioDevice() override { Close(); }

    bool Open(const AudioFormat& format, AudioDeviceListener* listener) override;
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override;
    void Pause() override { player_.Pause(); }
    void Resume() override { player_.Resume(); }
    void Reset() override { player_.Reset(); }
    void Close() override;
    OutputStatus status() const override { return {"file", false, {}, false, "a file"}; }

    // Plays and delivers completions, oldest first, until none is pending (the listener's
    // refills may queue more). Returns how many were delivered.
    int DeliverCompletions();
    // False when the file could not be written.
    bool ok() const { return ok_; }

private:
    std::string path_;
    PcmFileWriter writer_;
    TestAudioDevice player_;  // the queue and its completions
    bool open_ = false;
    bool ok_ = true;
};

}  // namespace zirvak
