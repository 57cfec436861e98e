#include "sdl_audio_device.h"

#include "sdl_library.h"
#include "sdl_outputs.h"
#include "thread_priority.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zirvak {

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// What SDL is asked to keep for the output at a time, and so the period of the silent stand-in:
// about 80 ms (as a power of two frames), which the sound server holds besides. That rides out
// a machine too busy to run SDL's thread for a while, and still lets a pause be heard within
// the window's tick.
uint32_t PeriodFrames(int32_t rateHz) {
    uint32_t frames = 512;
    while (frames < 16384 && uint64_t(frames) * 1000 < uint64_t(rateHz) * 80) frames *= 2;
    return frames;
}
// The output is always stereo: a mono song sounds on both sides, and may follow a stereo one in
// the same stream.
constexpr int kOutputChannels = 2;
constexpr uint32_t kOutputFrameBytes = 2 * kOutputChannels;
// Periods of silence the output must have taken after the last buffer before what came before
// it counts as heard: more than any backend keeps queued beyond SDL.
constexpr uint64_t kDrainPeriods = 4;
// What went out last is kept for a loss: far more than an output and its server hold.
constexpr uint32_t kHistoryFrames = 65536;
constexpr auto kRetryInterval = std::chrono::seconds(1);
// An output that has not asked for sound this long while playing is lost: far longer than any
// busy machine keeps SDL's thread waiting.
constexpr auto kSilentOutputLost = std::chrono::seconds(2);
// How long before the end of the period after SDL last asked an output that went quietly (see
// KeeperLoop) stopped: a little less than measured.
constexpr auto kStoppedBeforePeriodEnd = std::chrono::milliseconds(10);
// How often the keeper looks at SDL's own idea of the device, besides the callback's.
constexpr auto kWatchInterval = std::chrono::milliseconds(250);

}  // namespace

SdlAudioDevice::SdlAudioDevice() : history_(kHistoryFrames * kOutputFrameBytes) {}

SdlAudioDevice::~SdlAudioDevice() {
    Close();
    std::lock_guard lock(sdlMutex_);
    if (sdl_ != nullptr) CloseRetired();
}

bool SdlAudioDevice::Open(const AudioFormat& format, AudioDeviceListener* listener) {
    if (open_) return false;  // opened twice: closing here could wait on a completion
    format_ = format;
    periodFrames_ = PeriodFrames(format.sampleRateHz);
    SetBufferChannels(format.channels);
    listener_ = listener;
    paused_ = false;
    started_ = false;
    lost_ = false;
    {
        std::lock_guard lock(doneMutex_);
        stopping_ = false;
        reported_ = delivered_ = 0;
    }
    {
        std::lock_guard lock(queueMutex_);
        silentFramesSinceQueued_ = 0;
        history_.Clear();
    }
    std::string why;
    {
        std::lock_guard lock(sdlMutex_);
        silent_ = !OpenOutput(why);
    }
    if (silent_) {
        {
            std::lock_guard lock(sdlMutex_);
            CloseRetired();
        }
        // No sound card, server or permission: play on in silence, paced as if we had one.
        SetStatus("silent", why.empty() ? "no sound output" : why);
    } else {
        SetStatus(CurrentDriver(), "");
    }
    {
        std::lock_guard lock(keeperMutex_);
        keeperStopping_ = false;
    }
    notifier_ = std::thread(&SdlAudioDevice::NotifierLoop, this);
    keeper_ = std::thread(&SdlAudioDevice::KeeperLoop, this);
    open_ = true;
    return true;
}

// Starts SDL's audio and opens an output; `why` says, in a person's words, why none opened.
// Under sdlMutex_.
bool SdlAudioDevice::OpenOutput(std::string& why) {
    if (sdl_ == nullptr) sdl_ = LoadSdlLibrary(why);
    if (sdl_ == nullptr) return false;
    // SDL's SIGINT and SIGTERM handlers would swallow the signals of the program around us.
    sdl_->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::vector<std::string> available;
    for (int i = 0; i < sdl_->GetNumAudioDrivers(); ++i)
        if (const char* driver = sdl_->GetAudioDriver(i)) available.emplace_back(driver);
    // The user's choice is the only one tried, as SDL itself does; otherwise each driver in
    // SDL's order, so that every failure is known, not only the last.
    const char* named = std::getenv("SDL_AUDIODRIVER");
    const std::string choice = named != nullptr ? named : "";
    std::vector<OutputAttempt> failures;
    if (!choice.empty()) {
        if (OpenDriver(nullptr, failures)) return true;
    } else {
        for (const std::string& driver : DriversToTry(available)) {
            const bool opened = OpenDriver(driver.c_str(), failures);
            sdl_->SetHint(SDL_HINT_AUDIODRIVER, nullptr);  // SDL's own choice again
            if (opened) return true;
        }
    }
    why = DescribeNoOutput(failures, choice, available);
    return false;
}

// Starts SDL's audio on `driver` (SDL's choice when null) and opens its default device, or adds
// what failed to `failures`. Under sdlMutex_.
bool SdlAudioDevice::OpenDriver(const char* driver, std::vector<OutputAttempt>& failures) {
    if (driver != nullptr) sdl_->SetHint(SDL_HINT_AUDIODRIVER, driver);
    if (sdl_->InitSubSystem(SDL_INIT_AUDIO) != 0) {
        const char* named = std::getenv("SDL_AUDIODRIVER");
        failures.push_back({driver ? driver : named ? named : "", false, sdl_->GetError()});
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = format_.sampleRateHz;
    want.format = AUDIO_S16LSB;
    want.channels = kOutputChannels;
    want.samples = uint16_t(periodFrames_.load());
    want.callback = &SdlAudioDevice::AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    SDL_AudioDeviceID device = sdl_->OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0 && retired_ != 0) {
        // Some outputs (SDL's dummy and disk ones) take one device at a time: the one before
        // is closed first after all.
        CloseRetired();
        device = sdl_->OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (device == 0) {
        const char* current = sdl_->GetCurrentAudioDriver();
        failures.push_back({current ? current : driver ? driver : "", true, sdl_->GetError()});
        sdl_->QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    sdlDevice_ = device;
    lastAskedNs_ = NowNs();
    paceNs_ = 0;
    // SDL opens devices paused and sends whole periods of silence of its own until unpaused;
    // none of ours comes before the music. A device opened again after a loss plays on.
    if (started_ && !paused_) sdl_->PauseAudioDevice(device, 0);
    return true;
}

// Under sdlMutex_. Closing waits for SDL's audio thread, so the callback has returned after it.
void SdlAudioDevice::CloseOutput() {
    CloseRetired();
    const uint32_t device = sdlDevice_.exchange(0);
    if (device == 0) return;
    sdl_->CloseAudioDevice(device);
    sdl_->QuitSubSystem(SDL_INIT_AUDIO);
}

// Under sdlMutex_. The output stops taking our buffers at once, but is closed only once the next
// one has started (or on the next close): closing blocks while the output plays out what it
// holds, and a song of another rate would wait that long in silence to be heard.
void SdlAudioDevice::RetireOutput() {
    CloseRetired();
    const uint32_t device = sdlDevice_.exchange(0);
    if (device == 0) return;
    // Paused, SDL never calls the callback again for it, and sends the server silence after
    // what it holds.
    sdl_->PauseAudioDevice(device, 1);
    retired_ = device;
}

// Under sdlMutex_.
void SdlAudioDevice::CloseRetired() {
    if (retired_ == 0) return;
    sdl_->CloseAudioDevice(retired_);
    sdl_->QuitSubSystem(SDL_INIT_AUDIO);
    retired_ = 0;
}

std::string SdlAudioDevice::CurrentDriver() const {
    const char* driver = sdl_->GetCurrentAudioDriver();
    return driver ? driver : "";
}

void SdlAudioDevice::SetStatus(const std::string& driver, const std::string& reason) {
    std::lock_guard lock(statusMutex_);
    driver_ = driver;
    reason_ = reason;
}

OutputStatus SdlAudioDevice::status() const {
    std::lock_guard lock(statusMutex_);
    // The loss is told from the flag itself, which SDL's thread sets: whoever sees it lost
    // also sees which output went away.
    const bool lost = lost_;
    return {driver_, silent_, lost ? DescribeLostOutput(driver_) : reason_, lost,
            silent_ ? std::string() : OutputName(driver_)};
}

void SdlAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    if (!open_) return;
    {
        std::lock_guard lock(queueMutex_);
        // The engine never has more than a few buffers out; one the ring cannot take is handed
        // back at once rather than left unreported.
        if (!queue_.Push(data, length, tag, gain(), bufferChannels())) ReportDone(tag);
        silentFramesSinceQueued_ = 0;
    }
    // Playback starts with the first buffer.
    if (!started_ && !paused_) {
        std::lock_guard lock(sdlMutex_);
        started_ = true;
        lastAskedNs_ = NowNs();
        if (const uint32_t device = sdlDevice_) sdl_->PauseAudioDevice(device, 0);
    }
}

void SdlAudioDevice::Pause() {
    std::lock_guard lock(sdlMutex_);
    paused_ = true;
    if (const uint32_t device = sdlDevice_) sdl_->PauseAudioDevice(device, 1);
}

void SdlAudioDevice::Resume() {
    std::lock_guard lock(sdlMutex_);
    paused_ = false;
    started_ = true;
    lastAskedNs_ = NowNs();
    if (const uint32_t device = sdlDevice_) sdl_->PauseAudioDevice(device, 0);
}

void SdlAudioDevice::AudioCallback(void* self, uint8_t* stream, int length) {
    auto* device = static_cast<SdlAudioDevice*>(self);
    // A device SDL has stopped (its output went away) still has its callback run, into
    // nothing: take nothing from the queue, and let the keeper get an output back.
    const uint32_t id = device->sdlDevice_;
    if (id != 0 && device->sdl_->GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED) {
        std::memset(stream, 0, size_t(length));
        if (!device->lost_.exchange(true)) {
            device->HandUnheardAgain(std::chrono::nanoseconds(NowNs() - device->paceNs_));
            device->keeperWake_.notify_all();
        }
        return;
    }
    // SDL's thread for the output, once: ahead of whatever keeps the machine busy.
    thread_local bool raised = false;
    if (!raised) {
        raised = true;
        RaiseToRealTime();
    }
    device->NoteAsked(NowNs(), uint32_t(length));
    device->Fill(stream, uint32_t(length));
}

// Copies queued bytes in order and hands finished buffers to the notification thread. Silence
// where nothing is queued. Runs on SDL's audio thread, or on the keeper's when silent.
void SdlAudioDevice::Fill(uint8_t* stream, uint32_t length) {
    std::lock_guard lock(queueMutex_);
    const uint32_t again = history_.CopyOut(stream, length);
    uint8_t* fresh = stream + again;
    const uint32_t room = length - again;
    const uint32_t copied = queue_.CopyOut(fresh, room, kOutputChannels, volume(),
                                           [this](int32_t tag) { ReportDone(tag); });
    if (copied < room) {
        std::memset(fresh + copied, 0, room - copied);
        silentFramesSinceQueued_ += (room - copied) / kOutputFrameBytes;
    }
    history_.Keep(fresh, room);
}

// SDL asks for a period when the output has room for it, and the room comes as the output plays,
// at a steady pace; SDL's thread may come late to it, never early. The pace is kept as the
// earliest time each request could have come, so that how much the output holds is known from it
// whenever SDL's thread was late. Follows an output whose clock runs slower than ours, and starts
// again from a request that came a whole period late (the output or the machine stalled).
void SdlAudioDevice::NoteAsked(int64_t nowNs, uint32_t length) {
    lastAskedNs_ = nowNs;
    const int64_t period =
        int64_t(length / kOutputFrameBytes) * 1000000000 / std::max(format_.sampleRateHz, 1);
    const int64_t due = paceNs_ + period;
    if (paceNs_ == 0 || nowNs < due || nowNs > due + period)
        paceNs_ = nowNs;
    else
        paceNs_ = due + (nowNs - due) / 64;
}

// The output went away with what it held still to be played: that much of what went out last is
// handed again to the output that comes next, so that it starts where the sound stopped. When SDL
// has just been asked for a period, an output and its server hold two periods less about 30 ms
// (measured through PulseAudio and through PipeWire's PulseAudio server), and they play them
// away in real time. Rather a few samples lost than one heard twice.
void SdlAudioDevice::HandUnheardAgain(std::chrono::nanoseconds sincePace) {
    constexpr int64_t kHeldBeyondTwoPeriodsNs = -31000000;
    const int64_t rate = format_.sampleRateHz;
    const int64_t unheard = 2 * int64_t(periodFrames_) +
                            (kHeldBeyondTwoPeriodsNs - sincePace.count()) * rate / 1000000000;
    if (unheard <= 0) return;
    std::lock_guard lock(queueMutex_);
    history_.HandAgain(uint64_t(unheard) * kOutputFrameBytes);
}

void SdlAudioDevice::ReportDone(int32_t tag) {
    std::lock_guard lock(doneMutex_);
    done_.push_back(tag);
    ++reported_;
    doneChanged_.notify_all();
}

void SdlAudioDevice::NotifierLoop() {
    // The refill runs from here: ahead of the machine's other work where allowed.
    RaisePriority();
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

// The keeper: plays the silent stand-in in real time, or watches the output and, once it is
// lost, tries every second to get one back.
void SdlAudioDevice::KeeperLoop() {
    std::unique_lock lock(keeperMutex_);
    while (!keeperStopping_) {
        if (silent_) {
            PlaySilently(lock);
        } else if (lost_) {
            TryToGetOutputBack(lock);
        } else {
            keeperWake_.wait_for(lock, kWatchInterval);
            lock.unlock();
            {
                std::lock_guard sdl(sdlMutex_);
                // The output before has had its time to play out: the new one is under way.
                if (started_) CloseRetired();
                const uint32_t device = sdlDevice_;
                const int64_t now = NowNs();
                if (device != 0 && sdl_->GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED &&
                    !lost_.exchange(true))
                    HandUnheardAgain(std::chrono::nanoseconds(now - paceNs_));
                // Some outputs (SDL's PipeWire one) never say that their server went away: SDL
                // just stops asking for sound. The sound stopped within a period of the last
                // time it asked; late in it, as measured through PipeWire.
                if (device != 0 && started_ && !paused_ &&
                    std::chrono::nanoseconds(now - lastAskedNs_) > kSilentOutputLost &&
                    !lost_.exchange(true))
                    HandUnheardAgain(std::chrono::nanoseconds(int64_t(periodFrames_) * 1000000000 /
                                                              std::max(format_.sampleRateHz, 1)) -
                                     kStoppedBeforePeriodEnd);
            }
            lock.lock();
        }
    }
}

void SdlAudioDevice::PlaySilently(std::unique_lock<std::mutex>& lock) {
    const auto period =
        std::chrono::microseconds(int64_t(periodFrames_) * 1000000 / format_.sampleRateHz);
    std::vector<uint8_t> nowhere(size_t(periodFrames_) * kOutputFrameBytes);
    for (auto next = Clock::now() + period; !keeperStopping_; next += period) {
        keeperWake_.wait_until(lock, next, [this] { return keeperStopping_; });
        if (keeperStopping_) break;
        if (!started_ || paused_) {
            next = Clock::now();
            continue;
        }
        lock.unlock();
        Fill(nowhere.data(), uint32_t(nowhere.size()));
        lock.lock();
    }
}

void SdlAudioDevice::TryToGetOutputBack(std::unique_lock<std::mutex>& lock) {
    while (!keeperStopping_ && lost_) {
        keeperWake_.wait_for(lock, kRetryInterval, [this] { return keeperStopping_; });
        if (keeperStopping_) return;
        lock.unlock();
        std::string why;
        std::string driver;
        bool back = false;
        {
            std::lock_guard sdl(sdlMutex_);
            CloseOutput();
            back = OpenOutput(why);
            if (back) driver = CurrentDriver();
        }
        if (back) {
            // Together, so that no one sees the new output named as the one that went away.
            std::lock_guard status(statusMutex_);
            driver_ = driver;
            reason_.clear();
            lost_ = false;
        }
        lock.lock();
    }
}

void SdlAudioDevice::Reset() {
    if (!open_) return;
    BufferQueue taken;
    {
        std::lock_guard lock(queueMutex_);
        std::swap(taken, queue_);
        history_.Clear();
    }
    while (!taken.empty()) ReportDone(taken.Pop().tag);
    // Every completion, those just reported and any already on its way, has run on return.
    std::unique_lock lock(doneMutex_);
    doneChanged_.wait(lock, [this] { return delivered_ == reported_; });
}

uint64_t SdlAudioDevice::pendingFrames() const {
    std::lock_guard lock(queueMutex_);
    return queue_.pendingFrames() + history_.pending() / kOutputFrameBytes;
}

uint32_t SdlAudioDevice::latencyMs() const {
    // The stand-in hands each period over as it is due: nothing is on its way.
    if (silent_ || format_.sampleRateHz <= 0) return 0;
    return uint32_t(uint64_t(periodFrames_) * 1000 / uint64_t(format_.sampleRateHz));
}

bool SdlAudioDevice::Takes(const AudioFormat& opened, const AudioFormat& next) const {
    return next.sampleRateHz == opened.sampleRateHz && (next.channels == 1 || next.channels == 2);
}

void SdlAudioDevice::Drain(uint32_t maxMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(maxMs);
    while (open_ && Clock::now() < deadline) {
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty() && history_.pending() == 0 &&
                (silent_ || silentFramesSinceQueued_ >= kDrainPeriods * periodFrames_))
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SdlAudioDevice::Close() {
    if (!open_) return;
    {
        std::lock_guard lock(keeperMutex_);
        keeperStopping_ = true;
        keeperWake_.notify_all();
    }
    keeper_.join();
    Reset();
    {
        std::lock_guard lock(sdlMutex_);
        RetireOutput();
    }
    {
        std::lock_guard lock(doneMutex_);
        stopping_ = true;
        doneChanged_.notify_all();
    }
    notifier_.join();
    listener_ = nullptr;
    open_ = false;
}

}  // namespace zirvak
