#include "transport_commands.h"

namespace zirvak {

std::string FileTitle(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void TransportCommands::Run(int32_t commandId) {
    switch (commandId) {
        case kCommandOpen:
            Open();
            break;
        case kCommandPlay:
            Play();
            break;
        case kCommandPause:
            Pause();
            break;
        case kCommandStop:
            Stop();
            break;
        case kCommandClose:
            Close();
            break;
        default:
            break;
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
    if (result != kOpenStarted) return result;
    host_.SetCaption(FileTitle(path));
    RestartFlight();
    return result;
}

void TransportCommands::RestartFlight() {
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
    const PlayerState state = engine_.state();
    if (state != Playing && state != Paused) return;
    animation_.TogglePause(host_.TickCount());
    if (state == Paused)
        host_.StartTimer(Animation::tickInterval);
    else
        host_.StopTimer();
    engine_.TogglePause();
}

void TransportCommands::Stop() {
    // The timer keeps running: the butterfly sees the end and flies home.
    engine_.Stop();
}

void TransportCommands::Close() {
    engine_.Close();
    host_.Quit();
}

void TransportCommands::WindowClosing() {
    engine_.Close();
}

}  // namespace zirvak
