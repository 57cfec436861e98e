// Xvfb on a display number of its own choosing, and openbox managing its windows, for the whole
// test program; DISPLAY and QT_QPA_PLATFORM name them for the windows that follow. What went
// wrong starting them fails every test: a failure in here would only skip them, and skipped
// tests pass the suite.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cli_runner.h"
#include "player_fixtures.h"

namespace zirvak::test {

class XDisplay : public ::testing::Environment {
public:
    XDisplay(int width, int height) : width_(width), height_(height) {}
    // Why there is no display to test on; empty when there is one.
    static std::string& Problem() {
        static std::string problem;
        return problem;
    }
    void SetUp() override { Problem() = Start(); }
    void TearDown() override {
        manager_.reset();
        server_.reset();
    }

private:
    std::string Start();

    int width_, height_;
    TempDir dir_;
    std::unique_ptr<Process> server_, manager_;
};

}  // namespace zirvak::test
