// zirvak-cli play: plays files one after another through the sound card, with a line naming each
// song as it starts and, on a terminal, a progress line that updates in place, as wide as the
// terminal allows (its width is asked on every tick, so a resized window is followed at once).
// Written to a file or a pipe, the output is the songs' lines alone. Keys act as they arrive: space
// pauses and resumes, s stops, p plays, n and b go to the next and the previous song, Left and
// Right move 5 s (with Shift 30 s), Home goes to the start, Up and Down (or + and -) change the
// volume, q quits. SIGINT, SIGTERM and SIGHUP end it as q does, with the status a shell expects
// (128 + signal).
//
// Everything a key does goes through the commands the window uses; this file only handles the
// terminal.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "ending_signals.h"
#include "input.h"
#include "play_lines.h"
#include "printable.h"
#include "raw_terminal.h"
#include "sdl_audio_device.h"
#include "settings.h"
#include "terminal_host.h"
#include "transport_commands.h"
#include "user_actions.h"

namespace zirvak::cli {

namespace {

using Clock = std::chrono::steady_clock;

const char* StateName(const StatusSnapshot& status) {
    if (!status.hasSong) return "no file";
    switch (status.playback) {
        case PlaybackStatus::Playing:
            return status.outputLost ? "no sound output (retrying)" : "playing";
        case PlaybackStatus::Paused:
            return "paused ";
        default:
            return "stopped";
    }
}

// A key's name as the table of user actions writes the terminal's keys.
std::string KeyName(const KeyPress& press) {
    switch (press.key) {
        case Key::Char:
            return press.ch == ' ' ? std::string("Space") : std::string(1, press.ch);
        case Key::Up:
            return "Up";
        case Key::Down:
            return "Down";
        case Key::Left:
            return "Left";
        case Key::Right:
            return "Right";
        case Key::ShiftLeft:
            return "Shift+Left";
        case Key::ShiftRight:
            return "Shift+Right";
        case Key::Home:
            return "Home";
        default:
            return "";
    }
}

void HandleKey(const KeyPress& press, TransportCommands& commands) {
    if (const std::optional<UserAction> action = TerminalAction(KeyName(press)))
        Perform(commands, *action);
}

// A terminal that does not say how wide it is is taken to be this wide.
constexpr size_t kUsualColumns = 80;

// The progress line: "1:02 / 3:40  playing  volume 80%  song 2/5  *", the "*" flashing on beats,
// and "replaygain album" after the song's place while a ReplayGain mode is on.
void ShowProgress(const StatusSnapshot& status, bool beat) {
    char volume[24], song[48];
    std::snprintf(volume, sizeof volume, "volume %u%%", status.volumePercent);
    std::snprintf(song, sizeof song, "song %zu/%zu", status.hasSong ? status.songIndex + 1 : 0,
                  status.songCount);
    std::vector<std::string> parts = {
        FormatTime(status.positionMs) + " / " + FormatTime(status.lengthMs), StateName(status),
        volume, song};
    if (status.replayGain != ReplayGainMode::kOff)
        parts.push_back(std::string("replaygain ") + ReplayGainModeName(status.replayGain));
    const size_t columns = TerminalColumns(STDOUT_FILENO);
    std::printf("\r%s\x1b[K",
                ProgressLine(parts, beat, columns > 0 ? columns : kUsualColumns).c_str());
    std::fflush(stdout);
}

}  // namespace

int RunPlay(const std::vector<std::string>& paths, const PlayOptions& options) {
    const EndingSignals signals;
    SdlAudioDevice device;
    PlayerEngine engine(device);
    TerminalHost host;
    TransportCommands commands(engine, host);
    host.commands = &commands;
    commands.UseSettings(SettingsPath());
    if (options.replayGain) commands.UseReplayGainMode(*options.replayGain);
    if (options.gapless) commands.UseGapless(*options.gapless);
    if (commands.OpenFiles(paths) != kOpenStarted) return 1;  // each file said why

    // Into a file or a pipe a line redrawn ten times a second is only clutter.
    const bool showProgress = isatty(STDOUT_FILENO) != 0;
    RawTerminal terminal;
    int beatShown = 0;
    auto nextTick = Clock::now();
    while (!host.quit && EndingSignals::caught() == 0) {
        const KeyPress press = terminal.WaitForKey(nextTick, commands.runEndFd());
        if (press.key != Key::None) {
            HandleKey(press, commands);
            continue;  // the next key, or the tick
        }
        commands.FollowRunEnd();  // the next song starts now, not at the tick
        if (Clock::now() < nextTick || EndingSignals::caught() != 0) continue;
        nextTick += std::chrono::milliseconds(PlaybackClock::kTickMs);

        const bool moving = commands.FollowPlayback();
        PlaybackSession& session = commands.session();
        if (session.QueueEnded() && session.state() != Playing && session.state() != Paused) {
            session.DrainOutput();  // the end is still in the card
            break;
        }
        BeatMark marks[kMaxBeatMarkers];
        const uint32_t count = session.ReadSoundingMarks(marks);
        if (moving && session.state() == Playing) {
            if (session.clock().BeatInTick(host.TickCount(), {marks, count})) beatShown = 3;
        }
        if (showProgress) {
            ShowProgress(commands.status(), beatShown > 0);
            host.progressShown = true;
        }
        if (beatShown > 0) --beatShown;
    }
    if (host.progressShown) std::printf("\n");
    commands.session().Close();
    if (const int caught = EndingSignals::caught(); caught != 0) return 128 + caught;
    return commands.session().failures() > 0 ? 1 : 0;
}

}  // namespace zirvak::cli
