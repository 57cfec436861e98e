#include "x_display.h"

#include <stdlib.h>

#include <chrono>

#include "support/fixtures.h"
#include "support/wait_for.h"

namespace zirvak::test {

namespace {

// Far more than either takes to start on a machine busy with other work.
constexpr std::chrono::seconds kStartWithin{60};

}  // namespace

std::string XDisplay::Start() {
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                                 std::to_string(width_) + "x" + std::to_string(height_) + "x24"},
        dir_.Path("display"), dir_.Path("xvfb.log"));
    // The number, and a line break once it is all there.
    std::string written;
    if (!WaitFor(
            [&] {
                written = ReadFileText(dir_.Path("display"));
                return !written.empty() && written.back() == '\n';
            },
            kStartWithin, std::chrono::milliseconds(50)))
        return "Xvfb did not start: " + ReadFileText(dir_.Path("xvfb.log"));
    written.pop_back();
    setenv("DISPLAY", (':' + written).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The manager is there once it has named itself on the root window; one that ended before
    // that is started again.
    const bool managed = WaitFor(
        [&] {
            if (!manager_ || manager_->Wait(0) != -1)
                manager_ =
                    std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"},
                                              "", dir_.Path("openbox.log"));
            return std::system(
                       "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | "
                       "grep -q 'window id'") == 0;
        },
        kStartWithin, std::chrono::milliseconds(100));
    if (!managed) return "openbox did not start: " + ReadFileText(dir_.Path("openbox.log"));
    return {};
}

}  // namespace zirvak::test
