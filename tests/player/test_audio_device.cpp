#include "test_audio_device.h"

#include "volume.h"

namespace zirvak {

TestAudioDevice::~TestAudioDevice() {
    StopThread();
}

bool TestAudioDevice::Open(const AudioFormat& requested, AudioDeviceListener* listener) {
    std::lock_guard lock(mutex_);
    log += 'O';
    ++opens;
    if (refuseOpen || opens == failOpenNumber) return false;
    if (open) misuse_.push_back("opened twice");
    format = requested;
    SetBufferChannels(requested.channels);
    listener_ = listener;
    open = true;
    paused = false;
    lost_ = false;
    played_ = 0;
    return true;
}

void TestAudioDevice::Write(const uint8_t* data, uint32_t length, int32_t tag) {
    std::lock_guard lock(mutex_);
    log += 'W';
    if (!open) misuse_.push_back("a write to a closed device");
    if (queue_.size() >= 2) misuse_.push_back("a third buffer in flight");
    if (!queue_.empty() && queue_.newest().tag == tag) misuse_.push_back("one buffer queued twice");
    ++writes_;
    if (!queue_.Push(data, length, tag, gain(), bufferChannels()))
        misuse_.push_back("more buffers than a card holds");
    written.push_back({tag, data, {}, bufferChannels()});
    if (keepCopies) {
        // What the card would sound: the copy carries the volume and gain set when it was written.
        written.back().bytes.assign(data, data + length);
        ApplyGain(written.back().bytes.data(), length, volume(), gain());
    }
    changed_.notify_all();
}

void TestAudioDevice::Pause() {
    std::lock_guard lock(mutex_);
    log += 'P';
    paused = true;
}

void TestAudioDevice::Resume() {
    std::lock_guard lock(mutex_);
    log += 'R';
    paused = false;
    changed_.notify_all();
}

void TestAudioDevice::Reset() {
    {
        std::lock_guard lock(mutex_);
        log += 'X';
    }
    HandBack();
}

// Hands every queued buffer back, then waits for a completion under way on the device's thread.
void TestAudioDevice::HandBack() {
    BufferQueue taken;
    AudioDeviceListener* listener;
    {
        std::lock_guard lock(mutex_);
        std::swap(taken, queue_);
        listener = listener_;
    }
    while (!taken.empty()) listener->OnBufferDone(taken.Pop().tag);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return inFlight_ == 0; });
}

void TestAudioDevice::Close() {
    {
        std::lock_guard lock(mutex_);
        log += 'C';
        if (!open) return;
    }
    StopThread();
    HandBack();
    std::lock_guard lock(mutex_);
    open = false;
    ++closes;
}

OutputStatus TestAudioDevice::status() const {
    std::lock_guard lock(mutex_);
    OutputStatus s;
    s.driver = silentBecause.empty() ? "test" : "silent";
    s.silent = !silentBecause.empty();
    s.reason = silentBecause;
    s.lost = lost_;
    if (lost_) s.reason = "the test device lost its output";
    return s;
}

bool TestAudioDevice::CanPlay() const {
    return open && !paused && !lost_ && !queue_.empty();
}

// Plays the oldest buffer: reads all its bytes, reports it done outside the lock.
bool TestAudioDevice::PlayOldest(std::unique_lock<std::mutex>& lock) {
    if (!CanPlay()) return false;
    const BufferQueue::Entry q = queue_.Pop();
    ++inFlight_;
    AudioDeviceListener* listener = listener_;
    lock.unlock();
    uint32_t sum = 0;
    for (uint32_t i = 0; i < q.length; ++i) sum += q.data[i];
    volatile uint32_t heard = sum;
    (void)heard;
    if (onPlayed) onPlayed(q.data, q.length);
    listener->OnBufferDone(q.tag);
    lock.lock();
    --inFlight_;
    if (++played_ == loseAfter) lost_ = true;
    changed_.notify_all();
    return true;
}

bool TestAudioDevice::CompleteOldest() {
    std::unique_lock lock(mutex_);
    return PlayOldest(lock);
}

void TestAudioDevice::CompleteAll() {
    while (CompleteOldest()) {
    }
}

void TestAudioDevice::Restore() {
    std::lock_guard lock(mutex_);
    lost_ = false;
    changed_.notify_all();
}

void TestAudioDevice::Start(std::chrono::milliseconds perBuffer) {
    StopThread();
    std::lock_guard lock(mutex_);
    perBuffer_ = perBuffer;
    threadRunning_ = true;
    thread_ = std::thread(&TestAudioDevice::RunThread, this);
}

void TestAudioDevice::RunThread() {
    std::unique_lock lock(mutex_);
    while (threadRunning_) {
        changed_.wait(lock, [this] { return !threadRunning_ || CanPlay(); });
        if (!threadRunning_) break;
        if (perBuffer_.count() > 0) {
            // A buffer takes its time to play; a reset or close meanwhile cuts it short.
            const auto until = std::chrono::steady_clock::now() + perBuffer_;
            changed_.wait_until(lock, until, [this] { return !threadRunning_ || !CanPlay(); });
            if (!threadRunning_ || !CanPlay()) continue;
        }
        PlayOldest(lock);
    }
}

void TestAudioDevice::StopThread() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        threadRunning_ = false;
        changed_.notify_all();
    }
    thread_.join();
}

bool TestAudioDevice::Takes(const AudioFormat& opened, const AudioFormat& next) const {
    if (!takesMonoAndStereo) return AudioDevice::Takes(opened, next);
    return next.sampleRateHz == opened.sampleRateHz && (next.channels == 1 || next.channels == 2);
}

uint64_t TestAudioDevice::pendingFrames() const {
    std::lock_guard lock(mutex_);
    return queue_.pendingFrames();
}

size_t TestAudioDevice::queuedCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

int TestAudioDevice::played() const {
    std::lock_guard lock(mutex_);
    return played_;
}

size_t TestAudioDevice::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<std::string> TestAudioDevice::misuse() const {
    std::lock_guard lock(mutex_);
    return misuse_;
}

bool TestAudioDevice::lost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

std::vector<uint8_t> TestAudioDevice::AllBytes() const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> all;
    for (const Written& w : written) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
    return all;
}

}  // namespace zirvak
