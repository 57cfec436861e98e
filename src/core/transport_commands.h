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

inline constexpr const char* kWindowTitle = "Zirvak";

// Command ids, as the window's actions carry them.
enum class CommandId : int32_t {
    Open = 32772,
    Play = 32773,
    Pause = 32774,
    Stop = 32775,
    Close = 32776,
    About = 16,  // not in the menu bar: the right-click menu and F1
};

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
    // Tells the user something went wrong, in one sentence, without stopping the program.
    virtual void ShowMessage(const std::string& text) = 0;
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
    // Returns the engine's result. A file that cannot play is named in a message with the
    // reason, and the window is left with no file: caption "Zirvak", the butterfly flying home.
    int32_t OpenFile(const std::string& path);
    void Play();
    void Pause();
    void Stop();
    void Close();
    // The window is being closed by its title bar.
    void WindowClosing();
    void Run(CommandId command);

    // Called on every animation tick, before the animation moves: while the sound output is
    // lost the animation holds (false), and the user is told once per loss.
    bool FollowOutput();
    // What the flight takes for the end of the music: the engine's end, or no file at all.
    bool MusicEnded() const { return engine_.endReached() || engine_.state() == NoFile; }

private:
    void RestartFlight();
    void ReleaseOutputHold();

    PlayerEngine& engine_;
    Animation& animation_;
    Scene& scene_;
    CommandHost& host_;
    std::string title_;           // of the open file
    bool outputLost_ = false;     // as the last tick saw it
    bool heldForOutput_ = false;  // the animation clock is held for a lost output
};

// The file's name without its folder.
std::string FileTitle(const std::string& path);

}  // namespace zirvak
