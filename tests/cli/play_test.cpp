// zirvak-cli play in a terminal: keys act as soon as they are typed, and the clock on the
// progress line stops with the music.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// The last progress line written so far ("0:03 / 0:32  playing  volume 100%  song 1/1"),
// without its colours and its beat mark.
std::string LastLine(const std::string& output) {
    const size_t end = output.rfind("\x1b[K");
    if (end == std::string::npos) return output;
    const size_t start = output.rfind('\r', end);
    std::string line = output.substr(start + 1, end - start - 1);
    for (size_t esc; (esc = line.find("\x1b[")) != std::string::npos;)
        line.erase(esc, line.find('m', esc) - esc + 1);
    return line.substr(0, line.find_last_not_of(" *") + 1);
}

// Reads until the progress line satisfies `ok`, at most `ms`; returns the line.
template <typename Ok>
std::string WaitForLine(PtyCli& play, Ok ok, int ms = 5000) {
    std::string line;
    for (int waited = 0; waited < ms; waited += 100)
        if (ok(line = LastLine(play.ReadFor(100)))) break;
    return line;
}

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
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

// Two songs in a terminal: the next and the previous, a seek and the volume, each on the
// progress line as the keys are typed.
TEST(CliPlay, QueueSeekAndVolumeFromTheKeyboard) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    TempDir dir;
    const char* configHome = getenv("XDG_CONFIG_HOME");
    const std::string savedConfigHome = configHome ? configHome : "";
    setenv("XDG_CONFIG_HOME", dir.Path("config").c_str(), 1);
    WavParams mono8k;
    mono8k.channels = 1;
    mono8k.sampleRate = 8000;
    const std::string a = WriteBytes(dir.Path("a.wav"), MakeWav(mono8k, Pcm16Pattern(160000, 1)));
    const std::string b = WriteBytes(dir.Path("b.wav"), MakeWav(mono8k, Pcm16Pattern(160000, 1)));
    PtyCli play("play " + Quote(a) + " " + Quote(b));
    std::string line = WaitForLine(play, [](auto& l) { return Has(l, "playing"); });
    EXPECT_TRUE(Has(line, "0:00 / 0:20  playing  volume 100%  song 1/2")) << line;

    play.Type("n");
    line = WaitForLine(play, [](auto& l) { return Has(l, "song 2/2"); });
    EXPECT_TRUE(Has(line, "0:00 / 0:20  playing")) << line;
    play.Type("b");  // within three seconds: the song before
    line = WaitForLine(play, [](auto& l) { return Has(l, "song 1/2"); });
    EXPECT_TRUE(Has(line, "song 1/2")) << line;
    play.Type("\x1b[C");  // Right
    line = WaitForLine(play, [](auto& l) { return l.rfind("0:05", 0) == 0; });
    EXPECT_EQ(line.rfind("0:05 / 0:20  playing", 0), 0u) << line;
    play.Type("\x1b[B");  // Down
    line = WaitForLine(play, [](auto& l) { return Has(l, "volume 95%"); });
    EXPECT_TRUE(Has(line, "volume 95%")) << line;
    play.Type("\x1b[A");  // Up
    line = WaitForLine(play, [](auto& l) { return Has(l, "volume 100%"); });
    EXPECT_TRUE(Has(line, "volume 100%")) << line;
    play.Type("q");
    EXPECT_EQ(play.WaitForExit(3000), 0);
    const Bytes settings = ReadFileBytes(dir.Path("config/zirvak/settings"));
    EXPECT_TRUE(Has(std::string(settings.begin(), settings.end()), "volume=100\n"));
    if (configHome)
        setenv("XDG_CONFIG_HOME", savedConfigHome.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace zirvak::test
