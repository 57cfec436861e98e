// zirvak-cli play in a terminal: keys act as soon as they are typed, and the clock on the
// progress line stops with the music.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "cli_runner.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// The last progress line written so far ("0:03 / 0:32  playing  * "), without its "\r".
std::string LastLine(const std::string& output) {
    const size_t end = output.find_last_not_of(" *\r\n\x1b[0123456789;m");
    const size_t start = output.rfind('\r', end);
    return start == std::string::npos ? output : output.substr(start + 1, end - start);
}

TEST(CliPlay, KeysActAtOnceAndTheClockStopsWithTheMusic) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    PtyCli play("play " + Quote(RepoPath("res/demo.mp3")));
    for (int i = 0; i < 100 && play.ReadFor(100).find("playing") == std::string::npos; ++i) {
    }
    ASSERT_NE(LastLine(play.ReadFor(1200)).find("playing"), std::string::npos) << play.ReadFor(0);

    play.Type("s");
    const std::string stopped = LastLine(play.ReadFor(400));
    EXPECT_NE(stopped.find("stopped"), std::string::npos) << stopped;
    EXPECT_EQ(LastLine(play.ReadFor(2200)), stopped) << "the clock went on after s";

    play.Type("p");
    EXPECT_NE(LastLine(play.ReadFor(400)).find("0:00 / 0:32  playing"), std::string::npos);

    // Keys typed ahead are all taken at once: keys that do nothing, pause, resume, and quit.
    const auto typed = std::chrono::steady_clock::now();
    play.Type(std::string(20, 'x') + "  q");
    EXPECT_EQ(play.WaitForExit(3000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - typed, std::chrono::milliseconds(500));
}

// SIGINT and SIGTERM end the player at once, whatever plays, with the status a shell expects
// and the terminal as it was.
TEST(CliPlay, SignalsEndItCleanly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        PtyCli play("play " + Quote(RepoPath("res/demo.mp3")));
        for (int i = 0; i < 100 && play.ReadFor(100).find("playing") == std::string::npos; ++i) {
        }
        ASSERT_NE(play.ReadFor(300).find("playing"), std::string::npos);
        const auto sent = std::chrono::steady_clock::now();
        kill(play.pid(), sig);
        EXPECT_EQ(play.WaitForExit(3000), 128 + sig);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
        EXPECT_TRUE(play.TerminalEchoesLines());
    }
}

}  // namespace
}  // namespace zirvak::test
