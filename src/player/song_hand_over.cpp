#include "song_hand_over.h"

#include <utility>

#include "audio_source_factory.h"

namespace zirvak {

PreparedRun PrepareSong(const std::string& path, double gain, PreparedSong& song) {
    PreparedRun result;
    song = {};
    song.song.file = std::make_unique<InputFile>();
    song.song.gain = gain;
    result.problem = song.song.file->Open(path, &result.detail);
    if (result.problem != FileProblem::kNone) return result;
    song.song.source = MakeAudioSource(*song.song.file, 0, kDefaultEndMs, true);
    RunStart run = song.song.source->Start(std::nullopt);
    result.problem = run.problem;
    result.detail = run.detail;
    result.noBufferMemory = run.noBufferMemory;
    if (result.problem == FileProblem::kNone && !result.noBufferMemory) song.run = std::move(run);
    return result;
}

bool RestartPreparedRun(PreparedSong& song) {
    RunStart run = song.song.source->Start(std::nullopt);
    if (run.problem != FileProblem::kNone || run.noBufferMemory) return false;
    song.run = std::move(run);
    return true;
}

std::optional<AudioFormat> SongHandOver::nextFormat() const {
    if (!prepared()) return std::nullopt;
    return next_.song.source->format();
}

bool SongHandOver::SetNextGain(double gain) {
    if (!prepared()) return false;
    next_.song.gain = gain;
    return true;
}

std::optional<RunStart> SongHandOver::Join(EngineSong& current, uint32_t buffersOut) {
    if (joinPending() || !next_.run) return std::nullopt;
    std::optional<RunStart> run = std::move(next_.run);
    leaving_ = std::move(current);
    leavingBuffersOut_ = buffersOut;
    current = std::move(next_.song);
    next_ = {};
    return run;
}

bool SongHandOver::LeavingBufferPlayed() {
    // Buffers come back in the order they were written: the song before's come first.
    if (leavingBuffersOut_ > 0 && --leavingBuffersOut_ == 0) {
        Retire(leaving_);
        return true;
    }
    return false;
}

void SongHandOver::LeftAtOnce() {
    leavingBuffersOut_ = 0;
    Retire(leaving_);
}

void SongHandOver::Retire(EngineSong& song) {
    std::swap(retired_[0], retired_[1]);
    retired_[0] = std::move(song);
    song = {};
}

void SongHandOver::Undo(EngineSong& current) {
    if (!joinPending()) return;
    // The joined song is the one to follow; one prepared after it goes.
    if (prepared()) Retire(next_.song);
    // The joined song's buffers stay valid until the reset that follows hands them back.
    next_.song = std::move(current);
    next_.run.reset();
    current = std::move(leaving_);
    leaving_ = {};
    leavingBuffersOut_ = 0;
}

void SongHandOver::TakeAll(PreparedSong& next, EngineSong& leaving, Retired& retired) {
    std::swap(next_, next);
    std::swap(leaving_, leaving);
    std::swap(retired_, retired);
    leavingBuffersOut_ = 0;
}

}  // namespace zirvak
