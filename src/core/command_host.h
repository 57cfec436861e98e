// What the player needs from the window (or the terminal) around it: the file chooser, a
// steadily running clock, the animation timer, the caption and the places the user is told
// things. No Qt here, so the player is tested with a host of the tests' own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zirvak {

class CommandHost {
public:
    // The standard Open dialog: the files chosen, none when the user cancels.
    virtual std::vector<std::string> ChooseFiles() = 0;
    // Milliseconds of a steadily running clock (wrapping at 2^32).
    virtual uint32_t TickCount() = 0;
    virtual void StartTimer(uint32_t intervalMs) = 0;
    virtual void StopTimer() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Tells the user something went wrong, in one sentence (no full stop), without stopping
    // the program or holding up a key.
    virtual void ShowMessage(const std::string& text) = 0;
    // The sound output went away, and later came back (or nothing plays any more: no text):
    // a window shows the first until the second comes; a terminal prints both.
    virtual void ShowOutputLost(const std::string& text) { ShowMessage(text); }
    virtual void ShowOutputBack(const std::string& text) { ShowMessage(text); }
    // Ends the program (the window closes).
    virtual void Quit() = 0;
    // The user moved in the song, changed the volume, paused, or a new song began: a moment to
    // show where playback stands (the snapshot that follows says where).
    virtual void ShowStatus() {}
    // After every command and every tick: the commands' status() holds where the player
    // stands now.
    virtual void StatusChanged() {}
    // A run began from the song's start (a song opened, Play): the butterfly takes off.
    virtual void RunStarted() {}
    // A song was opened and plays: its tags and its place in the queue are current.
    virtual void SongStarted() {}

protected:
    ~CommandHost() = default;
};

}  // namespace zirvak
