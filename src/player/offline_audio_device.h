// An audio device that plays nothing in real time: every buffer is appended, in order, to a
// WAV file as it is played, and it is played when the owner delivers its completion. Used to
// render a whole run to a file as fast as it can be decoded.
//
// One thread drives it: the owner makes the engine's calls and delivers the completions on the
// same thread, so the queue needs no lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio_device.h"
#include "buffer_queue.h"
#include "pcm_file_writer.h"

namespace zirvak {

class OfflineAudioDevice final : public AudioDevice {
public:
    explicit OfflineAudioDevice(std::string path) : path_(std::move(path)) {}
    ~OfflineAudioDevice() override { Finish(); }

    bool Open(const AudioFormat& format, AudioDeviceListener* listener) override;
    void Write(const uint8_t* data, uint32_t length, int32_t tag) override;
    void Pause() override { paused_ = true; }
    void Resume() override { paused_ = false; }
    void Reset() override;
    void Close() override;
    OutputStatus status() const override { return {"file", false, {}, false, "a file"}; }

    // Plays and delivers completions, oldest first, until none is pending (the listener's
    // refills may queue more). Returns how many were delivered. A paused device delivers none.
    int DeliverCompletions(int most = INT32_MAX);
    // False when the file could not be written.
    bool ok() const { return ok_; }

    // For a queue of songs in one file: Close keeps the file open, and a later Open goes on
    // writing into it when its format is the same (one of another format is refused, and
    // otherFormat() says so). Finish then completes the file.
    void KeepFileAcrossSongs() { acrossSongs_ = true; }
    bool otherFormat() const { return otherFormat_; }
    void Finish();

private:
    std::string path_;
    PcmFileWriter writer_;
    std::vector<uint8_t> scaled_;  // a buffer with the volume and gain applied
    bool acrossSongs_ = false;
    bool fileOpen_ = false;  // the writer holds the file
    AudioFormat format_;     // of what the file holds
    bool otherFormat_ = false;
    AudioDeviceListener* listener_ = nullptr;
    BufferQueue queue_;
    bool open_ = false;
    bool paused_ = false;
    bool ok_ = true;
};

}  // namespace zirvak
