#include "transport_commands.h"

#include <algorithm>
#include <cstdio>

#include "messages.h"

namespace zirvak {

std::string FileTitle(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FormatTime(uint32_t ms) {
    const uint32_t s = ms / 1000;
    char text[24];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%u:%02u", s / 60, s % 60);
    return text;
}

void TransportCommands::Run(CommandId id) {
    const Command command(*this);
    switch (id) {
        case CommandId::Open:
            Open();
            break;
        case CommandId::Play:
            Play();
            break;
        case CommandId::Pause:
            Pause();
            break;
        case CommandId::Stop:
            Stop();
            break;
        case CommandId::Close:
            Close();
            break;
        case CommandId::About:
            break;  // the window shows its About box itself
    }
}

void TransportCommands::Open() {
    const Command command(*this);
    const std::vector<std::string> paths = host_.ChooseFiles();
    if (paths.empty()) return;  // cancelled: whatever plays goes on playing
    OpenFiles(paths);
}

// A run from the song's start: the time from zero, the butterfly taking off, the ticks on.
void TransportCommands::StartRunClock() {
    clock_.Restart(host_.TickCount());
    host_.RunStarted();
    host_.StartTimer(PlaybackClock::kTickMs);
}

// A run has begun from the user's hand or the queue's: its end leads on to the next song.
void TransportCommands::StartedRun() {
    stoppedByUser_ = false;
    queueEnded_ = false;
    heldPosition_.reset();
}

void TransportCommands::Play() {
    const Command command(*this);
    switch (engine_.state()) {
        case Playing:
            return;
        case Paused:
            Pause();
            break;  // resumes
        case NoFile:
            Open();
            break;
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
        StartRunClock();
    }
}

void TransportCommands::Pause() {
    const Command command(*this);
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

void TransportCommands::Stop() {
    const Command command(*this);
    if (engine_.state() == NoFile) return;
    if (!heldPosition_) heldPosition_ = PositionMs();
    stoppedByUser_ = true;
    // The timer keeps running: the butterfly sees the end and flies home.
    clock_.Release(host_.TickCount());
    engine_.Stop();
}

void TransportCommands::TakeStatus() {
    status_ = TakeSnapshot(*this, host_.TickCount());
    host_.StatusChanged();
}

void TransportCommands::PlayOrPause() {
    const Command command(*this);
    const PlayerState state = engine_.state();
    if (state == Playing || state == Paused)
        Pause();  // toggles
    else if (state == Stopped)
        Play();
}

// With no song Play would open the file dialog: from the desktop's controls it does nothing.
void TransportCommands::PlayUnlessNoSong() {
    const Command command(*this);
    if (engine_.state() != NoFile) Play();
}

void TransportCommands::PauseIfPlaying() {
    const Command command(*this);
    if (engine_.state() == Playing) Pause();
}

PlayerState TransportCommands::PlaybackState() const {
    const PlayerState state = engine_.state();
    if (state == Stopped && engine_.endReached() && !stoppedByUser_ && !queueEnded_) return Playing;
    return state;
}

bool TransportCommands::MusicEnded() const {
    if (engine_.state() == NoFile) return true;
    if (!engine_.endReached()) return false;
    // The end of a song with another to follow: the butterfly flies on into the next.
    return stoppedByUser_ || queueEnded_ || !queue_.NextIndex();
}

uint32_t TransportCommands::ReadSoundingMarks(BeatMark* out) const {
    BeatMarker markers[kMaxBeatMarkers];
    const uint32_t count = engine_.ReadBeatMarkers(engine_.currentBuffer() ^ 1, markers);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = {uint32_t(markers[i].width), uint32_t(markers[i].timeMs)};
    return count;
}

bool TransportCommands::FollowPlayback() {
    const Command command(*this);
    const OutputStatus output = engine_.outputStatus();
    const bool lost = engine_.state() != NoFile && output.lost;
    if (lost && !outputLost_)
        host_.ShowOutputLost(Words(Say::kSoundStopped, title_, output.reason));
    // Back, or no longer wanted (nothing plays): the loss is no longer news.
    if (!lost && outputLost_)
        host_.ShowOutputBack(engine_.state() != NoFile ? Words(Say::kSoundBack, title_) : "");
    outputLost_ = lost;
    clock_.Follow(host_.TickCount());
    if (engine_.runFinished() && !stoppedByUser_ && !queueEnded_) EndOfSong();
    return !clock_.held();
}

void TransportCommands::Close() {
    engine_.Close();
    host_.Quit();
}

void TransportCommands::WindowClosing() {
    engine_.Close();
}

}  // namespace zirvak
