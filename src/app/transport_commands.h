// The menu's five commands and the window's closing, as the player's user sees them: they drive
// the engine, name the file in the caption, keep the animation clock in step with playback and
// start and stop the animation timer. No Qt here: the file chooser, the clock, the timer and
// the window are injected, so the commands are tested on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "animation.h"
#include "player_engine.h"
#include "scene.h"

namespace zirvak {

// Command ids of the menu.
inline constexpr int32_t kCommandOpen = 32772;
inline constexpr int32_t kCommandPlay = 32773;
inline constexpr int32_t kCommandPause = 32774;
inline constexpr int32_t kCommandStop = 32775;
inline constexpr int32_t kCommandClose = 32776;
inline constexpr int32_t kCommandAbout = 16;

// What the commands need from the window around them.
class CommandHost {
public:
    // The standard Open dialog; nothing when the user cancels.
    virtual std::optional<std::string> ChooseFile() = 0;
    // Milliseconds of a steadily running clock (wrapping at 2^32).
    virtual uint32_t TickCount() = 0;
    virtual void StartTimer(uint32_t intervalMs) = 0;
    virtual void StopTimer() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Ends the program (the window closes).
    virtual void Quit() = 0;

protected:
    ~CommandHost() = default;
};

class TransportCommands {
public:
    TransportCommands(PlayerEngine& engine, Animation& animation, Scene& scene, CommandHost& host)
        : engine_(engine), animation_(animation), scene_(scene), host_(host) {}

    void Open();
    // Open with a file already chosen (named on the command line, or dropped on the window).
    // Returns the engine's result.
    int32_t OpenFile(const std::string& path);
    void Play();
    void Pause();
    void Stop();
    void Close();
    // The window is being closed by its title bar.
    void WindowClosing();
    void Run(int32_t commandId);

private:
    void RestartFlight();

    PlayerEngine& engine_;
    Animation& animation_;
    Scene& scene_;
    CommandHost& host_;
};

// The file's name without its folder.
std::string FileTitle(const std::string& path);

}  // namespace zirvak
