#include "user_actions.h"

#include "transport_commands.h"

namespace zirvak {

namespace {

constexpr UserActionKeys kActions[] = {
    {UserAction::Open, "Ctrl+O", ""},
    {UserAction::Play, "P", "p"},
    {UserAction::Pause, "Space", "Space"},
    {UserAction::Stop, "S", "s"},
    {UserAction::Close, "Ctrl+Q", "q"},
    {UserAction::SeekForward, "Right", "Right"},
    {UserAction::SeekBack, "Left", "Left"},
    {UserAction::LongSeekForward, "Shift+Right", "Shift+Right"},
    {UserAction::LongSeekBack, "Shift+Left", "Shift+Left"},
    {UserAction::ToSongStart, "Home", "Home"},
    {UserAction::VolumeUp, "Up", "Up + ="},
    {UserAction::VolumeDown, "Down", "Down -"},
    {UserAction::NextSong, "N", "n N"},
    {UserAction::PreviousSong, "B", "b B"},
    {UserAction::ZoomIn, "Ctrl++; Ctrl+=", ""},
    {UserAction::ZoomOut, "Ctrl+-", ""},
    {UserAction::ZoomToScreen, "Ctrl+0", ""},
    {UserAction::About, "F1", ""},
    {UserAction::NextReplayGainMode, "R", "r R"},
};

bool ListHolds(std::string_view list, std::string_view key) {
    while (!list.empty()) {
        const size_t end = list.find(' ');
        if (list.substr(0, end) == key) return true;
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return false;
}

}  // namespace

std::span<const UserActionKeys> UserActionTable() {
    return kActions;
}

std::optional<UserAction> TerminalAction(std::string_view key) {
    if (key.empty()) return std::nullopt;
    for (const UserActionKeys& entry : kActions)
        if (ListHolds(entry.terminalKeys, key)) return entry.action;
    return std::nullopt;
}

bool Perform(TransportCommands& commands, UserAction action) {
    switch (action) {
        case UserAction::Open:
            commands.Run(CommandId::Open);
            return true;
        case UserAction::Play:
            commands.Run(CommandId::Play);
            return true;
        case UserAction::Pause:
            commands.Run(CommandId::Pause);
            return true;
        case UserAction::Stop:
            commands.Run(CommandId::Stop);
            return true;
        case UserAction::Close:
            commands.Run(CommandId::Close);
            return true;
        case UserAction::SeekForward:
            commands.SeekBy(TransportCommands::kSeekStepMs);
            return true;
        case UserAction::SeekBack:
            commands.SeekBy(-TransportCommands::kSeekStepMs);
            return true;
        case UserAction::LongSeekForward:
            commands.SeekBy(TransportCommands::kLongSeekStepMs);
            return true;
        case UserAction::LongSeekBack:
            commands.SeekBy(-TransportCommands::kLongSeekStepMs);
            return true;
        case UserAction::ToSongStart:
            commands.SeekTo(0);
            return true;
        case UserAction::VolumeUp:
            commands.ChangeVolume(+1);
            return true;
        case UserAction::VolumeDown:
            commands.ChangeVolume(-1);
            return true;
        case UserAction::NextSong:
            commands.Next();
            return true;
        case UserAction::PreviousSong:
            commands.Previous();
            return true;
        case UserAction::NextReplayGainMode:
            commands.NextReplayGainMode();
            return true;
        case UserAction::ZoomIn:
        case UserAction::ZoomOut:
        case UserAction::ZoomToScreen:
        case UserAction::About:
            return false;
    }
    return false;
}

}  // namespace zirvak
