// The engine's runs: the buffers queued, refilled as the device hands them back and marked for
// beats, the end of a run, and a prepared song joining at it. Everything here runs under the
// engine's lock, on the owner's thread (a run's start) or the device's (every refill).
#include "player_engine.h"

namespace zirvak {

void PlayerEngine::OnBufferDone(int32_t) {
    std::lock_guard lock(mutex_);
    if (buffersOut_ > 0) --buffersOut_;
    if (handOver_.LeavingBufferPlayed()) JoinHeard();
    if (state_ == Playing) Refill();
    if (endedByItself_ && buffersOut_ == 0) FinishRun();
}

void PlayerEngine::FinishRun() {
    if (!runFinished_.exchange(true) && runEndListener_) runEndListener_();
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
    endReached_ = false;
    fileChanged_ = false;
    nearEnd_ = false;
}

// Ends the run here, the buffer queued last still sounding: nothing more is queued.
void PlayerEngine::EndRun() {
    lastBufferIndex_ = buffersQueued_;
    state_ = Stopped;
    endReached_ = true;
    endedByItself_ = true;
    if (buffersOut_ == 0) FinishRun();
    PublishNearEnd();
}

int32_t PlayerEngine::SetUpRun(std::optional<uint32_t> seekMs) {
    return TakeRun(current_.source->Start(seekMs));
}

int32_t PlayerEngine::TakeRun(const RunStart& run) {
    ResetRunFields();
    // Said before anything a reader may see, such as the end of the run.
    if (current_.source->fileChanged()) fileChanged_ = true;
    const AudioFormat format = current_.source->format();
    sampleRate_ = uint32_t(format.sampleRateHz);
    channels_ = format.channels;
    if (run.problem != FileProblem::kNone) return Refuse(run.problem, run.detail);
    if (run.noBufferMemory) return kOpenNoBufferMemory;
    headers_[0] = {run.first.data, run.first.length};
    lastBufferIndex_ = run.lastBufferIndex;
    runStartFrame_ = run.startFrame;
    queueStartFrame_ = run.startFrame;
    lengthMs_ = current_.source->lengthMs();
    return kOpenStarted;
}

bool PlayerEngine::JoinNext() {
    if (!gapless_ || fileChanged_ || !NextJoinsOutput()) return false;
    const bool nothingOut = buffersOut_ == 0;
    const std::optional<RunStart> run = handOver_.Join(current_, buffersOut_);
    if (!run) return false;
    // The change of gain and channels falls exactly on the boundary.
    WriteAs(current_);
    lastBufferIndex_ = run->lastBufferIndex;
    buffersQueued_ = 0;
    queueStartFrame_ = 0;
    queuedFrames_ = 0;
    const uint8_t slot = currentBuffer_ ^ 1;
    currentBuffer_ = slot;
    headers_[slot] = {run->first.data, run->first.length};
    QueueCurrent();
    if (nothingOut) {
        handOver_.LeftAtOnce();
        JoinHeard();
    }
    return true;
}

void PlayerEngine::JoinHeard() {
    runStartFrame_ = 0;
    samplesAnalysed_ = queuedFrames_;
    lengthMs_ = current_.source->lengthMs();
    songsJoined_.fetch_add(1);
    joinHeard_ = true;
    PublishNearEnd();
}

void PlayerEngine::UndoJoin() {
    if (!handOver_.joinPending()) return;
    handOver_.Undo(current_);
    WriteAs(current_);  // the song heard's again
    PublishNearEnd();
}

void PlayerEngine::WriteAs(const EngineSong& song) {
    device_.SetGain(song.gain);
    channels_ = song.source->format().channels;
    device_.SetBufferChannels(channels_);
}

int32_t PlayerEngine::StartRun(Released& released, bool paused) {
    if (!deviceOpen_) {
        // What the device is opened for; songs it takes as they are join it later.
        format_ = {int32_t(sampleRate_), channels_};
        if (!device_.Open(format_, this)) {
            // Nothing can play it: the file is let go, as after any failed Open.
            ReleaseFile(released);
            return kOpenNoDevice;
        }
        deviceOpen_ = true;
    }
    device_.SetBufferChannels(channels_);
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
    beatMarkers_.Publish(current, found, count);
    queuedFrames_ += h.length / (uint32_t(channels_) * 2);
    // Until a join is heard, what was handed of the song before is what the clock goes by.
    if (!handOver_.joinPending()) samplesAnalysed_ = queuedFrames_;
    ++buffersOut_;
    PublishNearEnd();
    device_.Write(h.data, h.length, current);
}

void PlayerEngine::PublishNearEnd() {
    nearEnd_ =
        !handOver_.joinPending() && lastBufferIndex_ <= buffersQueued_ + kPrepareAheadBuffers;
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
    AudioSource& source = *current_.source;
    const SourceBuffer filled = source.Fill(uint8_t((k + 1) & 1), k + 1);
    if (source.fileChanged()) fileChanged_ = true;
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
