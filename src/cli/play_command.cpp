// zirvak-cli play: plays a file through the sound card with a progress line that updates in
// place. Keys, handled as they arrive: space pauses and resumes, s stops, p plays, q quits.
// SIGINT, SIGTERM and SIGHUP end it as q does, with the status a shell expects (128 + signal).
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "commands.h"
#include "input.h"
#include "player_engine.h"
#include "sdl_audio_device.h"

namespace zirvak::cli {

namespace {

constexpr std::chrono::milliseconds kTick{75};
// How long the end of a song may take to leave the sound card.
constexpr uint32_t kDrainMs = 3000;

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

// Puts the terminal into single-key mode while it lives (when stdin is a terminal).
class RawTerminal {
public:
    RawTerminal() {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawTerminal() {
        if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    // Waits until `deadline` for a key; returns it at once when one comes, or 0.
    int WaitForKey(Clock::time_point deadline) const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int timeout = int(std::max<int64_t>(left.count(), 0));
        if (!active_) {
            poll(nullptr, 0, timeout);
            return 0;
        }
        pollfd p{STDIN_FILENO, POLLIN, 0};
        unsigned char c = 0;
        if (poll(&p, 1, timeout) > 0 && read(STDIN_FILENO, &c, 1) == 1) return c;
        return 0;  // the tick, or a signal
    }

private:
    termios saved_{};
    bool active_ = false;
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

std::string Minutes(uint32_t ms) {
    char text[16];
    std::snprintf(text, sizeof text, "%u:%02u", ms / 60000, ms / 1000 % 60);
    return text;
}

// The playing time as the window keeps it: wall time since the run began, less pauses; held
// while paused or stopped by the user.
class PlayClock {
public:
    void Start() {
        start_ = Clock::now();
        held_ = false;
        heldMs_ = 0;
    }
    void Hold() {
        if (!held_) heldMs_ = ElapsedMs();
        held_ = true;
    }
    void Resume() {
        if (held_) start_ = Clock::now() - std::chrono::milliseconds(heldMs_);
        held_ = false;
    }
    uint32_t ElapsedMs() const {
        if (held_) return heldMs_;
        return uint32_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
    }

private:
    Clock::time_point start_{};
    bool held_ = false;
    uint32_t heldMs_ = 0;
};

// True when the list of the sounding buffer has a beat in the next tick.
bool BeatInNextTick(const PlayerEngine& engine, uint32_t elapsedMs) {
    BeatMarker markers[kMaxBeatMarkers];
    const uint32_t count = engine.ReadBeatMarkers(engine.currentBuffer() ^ 1, markers);
    for (uint32_t i = 0; i < count; ++i) {
        const auto t = uint32_t(markers[i].timeMs);
        if (t < elapsedMs) continue;
        return t < elapsedMs + uint32_t(kTick.count());
    }
    return false;
}

}  // namespace

int RunPlay(const std::string& path) {
    EndingSignals signals;
    endingSignal = 0;
    SdlAudioDevice device;
    PlayerEngine engine(device);
    const int32_t result = engine.Open(path, 0, kDefaultEndMs);
    if (result != kOpenStarted) return Fail(engine.DescribeFailure(path, result));
    const OutputStatus output = engine.outputStatus();
    if (output.silent)
        std::fprintf(stderr, "zirvak-cli: no sound output could be opened (%s); playing silently\n",
                     output.reason.c_str());
    const bool colour = isatty(STDOUT_FILENO) != 0;
    RawTerminal terminal;
    PlayClock clock;
    clock.Start();
    const std::string total = Minutes(engine.clipLengthMs());
    int beatShown = 0;
    bool quit = false;
    bool stoppedByUser = false;
    bool outputLost = false;
    auto nextTick = Clock::now();
    while (!quit && endingSignal == 0) {
        switch (terminal.WaitForKey(nextTick)) {
            case ' ': {
                const PlayerState before = engine.state();
                // The engine decides: the end of the song may have come first.
                const PlayerState after = engine.TogglePause();
                if (before == Playing && after == Paused && !outputLost) clock.Hold();
                if (before == Paused && after == Playing && !outputLost) clock.Resume();
                break;
            }
            case 's':
                if (engine.state() == Playing || engine.state() == Paused) clock.Hold();
                engine.Stop();
                stoppedByUser = true;
                break;
            case 'p':
                if (engine.state() == Paused) {
                    if (engine.TogglePause() == Playing && !outputLost) clock.Resume();
                } else if (engine.state() == Stopped && engine.Restart() == kOpenStarted) {
                    engine.ClearEndReached();
                    clock.Start();
                    stoppedByUser = false;
                }
                break;
            case 'q':
                quit = true;
                continue;
            case 0:
                break;
            default:
                continue;  // another key: wait on for the tick
        }
        if (Clock::now() < nextTick || endingSignal != 0) continue;
        nextTick += kTick;

        const PlayerState state = engine.state();
        // While the sound output is lost nothing is heard: the clock holds.
        const bool lost = engine.outputStatus().lost;
        if (lost != outputLost && state == Playing) {
            if (lost)
                clock.Hold();
            else
                clock.Resume();
        }
        outputLost = lost;
        // What has been handed to the sound card bounds the clock: a run that ended early
        // (the file changed) ends there.
        const uint32_t handedMs =
            uint32_t(uint64_t(engine.samplesAnalysed()) * 1000 / std::max(engine.sampleRate(), 1u));
        const uint32_t elapsed = std::min({clock.ElapsedMs(), engine.clipLengthMs(), handedMs});
        if (state == Playing && BeatInNextTick(engine, elapsed)) beatShown = 3;
        const char* beat = beatShown > 0 ? (colour ? "\x1b[1;33m*\x1b[0m" : "*") : " ";
        std::printf("\r%s / %s  %s  %s \x1b[K", Minutes(elapsed).c_str(), total.c_str(),
                    StateName(state, lost), beat);
        std::fflush(stdout);
        if (beatShown > 0) --beatShown;
        // The run is over once the engine has stopped on its own at the end and the last
        // buffer has had time to sound.
        if (state == Stopped && !stoppedByUser && engine.endReached() &&
            clock.ElapsedMs() >= handedMs) {
            engine.DrainOutput(kDrainMs);  // the song's end is still in the sound card
            break;
        }
    }
    std::printf("\n");
    const bool changed = engine.fileChanged();
    engine.Close();
    if (endingSignal != 0) return 128 + endingSignal;
    if (changed) return Fail(DescribeFileProblem(path, FileProblem::kChanged));
    return 0;
}

}  // namespace zirvak::cli
