#include "playback_session.h"

#include <algorithm>

#include "messages.h"
#include "playable_file.h"
#include "playlist_files.h"

namespace zirvak {

PlaybackSession::PlaybackSession(PlayerEngine& engine, CommandHost& host)
    : engine_(engine),
      host_(host),
      clock_(engine),
      follower_(engine, [this](const std::string& message) { ReportFailure(message); }) {}

void PlaybackSession::UseCoverFolder(const std::string& folder) {
    coverFolder_ = folder;
    follower_.UseCoverFolder(folder);
}

int32_t PlaybackSession::OpenFiles(const std::vector<std::string>& paths,
                                   WhenNonePlays whenNonePlays) {
    ExpandedPaths expanded = ExpandPaths(paths);
    ReportSkipped(expanded.skipped);
    std::vector<std::string> files = std::move(expanded.files);
    const std::string named = paths.empty() ? std::string("nothing") : paths.front();
    if (whenNonePlays == WhenNonePlays::kKeepPlaying && engine_.state() != NoFile) {
        // The song that plays goes on until one of the new files is sure to play: those that
        // cannot are named and left out, up to the first that can.
        size_t first = 0;
        for (std::string detail; first < files.size(); ++first) {
            const FileProblem problem = CheckPlayable(files[first], &detail);
            if (problem == FileProblem::kNone) break;
            ReportFailure(DescribeFileProblem(files[first], problem, detail));
        }
        if (first == files.size()) {
            if (files.empty()) host_.ShowMessage(Words(Say::kNoPlayableFilesIn, named));
            return kOpenFileFailed;
        }
        files.erase(files.begin(), files.begin() + std::ptrdiff_t(first));
    }
    queue_.Replace(std::move(files), std::move(expanded.titles));
    follower_.Forget();  // what it prepared was of the queue before
    if (queue_.empty()) {
        // A folder without a playable file: nothing to play, and the user hears why.
        engine_.Close();
        LeaveWithNoFile(Words(Say::kNoPlayableFilesIn, named));
        return kOpenFileFailed;
    }
    return PlayFrom(0, +1);
}

// Each entry of a playlist left out, named with the reason, up to a few: a damaged or foreign
// file taken for a playlist must not bury the window under a line for each of its lines.
void PlaybackSession::ReportSkipped(const std::vector<SkippedEntry>& skipped) {
    failures_ += int(std::min<size_t>(skipped.size(), INT32_MAX - size_t(failures_)));
    const size_t named = std::min(skipped.size(), kMaxSkippedNamed);
    for (size_t i = 0; i < named; ++i) host_.ShowMessage(DescribeSkippedEntry(skipped[i]));
    if (skipped.size() > named)
        host_.ShowMessage(Words(Say::kMoreEntriesSkipped, std::to_string(skipped.size() - named)));
}

// Opens song `index`, and when it cannot play, the ones after it (or before it, going back)
// until one does. A file that cannot be played leaves the queue, so the count of songs is the
// count of what plays.
int32_t PlaybackSession::PlayFrom(size_t index, int direction) {
    int32_t result = kOpenFileFailed;
    for (size_t i = index; i < queue_.size();) {
        result = OpenSong(i);
        if (result == kOpenStarted) return result;
        const bool fileAtFault = result == kOpenFileFailed || result == kOpenNoAudio;
        if (fileAtFault) queue_.Remove(i);
        if (direction > 0) {
            if (!fileAtFault) ++i;  // removing it brought the next one to `i`
        } else {
            if (i == 0) break;
            --i;
        }
    }
    queueEnded_ = true;
    return result;
}

int32_t PlaybackSession::OpenSong(size_t index) {
    queue_.MoveTo(index);
    host_.StopTimer();
    // A song prepared to follow that could not join (another format) has been read already.
    std::optional<SongInfo> prepared = follower_.Take(index);
    follower_.Forget();
    if (prepared) {
        song_ = std::move(*prepared);
    } else {
        song_ = ReadSongInfo(queue_.CurrentFile(), coverFolder_);
        song_.listedTitle = queue_.ListedTitle(song_.path);
    }
    // The gain before the song opens: it must be set before its first sample is written.
    song_.gain = SongGain(song_.tags, replayGain_, queue_.files(), index);
    engine_.SetGain(song_.gain);
    const int32_t result = engine_.Open(song_.path, 0, kDefaultEndMs);
    if (result != kOpenStarted) {
        // The previous one closed.
        LeaveWithNoFile(DescribeOpenFailure(engine_, queue_.CurrentFile(), result));
        return result;
    }
    AnnounceSong();
    StartedRun();
    StartRunClock(host_.TickCount());
    const OutputStatus output = engine_.outputStatus();
    if (output.silent) host_.ShowMessage(Words(Say::kPlaysSilently, SongName(), output.reason));
    host_.ShowStatus();
    return result;
}

void PlaybackSession::AnnounceSong() {
    host_.SetCaption(SongName());
    host_.SongStarted();
}

void PlaybackSession::CatchUp() {
    const EngineNews news = engine_.TakeNews();
    std::optional<SongInfo> joined = follower_.Follow(news, queue_);
    if (!joined) return;
    // The butterfly flies on; the song's time is what the output has played of it.
    song_ = std::move(*joined);
    AnnounceSong();
    StartedRun();
    const uint32_t tick = host_.TickCount();
    clock_.Restart(tick);
    clock_.MoveTo(tick,
                  uint32_t(news.joinedFramesHeard * 1000 / std::max(engine_.sampleRate(), 1u)));
    host_.ShowStatus();
}

void PlaybackSession::SetReplayGain(const ReplayGainSettings& settings) {
    if (settings == replayGain_) return;
    replayGain_ = settings;
    follower_.UseGain(settings, queue_);
}

void PlaybackSession::SetGapless(bool gapless) {
    if (gapless == engine_.gapless()) return;
    engine_.SetGapless(gapless);
    follower_.Reconsider();  // prepared again, or not at all
}

// Nothing plays: the window's own caption, the butterfly flying home, and the user told why.
void PlaybackSession::LeaveWithNoFile(const std::string& message) {
    song_ = {};
    host_.SetCaption(kWindowTitle);
    host_.StartTimer(PlaybackClock::kTickMs);
    ReportFailure(message);
}

void PlaybackSession::ReportChangedFile() {
    ReportFailure(DescribeFileProblem(queue_.CurrentFile(), FileProblem::kChanged));
}

void PlaybackSession::ReportFailure(const std::string& message) {
    ++failures_;
    host_.ShowMessage(message);
}

// The song is over (heard to its end, or sought past it): the next one plays, or the queue has
// ended and the butterfly flies home.
void PlaybackSession::EndOfSong() {
    if (engine_.fileChanged()) ReportChangedFile();
    const std::optional<size_t> next = queue_.NextIndex();
    if (next) {
        // What the sound output still holds of this song plays out while the next one opens.
        PlayFrom(*next, +1);
        return;
    }
    queueEnded_ = true;
    heldPosition_ = LengthMs();
    if (engine_.state() == Playing || engine_.state() == Paused) {
        clock_.Release(host_.TickCount());
        engine_.Stop();
    }
}

void PlaybackSession::Next() {
    const std::optional<size_t> next = queue_.NextIndex();
    if (next) PlayFrom(*next, +1);
}

void PlaybackSession::Previous() {
    const std::optional<size_t> previous = queue_.PreviousIndex(PositionMs());
    if (!previous) return;
    if (previous == queue_.current() && engine_.state() != NoFile)
        SeekTo(0);
    else
        PlayFrom(*previous, -1);
}

uint32_t PlaybackSession::LengthMs() const {
    return engine_.state() == NoFile ? 0 : engine_.songLengthMs();
}

uint32_t PlaybackSession::PositionAt(uint32_t tick) const {
    if (engine_.state() == NoFile) return 0;
    if (heldPosition_) return *heldPosition_;
    // The clock says what has been heard; what was handed to the sound output bounds it (a run
    // that ended early, the file having changed, ends there), and so does the song's end.
    return clock_.PositionAt(tick, LengthMs());
}

void PlaybackSession::SeekBy(int32_t deltaMs) {
    if (engine_.state() == NoFile) return;
    const uint32_t tick = host_.TickCount();
    const int64_t target = int64_t(PositionAt(tick)) + deltaMs;
    SeekAt(tick, uint32_t(std::clamp<int64_t>(target, 0, UINT32_MAX)));
}

void PlaybackSession::SeekTo(uint32_t positionMs) {
    if (engine_.state() == NoFile) return;
    SeekAt(host_.TickCount(), positionMs);
}

// The seek's one moment: where it starts from, and where the clock stands after it.
void PlaybackSession::SeekAt(uint32_t tick, uint32_t positionMs) {
    if (positionMs >= LengthMs()) {
        EndOfSong();
        host_.ShowStatus();
        return;
    }
    const bool wasStopped = engine_.state() == Stopped;
    if (engine_.Seek(positionMs) != kOpenStarted) {
        if (engine_.fileChanged())
            ReportChangedFile();
        else
            host_.ShowMessage(DescribeOpenFailure(engine_, queue_.CurrentFile(), kOpenFileFailed));
        return;
    }
    clock_.Release(tick);
    StartedRun();
    if (wasStopped) StartRunClock(tick);  // a stopped song takes off again, as Play does
    clock_.MoveTo(tick, engine_.runStartMs());
    ++seeks_;
    host_.ShowStatus();
}

// A run from the song's start: the time from zero, the butterfly taking off, the ticks on.
void PlaybackSession::StartRunClock(uint32_t tick) {
    clock_.Restart(tick);
    host_.RunStarted();
    host_.StartTimer(PlaybackClock::kTickMs);
}

// A run has begun from the user's hand or the queue's: its end leads on to the next song.
void PlaybackSession::StartedRun() {
    stoppedByUser_ = false;
    queueEnded_ = false;
    heldPosition_.reset();
}

void PlaybackSession::Play() {
    switch (engine_.state()) {
        case Playing:
            return;
        case Paused:
            Pause();
            break;    // resumes
        case NoFile:  // the commands ask for files first
        case Stopped:
            break;
    }
    // A stopped file, one that played to its end, or one just opened without buffer memory.
    if (engine_.state() == Stopped) {
        if (engine_.Restart() != kOpenStarted && engine_.fileChanged()) {
            ReportChangedFile();
            return;
        }
        engine_.ClearEndReached();
        StartedRun();
        StartRunClock(host_.TickCount());
    }
}

void PlaybackSession::Pause() {
    const PlayerState before = engine_.state();
    if (before != Playing && before != Paused) return;
    // The engine decides under its lock: the end of the song may have stopped it since.
    const PlayerState after = engine_.TogglePause();
    if (after == before || (after != Playing && after != Paused)) return;
    clock_.Release(host_.TickCount());
    clock_.TogglePause(host_.TickCount());
    if (after == Playing)
        host_.StartTimer(PlaybackClock::kTickMs);
    else
        host_.StopTimer();
    host_.ShowStatus();
}

void PlaybackSession::Stop() {
    if (engine_.state() == NoFile) return;
    if (!heldPosition_) heldPosition_ = PositionMs();
    stoppedByUser_ = true;
    // The timer keeps running: the butterfly sees the end and flies home.
    clock_.Release(host_.TickCount());
    engine_.Stop();
}

PlayerState PlaybackSession::PlaybackState() const {
    const PlayerState state = engine_.state();
    if (state == Stopped && engine_.endReached() && !stoppedByUser_ && !queueEnded_) return Playing;
    return state;
}

bool PlaybackSession::MusicEnded() const {
    if (engine_.state() == NoFile) return true;
    if (!engine_.endReached()) return false;
    // The end of a song with another to follow: the butterfly flies on into the next.
    return stoppedByUser_ || queueEnded_ || !queue_.NextIndex();
}

uint32_t PlaybackSession::ReadSoundingMarks(BeatMark* out) const {
    BeatMarker markers[kMaxBeatMarkers];
    const uint32_t count = engine_.ReadSoundingBeatMarkers(markers);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = {uint32_t(markers[i].width), uint32_t(markers[i].timeMs)};
    return count;
}

bool PlaybackSession::FollowPlayback() {
    const OutputStatus output = engine_.outputStatus();
    const bool lost = engine_.state() != NoFile && output.lost;
    if (lost && !outputLost_)
        host_.ShowOutputLost(Words(Say::kSoundStopped, SongName(), output.reason));
    // Back, or no longer wanted (nothing plays): the loss is no longer news.
    if (!lost && outputLost_)
        host_.ShowOutputBack(engine_.state() != NoFile ? Words(Say::kSoundBack, SongName()) : "");
    outputLost_ = lost;
    clock_.Follow(host_.TickCount());
    if (engine_.runFinished() && !stoppedByUser_ && !queueEnded_) EndOfSong();
    return !clock_.held();
}

}  // namespace zirvak
