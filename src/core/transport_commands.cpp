#include "transport_commands.h"

namespace zirvak {

std::string FileTitle(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void TransportCommands::Run(CommandId command) {
    switch (command) {
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
    const std::optional<std::string> path = host_.ChooseFile();
    if (!path) return;  // cancelled: whatever plays goes on playing
    OpenFile(*path);
}

int32_t TransportCommands::OpenFile(const std::string& path) {
    host_.StopTimer();
    const int32_t result = engine_.Open(path, 0, kDefaultEndMs);
    if (result != kOpenStarted) {
        // The previous file is closed: nothing plays, and the butterfly goes home.
        title_.clear();
        host_.SetCaption(kWindowTitle);
        host_.StartTimer(Animation::tickInterval);
        host_.ShowMessage(engine_.DescribeFailure(path, result) + ".");
        return result;
    }
    title_ = FileTitle(path);
    host_.SetCaption(title_);
    RestartFlight();
    const OutputStatus output = engine_.outputStatus();
    if (output.silent)
        host_.ShowMessage(title_ + " plays without sound: no sound output could be opened (" +
                          output.reason + ").");
    return result;
}

void TransportCommands::RestartFlight() {
    heldForOutput_ = false;
    animation_.RestartFlight(host_.TickCount(), scene_);
    host_.StartTimer(Animation::tickInterval);
}

void TransportCommands::Play() {
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
        engine_.Restart();
        engine_.ClearEndReached();
        RestartFlight();
    }
}

void TransportCommands::Pause() {
    const PlayerState before = engine_.state();
    if (before != Playing && before != Paused) return;
    // The engine decides under its lock: the end of the song may have stopped it since.
    const PlayerState after = engine_.TogglePause();
    if (after == before || (after != Playing && after != Paused)) return;
    ReleaseOutputHold();
    animation_.TogglePause(host_.TickCount());
    if (after == Playing)
        host_.StartTimer(Animation::tickInterval);
    else
        host_.StopTimer();
}

void TransportCommands::Stop() {
    // The timer keeps running: the butterfly sees the end and flies home.
    ReleaseOutputHold();
    engine_.Stop();
}

void TransportCommands::ReleaseOutputHold() {
    if (!heldForOutput_) return;
    animation_.TogglePause(host_.TickCount());
    heldForOutput_ = false;
}

bool TransportCommands::FollowOutput() {
    const bool lost = engine_.state() != NoFile && engine_.outputStatus().lost;
    if (lost && !outputLost_)
        host_.ShowMessage(title_ + ": the sound output was lost (" + engine_.outputStatus().reason +
                          "); trying again every second.");
    outputLost_ = lost;
    if (lost && !heldForOutput_ && engine_.state() == Playing) {
        animation_.TogglePause(host_.TickCount());
        heldForOutput_ = true;
    } else if (!lost) {
        ReleaseOutputHold();
    }
    return !heldForOutput_;
}

void TransportCommands::Close() {
    engine_.Close();
    host_.Quit();
}

void TransportCommands::WindowClosing() {
    engine_.Close();
}

}  // namespace zirvak
