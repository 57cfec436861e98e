// The commands beyond the menu's: the queue, seeking and the volume.
#include <algorithm>

#include "messages.h"
#include "playable_file.h"
#include "playlist_files.h"
#include "transport_commands.h"

namespace zirvak {

void TransportCommands::UseSettings(const std::string& path) {
    settings_ = SettingsStore(path);
    engine_.SetVolume(uint32_t(settings_.settings().volumePercent));
}

void TransportCommands::UpdateSettings(const Settings& settings) {
    const Command command(*this);
    settings_.Update(settings);
    engine_.SetVolume(uint32_t(settings.volumePercent));
}

int32_t TransportCommands::OpenFiles(const std::vector<std::string>& paths,
                                     WhenNonePlays whenNonePlays) {
    const Command command(*this);
    std::vector<std::string> files = ExpandPaths(paths);
    const std::string named = paths.empty() ? std::string("nothing") : paths.front();
    if (whenNonePlays == WhenNonePlays::kKeepPlaying && engine_.state() != NoFile) {
        // The song that plays goes on until one of the new files is sure to play: those that
        // cannot are named and left out, up to the first that can.
        size_t first = 0;
        for (std::string detail; first < files.size(); ++first) {
            const FileProblem problem = CheckPlayable(files[first], &detail);
            if (problem == FileProblem::kNone) break;
            ++failures_;
            host_.ShowMessage(DescribeFileProblem(files[first], problem, detail));
        }
        if (first == files.size()) {
            if (files.empty()) host_.ShowMessage(Words(Say::kNoPlayableFilesIn, named));
            return kOpenFileFailed;
        }
        files.erase(files.begin(), files.begin() + std::ptrdiff_t(first));
    }
    queue_.Replace(std::move(files));
    if (queue_.empty()) {
        // A folder without a playable file: nothing to play, and the user hears why.
        engine_.Close();
        LeaveWithNoFile(Words(Say::kNoPlayableFilesIn, named));
        return kOpenFileFailed;
    }
    return PlayFrom(0, +1);
}

// Opens song `index`, and when it cannot play, the ones after it (or before it, going back)
// until one does. A file that cannot be played leaves the queue, so the count of songs is the
// count of what plays.
int32_t TransportCommands::PlayFrom(size_t index, int direction) {
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

int32_t TransportCommands::OpenSong(size_t index) {
    queue_.MoveTo(index);
    const std::string path = queue_.CurrentFile();
    host_.StopTimer();
    const int32_t result = engine_.Open(path, 0, kDefaultEndMs);
    if (result != kOpenStarted) {
        LeaveWithNoFile(DescribeOpenFailure(engine_, path, result));  // the previous one closed
        return result;
    }
    title_ = FileTitle(path);
    song_.Read(path);
    host_.SetCaption(title_);
    host_.SongStarted();
    StartedRun();
    StartRunClock();
    const OutputStatus output = engine_.outputStatus();
    if (output.silent) host_.ShowMessage(Words(Say::kPlaysSilently, title_, output.reason));
    host_.ShowStatus();
    return result;
}

// Nothing plays: the window's own caption, the butterfly flying home, and the user told why.
void TransportCommands::LeaveWithNoFile(const std::string& message) {
    title_.clear();
    song_.Read({});
    host_.SetCaption(kWindowTitle);
    host_.StartTimer(PlaybackClock::kTickMs);
    ++failures_;
    host_.ShowMessage(message);
}

void TransportCommands::ReportChangedFile() {
    ++failures_;
    host_.ShowMessage(DescribeFileProblem(queue_.CurrentFile(), FileProblem::kChanged));
}

// The song is over (heard to its end, or sought past it): the next one plays, or the queue has
// ended and the butterfly flies home.
void TransportCommands::EndOfSong() {
    if (engine_.fileChanged()) ReportChangedFile();
    const std::optional<size_t> next = queue_.NextIndex();
    if (next) {
        // What the sound output still holds of this song is heard first.
        if (engine_.runFinished()) engine_.DrainOutput(kDrainMs);
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

void TransportCommands::Next() {
    const Command command(*this);
    const std::optional<size_t> next = queue_.NextIndex();
    if (next) PlayFrom(*next, +1);
}

void TransportCommands::Previous() {
    const Command command(*this);
    const std::optional<size_t> previous = queue_.PreviousIndex(PositionMs());
    if (!previous) return;
    if (previous == queue_.current() && engine_.state() != NoFile)
        SeekTo(0);
    else
        PlayFrom(*previous, -1);
}

uint32_t TransportCommands::LengthMs() const {
    return engine_.state() == NoFile ? 0 : engine_.songLengthMs();
}

uint32_t TransportCommands::PositionAt(uint32_t tick) const {
    if (engine_.state() == NoFile) return 0;
    if (heldPosition_) return *heldPosition_;
    // The clock says what has been heard; what was handed to the sound output bounds it (a run
    // that ended early, the file having changed, ends there), and so does the song's end.
    return clock_.PositionAt(tick, LengthMs());
}

void TransportCommands::SeekBy(int32_t deltaMs) {
    const Command command(*this);
    if (engine_.state() == NoFile) return;
    const int64_t target = int64_t(PositionMs()) + deltaMs;
    SeekTo(uint32_t(std::clamp<int64_t>(target, 0, UINT32_MAX)));
}

void TransportCommands::SeekTo(uint32_t positionMs) {
    const Command command(*this);
    if (engine_.state() == NoFile) return;
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
    clock_.Release(host_.TickCount());
    StartedRun();
    if (wasStopped) StartRunClock();  // a stopped song takes off again, as Play does
    clock_.MoveTo(host_.TickCount(), engine_.runStartMs());
    ++seeks_;
    host_.ShowStatus();
}

void TransportCommands::ChangeVolume(int32_t steps) {
    const Command command(*this);
    SetVolume(settings_.settings().volumePercent + steps * Settings::kVolumeStep);
}

void TransportCommands::SetVolume(int32_t percent) {
    const Command command(*this);
    Settings changed = settings_.settings();
    changed.volumePercent = std::clamp(percent, 0, 100);
    UpdateSettings(changed);
    host_.ShowStatus();
}

}  // namespace zirvak
