// The terminal player as the commands' host: no file chooser, no caption; each song that starts
// is named on stdout, messages go to stderr; both on a line of their own.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "play_lines.h"
#include "printable.h"
#include "transport_commands.h"

namespace zirvak::cli {

class TerminalHost final : public CommandHost {
public:
    const TransportCommands* commands = nullptr;  // set once the commands exist
    bool quit = false;
    bool progressShown = false;  // the progress line is on the screen, the cursor after it

    std::vector<std::string> ChooseFiles() override { return {}; }
    uint32_t TickCount() override {
        using namespace std::chrono;
        return uint32_t(
            duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
    void StartTimer(uint32_t) override {}  // the terminal ticks all the time
    void StopTimer() override {}
    void SetCaption(const std::string&) override {}
    void ShowMessage(const std::string& text) override {
        // One line, as every message of zirvak-cli: the sentence without its full stop.
        std::string line = text;
        if (!line.empty() && line.back() == '.') line.pop_back();
        ClearProgress();
        std::fprintf(stderr, "zirvak-cli: %s\n", Printable(line).c_str());
    }
    void SongStarted() override {
        ClearProgress();
        const PlayQueue& queue = commands->session().queue();
        const std::optional<size_t> place = queue.current();
        std::printf(
            "%s\n",
            SongLine(place ? *place + 1 : 0, queue.size(), commands->session().song()).c_str());
        std::fflush(stdout);
    }
    // Back after a loss: said; nothing playing any more: nothing to say.
    void ShowOutputBack(const std::string& text) override {
        if (!text.empty()) ShowMessage(text);
    }
    void Quit() override { quit = true; }

    // Takes the progress line off the screen, so what comes next starts at the margin; the
    // next tick draws it again.
    void ClearProgress() {
        if (progressShown) std::fputs("\r\x1b[K", stdout);
        progressShown = false;
        std::fflush(stdout);
    }
};

}  // namespace zirvak::cli
