// zirvak-cli play: plays files one after another through the sound card, with a progress line
// that updates in place. Keys act as they arrive: space pauses and resumes, s stops, p plays,
// n and b go to the next and the previous song, Left and Right move 5 s (with Shift 30 s),
// Home goes to the start, Up and Down (or + and -) change the volume, q quits. SIGINT, SIGTERM
// and SIGHUP end it as q does, with the status a shell expects (128 + signal).
//
// Everything a key does goes through the commands the window uses; this file only handles the
// terminal.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "input.h"
#include "sdl_audio_device.h"
#include "settings.h"
#include "terminal_keys.h"
#include "transport_commands.h"

namespace zirvak::cli {

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t endingSignal = 0;

void OnSignal(int sig) {
    endingSignal = sig;
}

// Catches SIGINT, SIGTERM and SIGHUP while it lives, so the player ends cleanly on them: the
// terminal restored, the sound card closed.
class EndingSignals {
public:
    EndingSignals() {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &saved_[i]);
    }
    ~EndingSignals() {
        for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    }

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction saved_[3]{};
};

// The terminal as the commands' host: no file chooser, no caption; messages go to stderr on a
// line of their own.
class TerminalHost final : public CommandHost {
public:
    bool quit = false;
    bool progressShown = false;

    std::vector<std::string> ChooseFiles() override { return {}; }
    uint32_t TickCount() override {
        using namespace std::chrono;
        return uint32_t(duration_cast<milliseconds>(Clock::now().time_since_epoch()).count());
    }
    void StartTimer(uint32_t) override {}  // the terminal ticks all the time
    void StopTimer() override {}
    void SetCaption(const std::string&) override {}
    void ShowMessage(const std::string& text) override {
        // One line, as every message of zirvak-cli: the sentence without its full stop.
        std::string line = text;
        if (!line.empty() && line.back() == '.') line.pop_back();
        if (progressShown) std::fputs("\r\x1b[K", stdout);
        std::fflush(stdout);
        std::fprintf(stderr, "zirvak-cli: %s\n", line.c_str());
    }
    // Back after a loss: said; nothing playing any more: nothing to say.
    void ShowOutputBack(const std::string& text) override {
        if (!text.empty()) ShowMessage(text);
    }
    void Quit() override { quit = true; }
};

const char* StateName(PlayerState s, bool outputLost) {
    if (outputLost && s == Playing) return "no sound output (retrying)";
    switch (s) {
        case Playing:
            return "playing";
        case Paused:
            return "paused ";
        case Stopped:
            return "stopped";
        default:
            return "no file";
    }
}

void HandleKey(const KeyPress& press, TransportCommands& commands) {
    switch (press.key) {
        case Key::Right:
            return commands.SeekBy(TransportCommands::kSeekStepMs);
        case Key::Left:
            return commands.SeekBy(-TransportCommands::kSeekStepMs);
        case Key::ShiftRight:
            return commands.SeekBy(TransportCommands::kLongSeekStepMs);
        case Key::ShiftLeft:
            return commands.SeekBy(-TransportCommands::kLongSeekStepMs);
        case Key::Home:
            return commands.SeekTo(0);
        case Key::Up:
            return commands.ChangeVolume(+1);
        case Key::Down:
            return commands.ChangeVolume(-1);
        case Key::Char:
            break;
        default:
            return;
    }
    switch (press.ch) {
        case ' ':
            return commands.Pause();
        case 's':
            return commands.Stop();
        case 'p':
            return commands.Play();
        case 'n':
        case 'N':
            return commands.Next();
        case 'b':
        case 'B':
            return commands.Previous();
        case '+':
        case '=':
            return commands.ChangeVolume(+1);
        case '-':
            return commands.ChangeVolume(-1);
        case 'q':
            return commands.Close();
        default:
            return;
    }
}

// The progress line: "1:02 / 3:40  playing  volume 80%  song 2/5  *".
void ShowProgress(TransportCommands& commands, const PlayerEngine& engine, bool beat, bool colour) {
    const char* mark = beat ? (colour ? "\x1b[1;33m*\x1b[0m" : "*") : " ";
    const auto current = commands.queue().current();
    std::printf("\r%s / %s  %s  volume %u%%  song %zu/%zu  %s\x1b[K",
                FormatTime(commands.PositionMs()).c_str(), FormatTime(commands.LengthMs()).c_str(),
                StateName(engine.state(), engine.outputStatus().lost), commands.volumePercent(),
                current ? *current + 1 : 0, commands.queue().size(), mark);
    std::fflush(stdout);
}

}  // namespace

int RunPlay(const std::vector<std::string>& paths) {
    EndingSignals signals;
    endingSignal = 0;
    SdlAudioDevice device;
    PlayerEngine engine(device);
    // The clock and the beat lookup of the window's animation; no picture to fly over.
    Animation animation(1, 1);
    TerminalHost host;
    TransportCommands commands(engine, animation, nullptr, host);
    commands.UseSettings(SettingsPath());
    if (commands.OpenFiles(paths) != kOpenStarted) return 1;  // each file said why

    const bool colour = isatty(STDOUT_FILENO) != 0;
    RawTerminal terminal;
    int beatShown = 0;
    auto nextTick = Clock::now();
    while (!host.quit && endingSignal == 0) {
        const KeyPress press = terminal.WaitForKey(nextTick);
        if (press.key != Key::None) {
            HandleKey(press, commands);
            continue;  // the next key, or the tick
        }
        if (Clock::now() < nextTick || endingSignal != 0) continue;
        nextTick += std::chrono::milliseconds(Animation::tickInterval);

        const bool moving = commands.FollowPlayback();
        if (commands.QueueEnded() && engine.state() != Playing && engine.state() != Paused) {
            engine.DrainOutput(TransportCommands::kDrainMs);  // the end is still in the card
            break;
        }
        BeatMark marks[kMaxBeatMarkers];
        const uint32_t count = commands.ReadSoundingMarks(marks);
        if (moving && engine.state() == Playing) {
            animation.Listen(host.TickCount(), {marks, count});
            if (animation.beat().beatFound) beatShown = 3;
        }
        ShowProgress(commands, engine, beatShown > 0, colour);
        host.progressShown = true;
        if (beatShown > 0) --beatShown;
    }
    std::printf("\n");
    engine.Close();
    if (endingSignal != 0) return 128 + endingSignal;
    return commands.failures() > 0 ? 1 : 0;
}

}  // namespace zirvak::cli
