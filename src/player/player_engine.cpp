#include "player_engine.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zirvak {

namespace {

std::unique_ptr<uint8_t[]> AllocateZeroed(size_t bytes) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
    if (buffer) std::memset(buffer.get(), 0, bytes);
    return buffer;
}

}  // namespace

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

uint32_t PlayerEngine::clipLengthMs() const {
    if (isWave_) {
        const uint64_t frames = wav_.totalFrames();
        return sampleRate_ ? uint32_t(frames * 1000 / sampleRate_) : 0;
    }
    return clip_.endMs - clip_.startMs;
}

uint32_t PlayerEngine::songLengthMs() const {
    if (isWave_) return clipLengthMs();
    return clip_.endMs;
}

uint32_t PlayerEngine::runStartMs() const {
    return sampleRate_ ? uint32_t(runStartFrame_ * 1000 / sampleRate_) : 0;
}

int32_t PlayerEngine::Open(const std::string& path, uint32_t startMs, uint32_t endMs) {
    Close();
    std::lock_guard lock(mutex_);
    failure_ = FileProblem::kNone;
    failureDetail_.clear();
    std::string detail;
    const FileProblem problem = file_.Open(path, &detail);
    if (problem != FileProblem::kNone) return Refuse(problem, detail);
    state_ = Stopped;
    startMs_ = startMs;
    endMs_ = endMs;
    isWave_ = LooksLikeWav(file_);
    const int32_t result = SetUpRun();
    if (result == kOpenFileFailed || result == kOpenNoAudio) {
        ReleaseFile();
        return result;
    }
    if (result != kOpenStarted) return result;  // no buffer memory: the file stays open
    return StartRun();
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
        if (file_.Changed()) {
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
    seekMs_ = seekMs;
    const int32_t result = SetUpRun();
    seekMs_.reset();
    if (result != kOpenStarted) return result;
    return StartRun(paused);
}

int32_t PlayerEngine::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == Stopped || state_ == NoFile) return 0;
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
    mpeg_.walk.reset();
    mpeg_.bounds = {};
    mpeg_.scan = {};
    decoder_.reset();
    wavScratch_.reset();
    outputBuffers_[0].reset();
    outputBuffers_[1].reset();
    outputBufferBytes_ = 0;
    file_.Close();
    headers_ = {};
    ResetRunFields();
    isWave_ = false;
    framesPerBuffer_ = kFramesPerBuffer;
    audioBytes_ = lastBufferIndex_ = startMs_ = endMs_ = 0;
    sampleRate_ = 0;
    channels_ = 0;
    outputBytesPerFrame_ = 0;
    clip_ = {};
    wav_ = {};
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
    wavStartFrame_ = 0;
    samplesAnalysed_ = 0;
    endReached_ = false;
    fileChanged_ = false;
    sourceEnded_ = false;
}

// Ends the run here, the buffer queued last still sounding: nothing more is queued.
void PlayerEngine::EndRun() {
    lastBufferIndex_ = buffersQueued_;
    state_ = Stopped;
    endReached_ = true;
    endedByItself_ = true;
    if (buffersOut_ == 0) runFinished_ = true;
}

// True when this run may read no more of the file: it changed on disk, or a read came short.
bool PlayerEngine::SourceEnded() {
    if (!sourceEnded_ && file_.Changed()) sourceEnded_ = true;
    if (sourceEnded_) fileChanged_ = true;
    return sourceEnded_;
}

int32_t PlayerEngine::SetUpRun() {
    ResetRunFields();
    return isWave_ ? SetUpWave() : SetUpMpeg();
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
    const uint64_t before = runStartFrame_ + samplesAnalysed_;
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
    samplesAnalysed_ += h.length / (uint32_t(channels_) * 2);
    ++buffersOut_;
    device_.Write(h.data, h.length, current);
}

int32_t PlayerEngine::Refill() {
    return isWave_ ? RefillWave() : RefillMpeg();
}

// --- WAV ---

int32_t PlayerEngine::SetUpWave() {
    if (!outputBuffers_[0]) {
        std::string reason;
        const FileProblem problem = ReadWavHeader(file_, wav_, &reason);
        if (problem != FileProblem::kNone) return Refuse(problem, reason);
        channels_ = wav_.channels;
        sampleRate_ = wav_.sampleRateHz;
        // Each chunk is read (and converted to 16-bit PCM) into a buffer of our own.
        outputBuffers_[0] = AllocateZeroed(kWavChunkBytes);
        outputBuffers_[1] = AllocateZeroed(kWavChunkBytes);
        if (wav_.format != WavSampleFormat::kPcm16)
            wavScratch_ = AllocateZeroed(kWavChunkBytes / 2 * size_t(wav_.bytesPerSample));
        if (!outputBuffers_[0] || !outputBuffers_[1] ||
            (wav_.format != WavSampleFormat::kPcm16 && !wavScratch_))
            return kOpenNoBufferMemory;
        outputBufferBytes_ = kWavChunkBytes;
    }
    const uint32_t pcmFrameBytes = uint32_t(channels_) * 2;
    const uint32_t totalBytes = wav_.pcm16Bytes();
    if (seekMs_) {
        const uint64_t frame = uint64_t(*seekMs_) * sampleRate_ / 1000;
        wavStartFrame_ = std::min<uint64_t>(frame, wav_.totalFrames());
        runStartFrame_ = wavStartFrame_;
    }
    audioBytes_ = totalBytes - uint32_t(wavStartFrame_) * pcmFrameBytes;
    lastBufferIndex_ = audioBytes_ / kWavChunkBytes;
    const uint32_t length = lastBufferIndex_ == 0 ? audioBytes_ : kWavChunkBytes;
    const uint32_t got = FillWaveChunk(0, 0, length);
    if (got < length) lastBufferIndex_ = 0;
    return kOpenStarted;
}

// Reads chunk `chunk` (`length` bytes of 16-bit PCM) into output buffer `buffer` and points
// its header there. Returns the bytes read: fewer when the file ended or changed.
uint32_t PlayerEngine::FillWaveChunk(uint8_t buffer, uint32_t chunk, uint32_t length) {
    WaveHeader& h = headers_[buffer];
    uint8_t* out = outputBuffers_[buffer].get();
    const uint32_t pcmFrameBytes = uint32_t(channels_) * 2;
    uint32_t got = 0;
    if (!SourceEnded()) {
        const uint64_t firstFrame =
            wavStartFrame_ + uint64_t(chunk) * kWavChunkBytes / pcmFrameBytes;
        got = ReadWavPcm16(file_, wav_, firstFrame, length / pcmFrameBytes, out, wavScratch_.get());
        if (got < length - length % pcmFrameBytes) sourceEnded_ = fileChanged_ = true;
    }
    h = {out, got};
    return got;
}

int32_t PlayerEngine::RefillWave() {
    const uint32_t k = buffersQueued_;
    if (k == lastBufferIndex_) {
        EndRun();
        return 0;
    }
    if (k > lastBufferIndex_) return 0;
    const uint32_t length =
        k + 1 == lastBufferIndex_ ? audioBytes_ - (k + 1) * kWavChunkBytes : kWavChunkBytes;
    const uint8_t next = currentBuffer_ ^ 1;
    const uint32_t got = FillWaveChunk(next, k + 1, length);
    if (got < length) {
        // The file ended early: this chunk is the last, or, when nothing was read, the run
        // ends with the chunk already queued.
        if (got == 0) {
            EndRun();
            return 0;
        }
        lastBufferIndex_ = k + 1;
    }
    currentBuffer_ = next;
    buffersQueued_ = k + 1;
    QueueCurrent();
    return 0;
}

// --- MPEG ---

int32_t PlayerEngine::SetUpMpeg() {
    if (!decoder_) {
        decoder_ = mpeg::CreateDecoder();
        if (!decoder_) return kOpenNoBufferMemory;
        const FileProblem problem = OpenMpegStream(*decoder_, file_, mpeg_);
        if (problem != FileProblem::kNone) return Refuse(problem, {});
    } else if (!mpeg_.walk->SetUp()) {
        return Refuse(FileProblem::kNotPlayable, {});
    }
    MpegFrameWalk& walk = *mpeg_.walk;
    // Everything about the stream comes from the decoder's reading of the first frame.
    const mpeg::StreamInfo& info = walk.info();
    sampleRate_ = uint32_t(info.sampleRate);
    channels_ = info.outputChannels;
    outputBytesPerFrame_ = uint32_t(info.outputBytesPerFrame);

    outputBuffers_[0].reset();
    outputBuffers_[1].reset();
    outputBufferBytes_ = kFramesPerBuffer * outputBytesPerFrame_;
    outputBuffers_[0] = AllocateZeroed(outputBufferBytes_);
    outputBuffers_[1] = AllocateZeroed(outputBufferBytes_);
    if (!outputBuffers_[0] || !outputBuffers_[1]) return kOpenNoBufferMemory;

    ClipInput in;
    in.slotCount = mpeg_.playableSlots();
    in.audioFrames = mpeg_.audioFrames();
    in.frameMs = float(mpeg_.frameMs());
    in.startMs = seekMs_ ? *seekMs_ : startMs_;
    in.endMs = endMs_;
    clip_ = PlanClip(in);
    framesPerBuffer_ = clip_.framesPerBuffer;
    lastBufferIndex_ = clip_.lastBufferIndex;

    // Position at the start frame; the nine frames before it prime the decoder.
    uint8_t* buffer = outputBuffers_[0].get();
    uint32_t priming = clip_.startFrame;
    if (priming > 9) {
        for (uint32_t i = 0; i < clip_.startFrame - 9; ++i) walk.SkipNext();
        priming = 9;
    }
    DecodeFrames(buffer, priming);
    const uint32_t decoded = DecodeFrames(buffer, framesPerBuffer_);
    // A file that ends early (it shrank since it was scanned) plays what there is.
    if (decoded < framesPerBuffer_) lastBufferIndex_ = 0;

    // The clip may begin inside a frame: start the first buffer there, on a sample frame.
    const uint32_t blockAlign = uint32_t(channels_) * 2;
    const uint64_t startByte = BytePosition(clip_.startMs, sampleRate_, channels_);
    const uint64_t framesBefore = uint64_t(clip_.startFrame) * outputBytesPerFrame_;
    uint32_t offset = startByte > framesBefore ? uint32_t(startByte - framesBefore) : 0;
    offset = std::min(offset, decoded * outputBytesPerFrame_);
    offset -= offset % blockAlign;
    uint32_t length = decoded * outputBytesPerFrame_ - offset;
    // A clip of one buffer ends where the clip ends, as any last buffer does.
    if (lastBufferIndex_ == 0 && !clip_.toStreamEnd)
        length = BytesToClipEnd(framesBefore + offset, length);
    headers_[0] = {buffer + offset, length};
    // After a seek the beats are timed from the song's start.
    if (seekMs_) runStartFrame_ = (framesBefore + offset) / blockAlign;
    return kOpenStarted;
}

// Bytes from `streamByte` (a position in the stream's PCM from its first frame) to the end of
// the clip, at most `available`, in whole sample frames.
uint32_t PlayerEngine::BytesToClipEnd(uint64_t streamByte, uint32_t available) const {
    const int64_t end = BytePosition(clip_.endMs, sampleRate_, channels_);
    int64_t length = std::clamp<int64_t>(end - int64_t(streamByte), 0, available);
    length -= length % (int64_t(channels_) * 2);
    return uint32_t(length);
}

// Decodes up to `count` slots into `buffer`, and returns how many the stream still had. A slot
// that yields no sound (a refused frame, a frame lost to damage, or one whose bit reservoir is
// not complete yet) is silent.
uint32_t PlayerEngine::DecodeFrames(uint8_t* buffer, uint32_t count) {
    MpegFrameWalk& walk = *mpeg_.walk;
    uint32_t j = 0;
    for (; j < count && !sourceEnded_ && !walk.AtEnd(); ++j) {
        uint8_t* slot = buffer + size_t(j) * outputBytesPerFrame_;
        std::memset(slot, 0, outputBytesPerFrame_);
        walk.DecodeNext(slot);
    }
    if (walk.sourceCameShort()) sourceEnded_ = fileChanged_ = true;
    return j;
}

int32_t PlayerEngine::RefillMpeg() {
    const uint32_t k = buffersQueued_;
    if (k >= lastBufferIndex_) {
        if (k == lastBufferIndex_) EndRun();
        return 0;
    }
    const bool last = k + 1 == lastBufferIndex_;
    const uint8_t next = currentBuffer_ ^ 1;
    uint8_t* buffer = outputBuffers_[next].get();
    uint32_t frames = framesPerBuffer_;
    if (last) {
        // The last buffer: the frames that remain, and the bytes up to the end of the clip.
        std::memset(buffer, 0, outputBufferBytes_);
        const int64_t remaining =
            int64_t(clip_.endFrame) - clip_.startFrame - int64_t(framesPerBuffer_) * (k + 1) + 1;
        frames = uint32_t(std::clamp<int64_t>(remaining, 0, int64_t(framesPerBuffer_)));
    }
    const uint32_t decoded = SourceEnded() ? 0 : DecodeFrames(buffer, frames);
    uint32_t length = decoded * outputBytesPerFrame_;
    if (decoded < frames) {
        // The stream ended early (the file shrank or changed): this buffer is the last, or,
        // when it got nothing, the run ends with the buffer already queued.
        if (decoded == 0) {
            EndRun();
            return 0;
        }
        lastBufferIndex_ = k + 1;
    } else if (last && !clip_.toStreamEnd) {
        // Its first slot holds frame startFrame + framesPerBuffer × (k + 1) of the stream.
        const uint64_t firstFrame = clip_.startFrame + uint64_t(framesPerBuffer_) * (k + 1);
        length = BytesToClipEnd(firstFrame * outputBytesPerFrame_, length);
    }
    currentBuffer_ = next;
    buffersQueued_ = k + 1;
    headers_[next] = {buffer, length};
    QueueCurrent();
    return 0;
}

}  // namespace zirvak
