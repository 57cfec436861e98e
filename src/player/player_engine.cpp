#include "player_engine.h"

#include <utility>

#include "audio_source_factory.h"

namespace zirvak {

PlayerEngine::PlayerEngine(AudioDevice& device) : device_(device) {}

PlayerEngine::~PlayerEngine() {
    if (state_.load() != NoFile) Close();
}

uint32_t PlayerEngine::ReadBeatMarkers(int32_t buffer, BeatMarker* out) const {
    return beatMarkers_.Read(buffer, out);
}

uint32_t PlayerEngine::songLengthMs() const {
    return lengthMs_.load();
}

uint32_t PlayerEngine::runStartMs() const {
    return sampleRate_ ? uint32_t(runStartFrame_.load() * 1000 / sampleRate_) : 0;
}

void PlayerEngine::SetRunEndListener(std::function<void()> listener) {
    std::lock_guard lock(mutex_);
    runEndListener_ = std::move(listener);
}

void PlayerEngine::SetGain(double factor) {
    std::lock_guard lock(mutex_);
    gain_ = factor;
    current_.gain = factor;
    device_.SetGain(factor);
}

int32_t PlayerEngine::Open(const std::string& path, uint32_t startMs, uint32_t endMs) {
    Close();
    // Opened and started outside the lock; nothing else runs meanwhile, the device being closed.
    EngineSong song;
    song.file = std::make_unique<InputFile>();
    std::string detail;
    const FileProblem problem = song.file->Open(path, &detail);
    std::optional<RunStart> run;
    if (problem == FileProblem::kNone) {
        song.source = MakeAudioSource(*song.file, startMs, endMs, gapless_);
        run = song.source->Start(std::nullopt);
    }
    Released released;  // freed once the lock is let go
    std::lock_guard lock(mutex_);
    failure_ = FileProblem::kNone;
    failureDetail_.clear();
    if (problem != FileProblem::kNone) return Refuse(problem, detail);
    song.gain = gain_;
    current_ = std::move(song);
    state_ = Stopped;
    const int32_t result = TakeRun(*run);
    if (result == kOpenFileFailed || result == kOpenNoAudio) {
        ReleaseFile(released);
        return result;
    }
    if (result != kOpenStarted) return result;  // no buffer memory: the file stays open
    return StartRun(released);
}

int32_t PlayerEngine::PrepareNext(const std::string& path, double gain) {
    CancelNext();
    if (state_ == NoFile || !gapless_) return kOpenFileFailed;
    // Opened and started outside the lock: the refills of the song that plays go on meanwhile.
    PreparedSong song;
    const PreparedRun prepared = PrepareSong(path, gain, song);
    std::lock_guard lock(mutex_);  // let go before `song`, which may hold one to free, is
    failure_ = FileProblem::kNone;
    failureDetail_.clear();
    if (prepared.problem != FileProblem::kNone) return Refuse(prepared.problem, prepared.detail);
    if (prepared.noBufferMemory) return kOpenNoBufferMemory;
    handOver_.Offer(song);
    return kOpenStarted;
}

void PlayerEngine::CancelNext() {
    PreparedSong cancelled;
    SongHandOver::Retired retired;
    // Freed once the lock is let go: a source may take a while to free what it holds.
    std::lock_guard lock(mutex_);
    handOver_.Withdraw(cancelled);
    handOver_.TakeRetired(retired);
}

bool PlayerEngine::SetNextGain(double gain) {
    std::lock_guard lock(mutex_);
    return handOver_.SetNextGain(gain);
}

bool PlayerEngine::joinPending() const {
    std::lock_guard lock(mutex_);
    return handOver_.joinPending();
}

bool PlayerEngine::nextJoins() const {
    std::lock_guard lock(mutex_);
    return NextJoinsOutput();
}

bool PlayerEngine::NextJoinsOutput() const {
    const std::optional<AudioFormat> next = handOver_.nextFormat();
    return next && device_.Takes(format_, *next);
}

EngineNews PlayerEngine::TakeNews() {
    // Asked on every tick: without a join to tell of, the news are read without the lock, so the
    // window never waits for a refill.
    EngineNews news;
    news.nearingEnd = state_ != NoFile && nearEnd_;
    if (!joinHeard_.exchange(false)) return news;
    SongHandOver::Retired retired;  // the song before the join, freed outside the lock
    std::lock_guard lock(mutex_);
    handOver_.TakeRetired(retired);
    news.joined = true;
    // Everything of the song before has been played: what is pending is the joined song's.
    const uint64_t pending = device_.pendingFrames();
    news.joinedFramesHeard = samplesAnalysed_ > pending ? samplesAnalysed_ - pending : 0;
    return news;
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
    PreparedSong undone;  // a joined song sent back to waiting, its run started again below
    SongHandOver::Retired retired;
    {
        std::lock_guard lock(mutex_);
        if (state_ == NoFile) return seekMs ? kOpenFileFailed : 0;
        UndoJoin();
        handOver_.TakeRetired(retired);
        if (current_.file->Changed()) {
            fileChanged_ = true;
            return Refuse(FileProblem::kChanged, {});
        }
        paused = seekMs && state_ == Paused;
        state_ = Stopped;
        if (handOver_.needsRestart()) handOver_.Withdraw(undone);
    }
    // The last buffer of the previous run may still be queued: take it back before the buffers
    // it points into are replaced. A reset leaves a pause in place, so a paused seek's new run
    // is queued behind it.
    if (deviceOpen_) device_.Reset();
    // Its buffers are handed back now: its run may start again (or it is let go).
    if (undone.song.source && !RestartPreparedRun(undone)) undone = {};
    Released released;  // freed once the lock is let go
    std::lock_guard lock(mutex_);
    if (undone.song.source) handOver_.Offer(undone);
    const int32_t result = SetUpRun(seekMs);
    if (result != kOpenStarted) return result;
    return StartRun(released, paused);
}

int32_t PlayerEngine::Stop() {
    SongHandOver::Retired retired;
    {
        std::lock_guard lock(mutex_);
        if (state_ == Stopped || state_ == NoFile) return 0;
        UndoJoin();
        handOver_.TakeRetired(retired);
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
    // nothing reads the buffers or the file once they are released below.
    if (deviceOpen_) {
        device_.Reset();
        device_.Close();
    }
    Released released;  // freed once the lock is let go
    std::lock_guard lock(mutex_);
    ReleaseFile(released);
}

void PlayerEngine::ReleaseFile(Released& released) {
    deviceOpen_ = false;
    devicePaused_ = false;
    handOver_.TakeAll(released.next, released.leaving, released.retired);
    joinHeard_ = false;  // of a song let go
    released.current = std::move(current_);
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

}  // namespace zirvak
