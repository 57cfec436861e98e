// The sound output the engine plays through, and exactly what the engine relies on.
//
// - Open(format, listener): prepares the device for interleaved signed 16-bit little-endian
//   PCM at format.sampleRateHz with format.channels (1 or 2). Returns false when no device
//   can be opened; nothing is then open. Called only on a closed device, so it never waits for
//   a completion (the engine calls it holding the lock its completions take).
// - Write(data, length, tag): queues `length` bytes. Queued buffers play in the order written,
//   without gaps while at least one is queued. The bytes must stay valid and unchanged until
//   the buffer is reported done. A buffer of length 0 is legal and is still reported done.
// - Each written buffer is reported done exactly once, by listener->OnBufferDone(tag), when it
//   has been played (or discarded by Reset). Completions never run inside a call the engine
//   makes into the device (Open, Write, Pause, Resume, Close): they come from a thread the
//   device owns, or, for the offline and test devices, from the call their owner makes to
//   deliver them. From a completion the listener may call Write, Pause and Resume.
// - Pause() holds playback where it is; Resume() continues from there. Queued buffers stay.
// - Reset() stops at once and reports every queued buffer done; when it returns, the device
//   holds no buffer, reads none of their bytes again, and no completion is still running.
//   It must not be called from a completion.
// - Close() resets, then releases the device. Open may be called again afterwards. What the
//   output itself holds of the buffers played is still heard: the next Open does not wait for
//   it (a song of another rate follows without a pause).
// - A lost output (the sound server went away, the card was unplugged): the device then plays
//   and consumes nothing, reports no completion and keeps what is queued; status().lost says
//   so. It tries to get an output back by itself, and once it has one, playback goes on from
//   where it stopped (what the lost output had taken within its latency is played again, a
//   little less than all of it, so that nothing is heard twice). Pause, Resume, Reset and Close
//   work as ever while the output is lost.
// - status() tells which output plays, whether it is a silent stand-in for a sound card that
//   could not be opened (and why), and whether the output is lost. Any thread may ask.
// - SetVolume(percent) sets the gain (0..100 %) the device applies to the samples as it plays
//   them (ApplyVolume); it takes effect within the output's own latency. The bytes written are
//   never changed. SetGain(factor) sets the song's own gain (ReplayGain) applied with it
//   (ApplyGain) to the buffers written from then on, so that a song that follows another in
//   the same stream has its own from its first sample.
// - Takes(opened, next): buffers of `next` may be written to a device opened for `opened`
//   without opening it again, once SetBufferChannels(next.channels) says so (the SDL device,
//   always stereo, takes mono and stereo at its rate). SetBufferChannels(n) sets the channel
//   count of the buffers written from then on; Open sets it to the format opened.
// - Drain(maxMs) waits, at most maxMs, until what was written has been heard: every buffer
//   done, and what the output itself still held played out.
// - latencyMs() tells how long a sample taken out of the queue takes to be heard, as far as the
//   output lets it be known (0 for the offline device); any thread may ask.
// - pendingFrames() tells how many sample frames of what was written the output has not taken
//   yet (so while the output is lost, where it will go on from). Any thread may ask.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "audio_device_listener.h"

namespace zirvak {

struct AudioFormat {
    int32_t sampleRateHz = 0;
    int32_t channels = 0;
};

struct OutputStatus {
    std::string driver;   // "pulseaudio", "alsa", "silent", "file", "test", ...
    bool silent = false;  // no sound card could be opened: sound goes nowhere, in real time
    std::string reason;   // why the device is silent, or lost: "PulseAudio went away"
    bool lost = false;    // the output went away; the device is trying to get it back
    std::string name;     // the output in a person's words ("PulseAudio"); empty when silent
};

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    virtual bool Open(const AudioFormat& format, AudioDeviceListener* listener) = 0;
    virtual void Write(const uint8_t* data, uint32_t length, int32_t tag) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Reset() = 0;
    virtual void Close() = 0;
    virtual OutputStatus status() const = 0;
    virtual void Drain(uint32_t /*maxMs*/) {}
    virtual uint64_t pendingFrames() const { return 0; }
    virtual uint32_t latencyMs() const { return 0; }
    virtual bool Takes(const AudioFormat& opened, const AudioFormat& next) const {
        return next.sampleRateHz == opened.sampleRateHz && next.channels == opened.channels;
    }

    void SetVolume(uint32_t percent) { volumePercent_.store(percent < 100 ? percent : 100); }
    uint32_t volume() const { return volumePercent_.load(); }
    void SetGain(double factor) { gain_.store(factor >= 0 && factor <= 16 ? factor : 1.0); }
    double gain() const { return gain_.load(); }
    void SetBufferChannels(int32_t channels) { bufferChannels_.store(channels == 1 ? 1 : 2); }
    uint32_t bufferChannels() const { return bufferChannels_.load(); }

private:
    std::atomic<uint32_t> volumePercent_{100};
    std::atomic<double> gain_{1.0};
    std::atomic<uint32_t> bufferChannels_{2};
};

}  // namespace zirvak
