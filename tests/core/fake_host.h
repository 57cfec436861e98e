// A host for the transport commands that a test scripts: the files chosen, the clock and the
// timer, and a record of what the window would have shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "animation.h"
#include "command_host.h"

namespace zirvak::test {

struct FakeHost final : CommandHost {
    std::vector<std::string> answer;
    uint32_t now = 1000;
    bool timerOn = false, quit = false;
    uint32_t interval = 0;
    std::string caption = "Zirvak";
    std::vector<std::string> messages;
    int choices = 0;

    int statusShown = 0;
    std::vector<std::string> started;  // the caption of each song as it started
    Animation* flight = nullptr;       // takes off with each run, as the window's does
    std::vector<std::string> ChooseFiles() override { return ++choices, answer; }
    void RunStarted() override {
        if (flight) flight->RestartFlight();
    }
    void ShowStatus() override { ++statusShown; }
    void SongStarted() override { started.push_back(caption); }
    uint32_t TickCount() override { return now; }
    void StartTimer(uint32_t intervalMs) override { timerOn = true, interval = intervalMs; }
    void StopTimer() override { timerOn = false; }
    void SetCaption(const std::string& c) override { caption = c; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Quit() override { quit = true; }
};

}  // namespace zirvak::test
