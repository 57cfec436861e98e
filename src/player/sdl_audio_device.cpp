#include "sdl_audio_device.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zirvak {

namespace {

// Opens an output device on the audio subsystem as it is initialised; 0 on failure.
SDL_AudioDeviceID OpenOutput(const AudioFormat& format, void* userdata,
                             SDL_AudioCallback callback) {
    SDL_AudioSpec want{};
    want.freq = format.sampleRateHz;
    want.format = AUDIO_S16LSB;
    want.channels = uint8_t(format.channels);
    want.samples = 2048;
    want.callback = callback;
    want.userdata = userdata;
    SDL_AudioSpec have{};
    return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

}  // namespace

bool SdlAudioDevice::Open(const AudioFormat& format, AudioDeviceListener* listener) {
    Close();
    listener_ = listener;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        device_ = OpenOutput(format, this, &SdlAudioDevice::AudioCallback);
        if (device_ == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (device_ == 0) {
        // No sound card, server or permission: play on in silence, paced as if we had one.
        std::fprintf(stderr, "zirvak: no sound output could be opened (%s); playing silently\n",
                     SDL_GetError());
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        device_ = OpenOutput(format, this, &SdlAudioDevice::AudioCallback);
        if (device_ == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    driver_ = driver ? driver : "";
    {
        std::lock_guard lock(doneMutex_);
        stopping_ = false;
        reported_ = delivered_ = 0;
    }
    notifier_ = std::thread(&SdlAudioDevice::NotifierLoop, this);
    paused_ = false;
    started_ = false;
    return true;
}

void SdlAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    queue_.push_back({data, length, 0, tag});
    SDL_UnlockAudioDevice(device_);
    // Playback starts with the first buffer. Until then SDL keeps the device paused and sends
    // it whole periods of silence of its own; none of ours comes before the music.
    if (!started_ && !paused_) {
        started_ = true;
        SDL_PauseAudioDevice(device_, 0);
    }
}

void SdlAudioDevice::Pause() {
    if (device_ == 0) return;
    paused_ = true;
    SDL_PauseAudioDevice(device_, 1);
}

void SdlAudioDevice::Resume() {
    if (device_ == 0) return;
    paused_ = false;
    started_ = true;
    SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioDevice::AudioCallback(void* self, uint8_t* stream, int length) {
    static_cast<SdlAudioDevice*>(self)->Fill(stream, uint32_t(length));
}

// Runs on SDL's audio thread with the device locked: copies queued bytes in order and hands
// finished buffers to the notification thread. Silence where nothing is queued.
void SdlAudioDevice::Fill(uint8_t* stream, uint32_t length) {
    while (!queue_.empty()) {
        Queued& q = queue_.front();
        const uint32_t take = std::min(length, q.length - q.consumed);
        std::memcpy(stream, q.data + q.consumed, take);
        stream += take;
        length -= take;
        q.consumed += take;
        if (q.consumed < q.length) break;
        const int32_t tag = q.tag;
        queue_.pop_front();
        ReportDone(tag);
    }
    std::memset(stream, 0, length);
}

void SdlAudioDevice::ReportDone(int32_t tag) {
    std::lock_guard lock(doneMutex_);
    done_.push_back(tag);
    ++reported_;
    doneChanged_.notify_all();
}

void SdlAudioDevice::NotifierLoop() {
    std::unique_lock lock(doneMutex_);
    for (;;) {
        doneChanged_.wait(lock, [this] { return stopping_ || !done_.empty(); });
        if (done_.empty()) return;  // stopping, and nothing left to report
        const int32_t tag = done_.front();
        done_.pop_front();
        lock.unlock();
        listener_->OnBufferDone(tag);
        lock.lock();
        ++delivered_;
        doneChanged_.notify_all();
    }
}

void SdlAudioDevice::Reset() {
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    std::deque<Queued> taken;
    taken.swap(queue_);
    SDL_UnlockAudioDevice(device_);
    for (const Queued& q : taken) ReportDone(q.tag);
    // Every completion, those just reported and any already on its way, has run on return.
    std::unique_lock lock(doneMutex_);
    doneChanged_.wait(lock, [this] { return delivered_ == reported_; });
}

void SdlAudioDevice::Close() {
    if (device_ == 0) return;
    Reset();
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    {
        std::lock_guard lock(doneMutex_);
        stopping_ = true;
        doneChanged_.notify_all();
    }
    notifier_.join();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    listener_ = nullptr;
}

}  // namespace zirvak
