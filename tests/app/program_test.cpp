// The zirvak program as a user starts it, on Qt's offscreen platform and SDL's dummy output: it
// ends cleanly on SIGTERM, SIGINT and SIGHUP, and its screenshot mode writes its picture or says
// why it cannot.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "support/private_home.h"
#include "wide_screen.h"

namespace zirvak::test {
namespace {

class ZirvakProgram : public ::testing::Test {
protected:
    void SetUp() override {
        UseWideOffscreenScreen(dir);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    TempDir dir;
    const PrivateHome home{dir.dir};  // default settings
    const std::string song = RepoPath("res/demo.mp3");
};

TEST_F(ZirvakProgram, SignalsCloseTheWindowCleanly) {
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        Process app({ZIRVAK_APP, song}, "", dir.Path("err"));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // up, and playing
        ASSERT_EQ(app.Wait(0), -1) << ReadFileText(dir.Path("err"));
        const auto sent = std::chrono::steady_clock::now();
        app.Signal(sig);
        // Far less than the song has to go, and far more than a busy machine takes to close.
        EXPECT_EQ(app.Wait(10000), 0) << ReadFileText(dir.Path("err"));
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
    }
}

TEST_F(ZirvakProgram, ScreenshotWritesThePictureOrSaysWhyNot) {
    const std::string png = dir.Path("window.png");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;  // on stderr
    } cases[] = {
        {{"--screenshot", png, "--ticks", "3", song}, 0, ""},
        {{"--screenshot", png, "--ticks", "5"}, 0, ""},  // no file: the picture as it is
        {{"--screenshot", png, "--ticks", "0", song}, 0, ""},
        {{"--screenshot", "/missing-dir/x.png", "--ticks", "1", song}, 1, "cannot write"},
        {{"--screenshot", png, "--ticks", "abc", song}, 2, "usage"},
        {{"--screenshot", png, "--ticks", "-5", song}, 2, "usage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[3]);
        std::filesystem::remove(png);
        std::vector<std::string> argv{ZIRVAK_APP};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Process app(argv, "", dir.Path("err"));
        EXPECT_EQ(app.Wait(20000), c.status) << ReadFileText(dir.Path("err"));
        EXPECT_NE(ReadFileText(dir.Path("err")).find(c.says), std::string::npos)
            << ReadFileText(dir.Path("err"));
        if (c.status == 0) {
            const QImage picture(QString::fromStdString(png));
            EXPECT_EQ(picture.width(), 405);
            EXPECT_GE(picture.height(), 308);  // the picture, and the menu bar above it
        }
    }
}

// On a screen with twice the pixels the picture shows at twice the size, every pixel of it a
// sharp 2 × 2 block rather than a blur.
TEST_F(ZirvakProgram, ADoublePixelScreenShowsThePictureSharpAtTwiceTheSize) {
    const std::string one = dir.Path("one.png"), two = dir.Path("two.png");
    Process plain({ZIRVAK_APP, "--screenshot", one, "--ticks", "0"}, "", dir.Path("err"));
    ASSERT_EQ(plain.Wait(20000), 0) << ReadFileText(dir.Path("err"));
    setenv("QT_SCALE_FACTOR", "2", 1);
    Process doubled({ZIRVAK_APP, "--screenshot", two, "--ticks", "0"}, "", dir.Path("err"));
    unsetenv("QT_SCALE_FACTOR");
    ASSERT_EQ(doubled.Wait(20000), 0) << ReadFileText(dir.Path("err"));
    const QImage small = QImage(QString::fromStdString(one)).convertToFormat(QImage::Format_RGB32);
    const QImage big = QImage(QString::fromStdString(two)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(small.width(), 405);
    ASSERT_EQ(big.width(), 810);
    // The pictures fill the bottoms of the windows, below their menu bars.
    const int top1 = small.height() - 308, top2 = big.height() - 616;
    int wrong = 0;
    for (int y = 0; y < 616; ++y)
        for (int x = 0; x < 810; ++x)
            wrong += big.pixel(x, top2 + y) != small.pixel(x / 2, top1 + y / 2);
    EXPECT_EQ(wrong, 0);
}

// The command line is read before any window: help, the version and wrong usage need no display
// (an X11 platform with none to reach would abort the program).
TEST_F(ZirvakProgram, HelpVersionAndWrongUsageNeedNoDisplay) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* out;  // at the start of stdout
        const char* err;  // somewhere on stderr
    } cases[] = {
        {{"--help"},
         0,
         "usage: zirvak [--new-instance] [--no-gapless] [--replaygain=MODE] [FILE|FOLDER...]\n",
         ""},
        {{"-h", "song.mp3"}, 0, "usage: zirvak", ""},
        {{"--version"}, 0, "zirvak " ZIRVAK_EXPECTED_VERSION "\n", ""},
        {{"-v"}, 0, "zirvak " ZIRVAK_EXPECTED_VERSION "\n", ""},
        {{"--frobnicate", song}, 2, "", "zirvak: unknown option '--frobnicate'\nusage: zirvak"},
        {{"-x"}, 2, "", "unknown option '-x'"},
        {{song, "--ticks"}, 2, "", "option '--ticks' needs a value"},
        {{"--ticks=7x"}, 2, "", "'7x' is no number of ticks"},
        {{"--new-instance=yes"}, 2, "", "option '--new-instance' takes no value"},
        {{"--replaygain=loud"}, 2, "", "'loud' is no ReplayGain mode (off, track, album, auto)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> argv{ZIRVAK_APP};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Process app(argv, dir.Path("out"), dir.Path("err"));
        EXPECT_EQ(app.Wait(10000), c.status) << ReadFileText(dir.Path("err"));
        EXPECT_EQ(ReadFileText(dir.Path("out")).rfind(c.out, 0), 0u)
            << ReadFileText(dir.Path("out"));
        EXPECT_NE(ReadFileText(dir.Path("err")).find(c.err), std::string::npos)
            << ReadFileText(dir.Path("err"));
    }
    UseWideOffscreenScreen(dir);
}

// Without a display the window cannot open: one line says so and what plays in a terminal
// instead, and the status is 1, whether no display is named or the one named is not there.
TEST_F(ZirvakProgram, WithoutADisplayOneLineSaysWhatToDo) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    for (const char* display : {"", ":77777"}) {
        SCOPED_TRACE(display);
        setenv("DISPLAY", display, 1);
        Process app({ZIRVAK_APP, song}, dir.Path("out"), dir.Path("err"));
        EXPECT_EQ(app.Wait(10000), 1);
        const std::string err = ReadFileText(dir.Path("err"));
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("zirvak: no display to show the window on (", 0), 0u) << err;
        EXPECT_NE(err.find("'zirvak-cli play FILE...' plays in a terminal"), std::string::npos);
    }
    unsetenv("DISPLAY");
    UseWideOffscreenScreen(dir);
}

// Everything after "--" is a file, even a name that looks like an option.
TEST_F(ZirvakProgram, FilesAfterTheDoubleDashAreFiles) {
    const std::string png = dir.Path("shot.png");
    std::filesystem::copy_file(song, dir.Path("-song.mp3"));
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.dir);
    Process app({ZIRVAK_APP, "--screenshot", png, "--ticks", "1", "--", "-song.mp3"}, "",
                dir.Path("err"));
    std::filesystem::current_path(before);
    EXPECT_EQ(app.Wait(20000), 0) << ReadFileText(dir.Path("err"));  // 1 if the file could not play
    EXPECT_TRUE(std::filesystem::exists(png));
}

}  // namespace
}  // namespace zirvak::test
