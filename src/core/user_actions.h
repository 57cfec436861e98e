// What a person can ask of the player, and the keys that ask it in the window and in the
// terminal player: one table for both, so a key means the same wherever it is pressed.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace zirvak {

class TransportCommands;

enum class UserAction {
    Open,
    Play,
    Pause,  // or resume
    Stop,
    Close,
    SeekForward,
    SeekBack,
    LongSeekForward,
    LongSeekBack,
    ToSongStart,
    VolumeUp,
    VolumeDown,
    NextSong,
    PreviousSong,
    ZoomIn,
    ZoomOut,
    ZoomToScreen,
    About,
    NextReplayGainMode,  // off, track, album, auto, off...
};

struct UserActionKeys {
    UserAction action;
    // The window's keys as key sequences are written ("Ctrl+O", "Shift+Right"), several
    // separated by "; "; empty: not a key in the window.
    std::string_view windowKeys;
    // The terminal's keys, separated by spaces: a character as it is typed ("p", "+"), or
    // "Space", "Up", "Down", "Left", "Right", "Shift+Left", "Shift+Right", "Home"; empty: the
    // terminal player has no such key.
    std::string_view terminalKeys;
};

std::span<const UserActionKeys> UserActionTable();

// The action a terminal key (named as in the table) asks for, if any.
std::optional<UserAction> TerminalAction(std::string_view key);

// Carries out an action on the player. The zoom and About belong to the window: they do
// nothing here, and false says so.
bool Perform(TransportCommands& commands, UserAction action);

}  // namespace zirvak
