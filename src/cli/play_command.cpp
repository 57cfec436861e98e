// zirvak-cli play: plays a file through the sound card with a progress line that updates in
// place. Keys: space pauses and resumes, s stops, p plays, q quits.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "commands.h"
#include "open_errors.h"
#include "player_engine.h"
#include "sdl_audio_device.h"

namespace zirvak::cli {

namespace {

constexpr std::chrono::milliseconds kTick{75};

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
    // The key pressed since the last call, or 0.
    int ReadKey() const {
        if (!active_) return 0;
        pollfd p{STDIN_FILENO, POLLIN, 0};
        unsigned char c = 0;
        if (poll(&p, 1, 0) > 0 && read(STDIN_FILENO, &c, 1) == 1) return c;
        return 0;
    }

private:
    termios saved_{};
    bool active_ = false;
};

const char* StateName(PlayerState s) {
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

std::string Clock(uint32_t ms) {
    char text[16];
    std::snprintf(text, sizeof text, "%u:%02u", ms / 60000, ms / 1000 % 60);
    return text;
}

// The playing time as the window keeps it: wall time since the run began, less pauses.
class PlayClock {
public:
    void Start() {
        start_ = Now();
        paused_ = 0;
        pausedAt_ = 0;
    }
    void Pause() { pausedAt_ = Now(); }
    void Resume() { paused_ += Now() - pausedAt_; }
    uint32_t ElapsedMs(bool isPaused) const {
        return uint32_t((isPaused ? pausedAt_ : Now()) - start_ - paused_);
    }

private:
    static int64_t Now() {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    int64_t start_ = 0;
    int64_t paused_ = 0;
    int64_t pausedAt_ = 0;
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
    SdlAudioDevice device;
    PlayerEngine engine(device);
    const int32_t result = engine.Open(path, 0, kDefaultEndMs);
    if (result != kOpenStarted) {
        std::fprintf(stderr, "zirvak-cli: %s: %s\n", path.c_str(), OpenErrorText(result));
        return 1;
    }
    const bool colour = isatty(STDOUT_FILENO) != 0;
    RawTerminal terminal;
    PlayClock clock;
    clock.Start();
    const std::string total = Clock(engine.clipLengthMs());
    int beatShown = 0;
    bool ended = false;
    while (!ended) {
        switch (terminal.ReadKey()) {
            case ' ':
                if (engine.state() == Playing)
                    clock.Pause();
                else if (engine.state() == Paused)
                    clock.Resume();
                engine.TogglePause();
                break;
            case 's':
                engine.Stop();
                break;
            case 'p':
                if (engine.state() == Paused) {
                    clock.Resume();
                    engine.TogglePause();
                } else if (engine.state() == Stopped) {
                    engine.Restart();
                    engine.ClearEndReached();
                    clock.Start();
                }
                break;
            case 'q':
                ended = true;
                break;
            default:
                break;
        }
        const PlayerState state = engine.state();
        uint32_t elapsed = std::min(clock.ElapsedMs(state == Paused), engine.clipLengthMs());
        if (state == Playing && BeatInNextTick(engine, elapsed)) beatShown = 3;
        const char* beat = beatShown > 0 ? (colour ? "\x1b[1;33m*\x1b[0m" : "*") : " ";
        std::printf("\r%s / %s  %s  %s ", Clock(elapsed).c_str(), total.c_str(), StateName(state),
                    beat);
        std::fflush(stdout);
        if (beatShown > 0) --beatShown;
        // The run is over once the engine has stopped on its own at the end and the last
        // buffer has had time to sound.
        if (state == Stopped && engine.endReached() && elapsed >= engine.clipLengthMs()) break;
        std::this_thread::sleep_for(kTick);
    }
    std::printf("\n");
    engine.Close();
    return 0;
}

}  // namespace zirvak::cli
