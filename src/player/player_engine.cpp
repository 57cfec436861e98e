#include "player_engine.h"

#include <algorithm>

#include "audio_source_factory.h"

namespace zirvak {

PlayerEngine::PlayerEngine(AudioDevice& device) : device_(device) {}

PlayerEngine::~PlayerEngine() {
    if (state_.load() != NoFile) Close();
}

// The lists are a sequence lock made of atomics alone: a field written after a list's sequence
// number turned odd is stored with release, so a reader that loads it (with acquire) sees the odd
// number, or a later one, when it looks again.
uint32_t PlayerEngine::ReadBeatMarkers(int32_t buffer, BeatMarker* out) const {
    const size_t b = size_t(buffer & 1);
    const auto& list = beatMarkers_[b];
    constexpr auto acquire = std::memory_order_acquire;
    // A refill writes a list in a few microseconds: a reader that meets one reads again.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const uint32_t before = beatSequence_[b].load(acquire);
        if (before & 1) continue;
        const uint32_t count = std::min(beatCount_[b].load(acquire), kMaxBeatMarkers);
        for (uint32_t i = 0; i < count; ++i) {
            out[i].value = list[i][0].load(acquire);
            out[i].width = list[i][1].load(acquire);
            out[i].timeMs = list[i][2].load(acquire);
        }
        if (beatSequence_[b].load(std::memory_order_relaxed) == before) return count;
    }
    return 0;
}

uint32_t PlayerEngine::songLengthMs() const {
    return lengthMs_.load();
}

uint32_t PlayerEngine::runStartMs() const {
    return sampleRate_ ? uint32_t(runStartFrame_.load() * 1000 / sampleRate_) : 0;
}

void PlayerEngine::SetGain(double factor) {
    std::lock_guard lock(mutex_);
    gain_ = factor;
    device_.SetGain(factor);
}

int32_t PlayerEngine::Open(const std::string& path, uint32_t startMs, uint32_t endMs) {
    Close();
    std::lock_guard lock(mutex_);
    failure_ = FileProblem::kNone;
    failureDetail_.clear();
    std::string detail;
    const FileProblem problem = file_->Open(path, &detail);
    if (problem != FileProblem::kNone) return Refuse(problem, detail);
    state_ = Stopped;
    source_ = MakeAudioSource(*file_, startMs, endMs, gapless_);
    const int32_t result = SetUpRun(std::nullopt);
    if (result == kOpenFileFailed || result == kOpenNoAudio) {
        ReleaseFile();
        return result;
    }
    if (result != kOpenStarted) return result;  // no buffer memory: the file stays open
    return StartRun();
}

int32_t PlayerEngine::PrepareNext(const std::string& path, double gain) {
    CancelNext();
    if (state_ == NoFile || !gapless_) return kOpenFileFailed;
    // Opened and started outside the lock: the refills of the song that plays go on meanwhile.
    OtherSong song;
    song.file = std::make_unique<InputFile>();
    song.gain = gain;
    std::string detail;
    FileProblem problem = song.file->Open(path, &detail);
    std::optional<RunStart> run;
    if (problem == FileProblem::kNone) {
        song.source = MakeAudioSource(*song.file, 0, kDefaultEndMs, true);
        run = song.source->Start(std::nullopt);
        problem = run->problem;
        detail = run->detail;
    }
    std::lock_guard lock(mutex_);
    failure_ = FileProblem::kNone;
    failureDetail_.clear();
    if (problem != FileProblem::kNone) return Refuse(problem, detail);
    if (run->noBufferMemory) return kOpenNoBufferMemory;
    song.lastBufferIndex = run->lastBufferIndex;
    song.run = std::move(run);
    next_ = std::move(song);
    return kOpenStarted;
}

void PlayerEngine::CancelNext() {
    OtherSong cancelled;
    std::lock_guard lock(mutex_);
    std::swap(cancelled, next_);
    // Released once the lock is let go: a source may take a while to free what it holds.
}

bool PlayerEngine::joinPending() const {
    std::lock_guard lock(mutex_);
    return leaving_.source != nullptr;
}

bool PlayerEngine::nextJoins() const {
    std::lock_guard lock(mutex_);
    if (!next_.source) return false;
    const AudioFormat f = next_.source->format();
    return f.sampleRateHz == format_.sampleRateHz && f.channels == format_.channels;
}

int32_t PlayerEngine::Refuse(FileProblem problem, const std::string& detail) {
    failure_ = problem;
    failureDetail_ = detail;
    return problem == FileProblem::kNoAudio ? kOpenNoAudio : kOpenFileFailed;
}

int32_t PlayerEngine::Restart() {
    return StartOver(std::nullopt);
}

int32_t PlayerEngine::Seek(uint32_t positionMs) {
    return StartOver(positionMs);
}

int32_t PlayerEngine::StartOver(std::optional<uint32_t> seekMs) {
    bool paused = false;
    {
        std::lock_guard lock(mutex_);
        if (state_ == NoFile) return seekMs ? kOpenFileFailed : 0;
        UndoJoin();
        if (file_->Changed()) {
            fileChanged_ = true;
            return Refuse(FileProblem::kChanged, {});
        }
        paused = seekMs && state_ == Paused;
        state_ = Stopped;
    }
    // The last buffer of the previous run may still be queued: take it back before the buffers
    // it points into are replaced. A reset leaves a pause in place, so a paused seek's new run
    // is queued behind it.
    if (deviceOpen_) device_.Reset();
    std::lock_guard lock(mutex_);
    const int32_t result = SetUpRun(seekMs);
    if (result != kOpenStarted) return result;
    return StartRun(paused);
}

int32_t PlayerEngine::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == Stopped || state_ == NoFile) return 0;
        UndoJoin();
        // Changed before the reset: the completions it produces find the engine not playing.
        state_ = Stopped;
        endReached_ = true;
    }
    device_.Reset();
    return 0;
}

void PlayerEngine::Close() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == NoFile) return;
        UndoJoin();
        if (state_ == Playing || state_ == Paused) {
            state_ = Stopped;
            endReached_ = true;
        }
    }
    // A stopped engine may still have its last buffer queued; the reset takes it back, so
    // nothing reads the buffers or the mapping once they are released below.
    if (deviceOpen_) {
        device_.Reset();
        device_.Close();
    }
    std::lock_guard lock(mutex_);
    ReleaseFile();
}

void PlayerEngine::ReleaseFile() {
    deviceOpen_ = false;
    devicePaused_ = false;
    ReleaseSongs();
    source_.reset();
    file_->Close();
    headers_ = {};
    ResetRunFields();
    lastBufferIndex_ = 0;
    sampleRate_ = 0;
    channels_ = 0;
    format_ = {};
    state_ = NoFile;
}

PlayerState PlayerEngine::TogglePause() {
    std::lock_guard lock(mutex_);
    if (state_ == Playing) {
        device_.Pause();
        devicePaused_ = true;
        state_ = Paused;
    } else if (state_ == Paused) {
        device_.Resume();
        devicePaused_ = false;
        state_ = Playing;
    }
    return state_;
}

void PlayerEngine::OnBufferDone(int32_t) {
    std::lock_guard lock(mutex_);
    if (buffersOut_ > 0) --buffersOut_;
    // Buffers come back in the order they were written: the song before's come first.
    if (leavingBuffersOut_ > 0 && --leavingBuffersOut_ == 0) JoinHeard();
    if (state_ == Playing) Refill();
    if (endedByItself_ && buffersOut_ == 0) runFinished_ = true;
}

void PlayerEngine::ResetRunFields() {
    currentBuffer_ = 0;
    buffersQueued_ = 0;
    buffersOut_ = 0;
    endedByItself_ = false;
    runFinished_ = false;
    runStartFrame_ = 0;
    samplesAnalysed_ = 0;
    queueStartFrame_ = 0;
    queuedFrames_ = 0;
    nearingEnd_ = false;
    endReached_ = false;
    fileChanged_ = false;
}

// Ends the run here, the buffer queued last still sounding: nothing more is queued.
void PlayerEngine::EndRun() {
    lastBufferIndex_ = buffersQueued_;
    state_ = Stopped;
    endReached_ = true;
    endedByItself_ = true;
    if (buffersOut_ == 0) runFinished_ = true;
}

int32_t PlayerEngine::SetUpRun(std::optional<uint32_t> seekMs) {
    ResetRunFields();
    const RunStart run = source_->Start(seekMs);
    // Said before anything a reader may see, such as the end of the run.
    if (source_->fileChanged()) fileChanged_ = true;
    const AudioFormat format = source_->format();
    sampleRate_ = uint32_t(format.sampleRateHz);
    channels_ = format.channels;
    if (run.problem != FileProblem::kNone) return Refuse(run.problem, run.detail);
    if (run.noBufferMemory) return kOpenNoBufferMemory;
    headers_[0] = {run.first.data, run.first.length};
    lastBufferIndex_ = run.lastBufferIndex;
    runStartFrame_ = run.startFrame;
    queueStartFrame_ = run.startFrame;
    lengthMs_ = source_->lengthMs();
    return kOpenStarted;
}

bool PlayerEngine::JoinNext() {
    if (!gapless_ || !next_.source || leaving_.source || fileChanged_) return false;
    const AudioFormat format = next_.source->format();
    if (format.sampleRateHz != format_.sampleRateHz || format.channels != format_.channels)
        return false;
    if (!next_.run) {
        // Joined once and undone: its run starts again.
        RunStart run = next_.source->Start(std::nullopt);
        if (run.problem != FileProblem::kNone || run.noBufferMemory) return false;
        next_.lastBufferIndex = run.lastBufferIndex;
        next_.run = std::move(run);
    }
    const SourceBuffer first = next_.run->first;
    leaving_.file = std::move(file_);
    leaving_.source = std::move(source_);
    leaving_.gain = gain_;
    leavingBuffersOut_ = buffersOut_;
    file_ = std::move(next_.file);
    source_ = std::move(next_.source);
    gain_ = next_.gain;
    lastBufferIndex_ = next_.lastBufferIndex;
    next_ = {};
    // The device scales what is written from now on by the new song's gain: the change falls
    // exactly on the boundary.
    device_.SetGain(gain_);
    buffersQueued_ = 0;
    queueStartFrame_ = 0;
    queuedFrames_ = 0;
    nearingEnd_ = false;
    const uint8_t slot = currentBuffer_ ^ 1;
    currentBuffer_ = slot;
    headers_[slot] = {first.data, first.length};
    QueueCurrent();
    if (leavingBuffersOut_ == 0) JoinHeard();
    return true;
}

void PlayerEngine::JoinHeard() {
    leavingBuffersOut_ = 0;
    leaving_ = {};
    runStartFrame_ = 0;
    samplesAnalysed_ = queuedFrames_;
    lengthMs_ = source_->lengthMs();
    songsJoined_.fetch_add(1);
}

void PlayerEngine::UndoJoin() {
    if (!leaving_.source) return;
    // The joined song's buffers stay valid until the reset that follows hands them back.
    next_.file = std::move(file_);
    next_.source = std::move(source_);
    next_.gain = gain_;
    next_.run.reset();
    file_ = std::move(leaving_.file);
    source_ = std::move(leaving_.source);
    gain_ = leaving_.gain;
    device_.SetGain(leaving_.gain);
    leaving_ = {};
    leavingBuffersOut_ = 0;
}

void PlayerEngine::ReleaseSongs() {
    leaving_ = {};
    leavingBuffersOut_ = 0;
    next_ = {};
}

int32_t PlayerEngine::StartRun(bool paused) {
    format_ = {int32_t(sampleRate_), channels_};
    if (!deviceOpen_) {
        if (!device_.Open(format_, this)) {
            // Nothing can play it: the file is let go, as after any failed Open.
            ReleaseFile();
            return kOpenNoDevice;
        }
        deviceOpen_ = true;
    }
    QueueCurrent();
    Refill();
    if (paused) {
        if (!devicePaused_) device_.Pause();
        devicePaused_ = true;
        state_ = Paused;
        return kOpenStarted;
    }
    // A reset does not lift a pause: a run restarted after Pause (and Stop) would stay silent.
    if (devicePaused_) {
        device_.Resume();
        devicePaused_ = false;
    }
    state_ = Playing;
    return kOpenStarted;
}

// Marks the beats of the current buffer, then queues it.
void PlayerEngine::QueueCurrent() {
    const uint8_t current = currentBuffer_;
    const WaveHeader& h = headers_[current];
    BeatMarker found[kMaxBeatMarkers];
    const uint64_t before = queueStartFrame_ + queuedFrames_;
    const uint32_t count =
        MarkBeats(h.data, h.length, channels_, sampleRate_, uint32_t(before), found);
    auto& list = beatMarkers_[current];
    auto& sequence = beatSequence_[current];
    constexpr auto release = std::memory_order_release;
    sequence.fetch_add(1, std::memory_order_acq_rel);  // odd: being written
    for (uint32_t i = 0; i < kMaxBeatMarkers; ++i) {
        list[i][0].store(found[i].value, release);
        list[i][1].store(found[i].width, release);
        list[i][2].store(found[i].timeMs, release);
    }
    beatCount_[current].store(count, release);
    sequence.fetch_add(1, release);  // even: whole
    queuedFrames_ += h.length / (uint32_t(channels_) * 2);
    if (lastBufferIndex_ <= buffersQueued_ + kPrepareAheadBuffers) nearingEnd_ = true;
    // Until a join is heard, what was handed of the song before is what the clock goes by.
    if (!leaving_.source) samplesAnalysed_ = queuedFrames_;
    ++buffersOut_;
    device_.Write(h.data, h.length, current);
}

// Fills the buffer the device handed back with the run's next one and queues it; after the
// run's last buffer, ends the run.
void PlayerEngine::Refill() {
    const uint32_t k = buffersQueued_;
    if (k == lastBufferIndex_) {
        if (!JoinNext()) EndRun();
        return;
    }
    if (k > lastBufferIndex_) return;
    const uint8_t next = currentBuffer_ ^ 1;
    // The source's own buffers alternate with the run's buffers; the device's slots go on
    // alternating across a join, whatever parity the joined run starts on.
    const SourceBuffer filled = source_->Fill(uint8_t((k + 1) & 1), k + 1);
    if (source_->fileChanged()) fileChanged_ = true;
    if (filled.cameShort) {
        // The file ended early (it shrank or changed): this buffer is the last, or, when it got
        // nothing, the run ends with the buffer already queued.
        if (filled.length == 0) {
            EndRun();
            return;
        }
        lastBufferIndex_ = k + 1;
    }
    currentBuffer_ = next;
    buffersQueued_ = k + 1;
    headers_[next] = {filled.data, filled.length};
    QueueCurrent();
}

}  // namespace zirvak
