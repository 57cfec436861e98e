// The window on Qt's offscreen platform: its menu, its size, the About box, the commands wired
// to the engine (on a hand-stepped device), its ticks, its keys and its messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "image_conversion.h"
#include "light_region.h"
#include "message_board.h"
#include "support/fixtures.h"
#include "window_fixture.h"

namespace zirvak::test {
namespace {

TEST_F(MainDialogTest, MenuBarHoldsTheFiveCommandsInOrderAndTheClientAreaIsThePicture) {
    EXPECT_EQ(window.windowTitle().toStdString(), "Zirvak");
    const QList<QAction*> actions = window.menuBar()->actions();
    ASSERT_EQ(actions.size(), 5);
    const char* texts[] = {"&Open", "&Play", "P&ause", "&Stop", "&Close"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), texts[i]);
        EXPECT_EQ(actions[i]->data().toInt(), 32772 + i);
        EXPECT_EQ(window.commandAction(CommandId(32772 + i)), actions[i]);
        EXPECT_EQ(actions[i]->menu(), nullptr);  // commands, not pop-ups
    }
    QAction* about = window.commandAction(CommandId(16));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text().toStdString(), "About...");
    EXPECT_EQ(about->data().toInt(), 16);
    window.show();
    EXPECT_EQ(window.centralWidget()->size(), QSize(405, 308));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // not resizable
    EXPECT_EQ(window.view()->scene().size(), QSize(405, 308));
}

TEST_F(MainDialogTest, OpenWithAChosenFilePlaysItAndCancellingChangesNothing) {
    window.SetFileChooser([this] { return std::vector<std::string>{song}; });
    window.commandAction(CommandId::Open)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle().toStdString(), "song.wav");
    EXPECT_TRUE(window.animationRunning());
    window.SetFileChooser([] { return std::vector<std::string>(); });
    window.commandAction(CommandId::Open)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle().toStdString(), "song.wav");
}

TEST_F(MainDialogTest, PausePlayStopAndCloseFollowTheCommandTable) {
    window.show();
    window.commands().OpenFile(song);
    const struct {
        CommandId command;
        PlayerState state;
        bool animating;
    } rows[] = {{CommandId::Pause, Paused, false},
                {CommandId::Play, Playing, true},
                {CommandId::Stop, Stopped, true},  // the butterfly flies home
                {CommandId::Play, Playing, true},
                {CommandId::Close, NoFile, false}};
    for (const auto& row : rows) {
        window.commandAction(row.command)->trigger();
        EXPECT_EQ(engine.state(), row.state) << int32_t(row.command);
        EXPECT_TRUE(row.state == NoFile || window.animationRunning() == row.animating)
            << int32_t(row.command);
    }
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainDialogTest, AboutClosesByItsButtonEnterAndEscape) {
    window.show();
    const std::function<void(QDialog&)> ways[] = {
        [](QDialog& d) {
            auto* ok = d.findChild<QPushButton*>();
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->text().toStdString(), "OK");
            ok->click();
        },
        [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Return); },
        [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
    };
    QAction* aboutCommand = window.commandAction(CommandId(16));
    ASSERT_NE(aboutCommand, nullptr);
    for (size_t i = 0; i < std::size(ways); ++i) {
        bool seen = false, stuck = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!about) return;
            seen = about->windowTitle() == QStringLiteral("Haqqinda");
            // The version shown is the build's, as --version prints it.
            const auto* version = about->findChild<QLabel*>(QStringLiteral("version"));
            EXPECT_TRUE(version && version->text() == "version " ZIRVAK_EXPECTED_VERSION);
            ways[i](*about);
        });
        // A box still open after three seconds was not closed: fail, and close it ourselves.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&stuck] {
            stuck = true;
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        guard.start(3000);
        aboutCommand->trigger();  // returns when the box has closed
        EXPECT_TRUE(seen) << i;
        EXPECT_FALSE(stuck) << "way " << i << " left the About box open";
    }
}

// Once a file plays, every tick of the window's timer steps the flight and shows a newly
// composed scene: 15 take-off ticks at home, then flying; the lights start blue.
TEST_F(MainDialogTest, TicksMoveTheButterflyOnceAFilePlays) {
    window.show();
    int ticks = 0;
    QObject::connect(&window, &MainDialog::ticked, [&] { ++ticks; });
    QTest::qWait(200);
    EXPECT_EQ(ticks, 0);  // no file, no timer
    EXPECT_FALSE(window.animationRunning());
    const QImage before = window.view()->scene();
    window.commands().OpenFile(song);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 5000));
    const LightRun light = BuildLightRegion(ToImage(before)).runs.front();
    EXPECT_EQ(window.view()->scene().pixel(light.x0, light.y), qRgb(0, 0, 255));
    EXPECT_NE(before.pixel(light.x0, light.y), qRgb(0, 0, 255));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 10; }, 10000));
    EXPECT_EQ(window.animation().butterfly().flightState, FlightState::TakeOff);
    EXPECT_EQ(window.animation().butterfly().position, (Point{-158, 145}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 20; }, 10000));
    EXPECT_EQ(window.animation().butterfly().flightState, FlightState::Flying);
    // 20 ticks of 75 ms: a timer may fire a little early, never a tenth of its period.
    EXPECT_GE(window.commands().session().clock().time().elapsedMs, 20u * 75 * 9 / 10);
    EXPECT_NE(window.animation().butterfly().position, (Point{-158, 145}));
}

// Minimised, the flight and the lights go on but no picture is made; shown again, the picture is
// the one of the moment at once, not the one it was left with.
TEST_F(MainDialogTest, NothingIsComposedWhileMinimisedAndThePictureIsRightWhenShown) {
    window.show();
    int ticks = 0;
    QObject::connect(&window, &MainDialog::ticked, [&] { ++ticks; });
    window.commands().OpenFiles({MinuteSong(dir, "minute.wav")});
    const Butterfly& butterfly = window.animation().butterfly();
    const auto onThePicture = [&] {
        return butterfly.position.x > -20 && butterfly.position.x < 420;
    };
    ASSERT_TRUE(QTest::qWaitFor(onThePicture, 20000));
    window.showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }, 5000));
    const QImage left = window.view()->scene();
    const Point was = butterfly.position;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::abs(butterfly.position.x - was.x) > 30 && onThePicture(); }, 20000));
    EXPECT_EQ(window.view()->scene(), left);  // unseen, nothing was made
    const int shownAt = ticks;
    window.showNormal();
    QCoreApplication::processEvents();
    ASSERT_FALSE(window.isMinimized());
    EXPECT_NE(window.view()->scene(), left);
    EXPECT_LE(ticks, shownAt + 1);  // not left to a later tick
}

// Every way a file can fail to play shows one message naming the file and the reason, and
// leaves the window coherent: no file, its own caption, the butterfly on its way home.
TEST_F(MainDialogTest, AFileThatCannotPlayIsNamedWithItsReasonAndLeavesNoFile) {
    window.show();
    const std::string missing = dir.Path("missing.mp3");
    const std::string junk = WriteBytes(dir.Path("junk.mp3"), Bytes(5000, 0x55));
    const std::string empty = WriteBytes(dir.Path("empty.wav"), MakeWav({}, Bytes()));
    const struct {
        const char* how;
        std::string path, says;
        bool noDevice;
    } cases[] = {
        {"menu", missing, missing + ": no such file.", false},
        {"drop", junk, junk + " is not an audio file Zirvak can play.", false},
        {"command line", empty, empty + " holds no audio.", false},
        {"menu", song, song + " cannot play: no sound output could be opened.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
        ASSERT_EQ(window.windowTitle().toStdString(), "song.wav");
        device.refuseOpen = c.noDevice;
        if (std::string(c.how) == "menu") {
            window.SetFileChooser([&c] { return std::vector<std::string>{c.path}; });
            window.commandAction(CommandId::Open)->trigger();
        } else if (std::string(c.how) == "drop") {
            Drop(window, c.path);
        } else {
            window.commands().OpenFile(c.path);
        }
        device.refuseOpen = false;
        EXPECT_EQ(TakeMessages(window), std::vector<std::string>{c.says});
        EXPECT_EQ(engine.state(), NoFile);
        EXPECT_EQ(window.windowTitle().toStdString(), "Zirvak");
        EXPECT_TRUE(window.animationRunning());
        EXPECT_TRUE(window.commands().session().MusicEnded());
    }
}

// What this process writes on stderr while it lives, read back at the end.
class CapturedStderr {
public:
    explicit CapturedStderr(const std::string& path) : path_(path) {
        std::fflush(stderr);
        saved_ = dup(2);
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, 2);
        close(file);
    }
    std::string Text() {
        std::fflush(stderr);
        dup2(saved_, 2);
        const Bytes bytes = ReadFileBytes(path_);
        return {bytes.begin(), bytes.end()};
    }
    ~CapturedStderr() { close(saved_); }

private:
    std::string path_;
    int saved_ = -1;
};

// A name with a line break, an escape sequence, a carriage return and a byte outside UTF-8: the
// caption, the picture's line, the message and stderr show them escaped, never act on them.
TEST_F(MainDialogTest, ANameShowsItsControlCharactersEscapedEverywhere) {
    window.show();
    const std::string name = "x\nINJECTED: \x1b[31m\r\xff";
    const std::string shown = "x\\x0aINJECTED: \\x1b[31m\\x0d\xc3\xbf";  // 0xff read as Latin-1
    const std::string path =
        WriteBytes(dir.Path(name + ".wav"), MakeWav({}, Pcm16Pattern(4410, 2)));
    ASSERT_EQ(window.commands().OpenFile(path), kOpenStarted);
    EXPECT_EQ(window.windowTitle().toStdString(), shown + ".wav");
    EXPECT_NE(window.view()->status().toStdString().find(shown + ".wav"), std::string::npos)
        << window.view()->status().toStdString();
    CapturedStderr err(dir.Path("stderr"));
    window.commands().OpenFile(dir.Path(name + ".mp3"));
    // Qt's offscreen platform may add lines of its own after ours.
    const std::string printed = err.Text();
    const std::string line =
        "zirvak: " + dir.Path("x\\x0aINJECTED: \\x1b[31m\\x0d\\xff.mp3") + ": no such file\n";
    EXPECT_EQ(printed.substr(0, line.size()), line);
    EXPECT_EQ(printed.find('\x1b'), std::string::npos);
    EXPECT_EQ(TakeMessages(window),
              std::vector<std::string>{dir.Path(shown + ".mp3") + ": no such file."});
}

// Failures by the thousand make one summary, the song playing on; a message of a long name is
// shortened in its middle.
TEST_F(MainDialogTest, ManyFailuresMakeOneSummaryAndALongNameIsShortened) {
    window.show();
    ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
    std::vector<std::string> missing;
    for (int i = 0; i < 2000; ++i) missing.push_back(dir.Path("missing-" + std::to_string(i)));
    window.commands().OpenFiles(missing, WhenNonePlays::kKeepPlaying);
    QApplication::processEvents();
    EXPECT_EQ(window.messages(),
              QStringList{QString::fromStdString("2,000 files could not be played; the first: " +
                                                 missing[0] + ": no such file.")});
    EXPECT_EQ(engine.state(), Playing);
    TakeMessages(window);
    std::string deep = dir.dir;  // 3,000 bytes in folders of names that fit
    while (deep.size() < 3000) deep += "/nnnnnnnnnnnnnnnnnnn";
    window.commands().OpenFiles({deep}, WhenNonePlays::kKeepPlaying);
    const QStringList lines = window.messages();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_LE(lines[0].size(), MessageBoard::kMostCharacters + 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("nnn: no such file."))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("n\u2026n"))) << lines[0].toStdString();
}

// The sound card cannot be opened: the song plays on a silent stand-in, and the user is told.
// The output lost while playing: told once, and the animation holds until it is back.
TEST_F(MainDialogTest, ASilentOrLostOutputIsToldAndALostOneHoldsTheAnimation) {
    window.show();
    device.silentBecause = "no card here";
    ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
    EXPECT_EQ(TakeMessages(window),
              std::vector<std::string>{"song.wav plays without sound (no card here)."});
    device.silentBecause.clear();

    device.loseAfter = 1;
    ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
    device.CompleteOldest();
    ASSERT_TRUE(engine.outputStatus().lost);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.messages().isEmpty(); }, 5000));  // ticks
    const QStringList lost{
        "song.wav: the sound stopped (the test device lost its output); "
        "trying again every second."};
    EXPECT_EQ(window.messages(), lost);
    const uint32_t held = window.commands().session().clock().time().elapsedMs;
    QTest::qWait(300);
    EXPECT_EQ(window.commands().session().clock().time().elapsedMs, held);
    EXPECT_EQ(window.messages(), lost);  // once per loss
    // Back: the message goes by itself; the clock waits until the output takes music again,
    // then moves on from where it held, the time of the loss left out.
    device.Restore();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages().isEmpty(); }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(window.commands().session().clock().time().elapsedMs, held);
    const auto playedOn = std::chrono::steady_clock::now();
    device.CompleteOldest();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.commands().session().clock().time().elapsedMs > held; }, 5000));
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - playedOn);
    EXPECT_LE(window.commands().session().clock().time().elapsedMs,
              held + uint32_t(since.count()) + 10);
    EXPECT_TRUE(TakeMessages(window).empty());
}

TEST_F(MainDialogTest, KeysDriveTheCommandsAndTheDisplayComesAndGoes) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.commands().OpenFiles({MinuteSong(dir, "a.wav"), MinuteSong(dir, "b.wav")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.view()->status().isEmpty(); }, 3000));
    const QImage quiet = Grab(window);
    EXPECT_EQ(quiet, window.view()->scene().convertToFormat(QImage::Format_RGB32));

    QTest::keyClick(&window, Qt::Key_Right);
    EXPECT_GE(engine.runStartMs(), 5000u);
    EXPECT_LT(engine.runStartMs(), 7000u);
    const std::string shown = window.view()->status().toStdString();
    EXPECT_NE(shown.find(" / 1:00   Volume 100%   Song 1/2"), std::string::npos) << shown;
    EXPECT_NE(Grab(window), window.view()->scene().convertToFormat(QImage::Format_RGB32));
    QTest::keyClick(&window, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_GE(engine.runStartMs(), 35000u);
    QTest::keyClick(&window, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_Left);
    EXPECT_LT(engine.runStartMs(), 2000u);
    QTest::keyClick(&window, Qt::Key_Right);
    QTest::keyClick(&window, Qt::Key_Home);
    EXPECT_EQ(engine.runStartMs(), 0u);
    QTest::keyClick(&window, Qt::Key_Down);
    QTest::keyClick(&window, Qt::Key_Down);
    QTest::keyClick(&window, Qt::Key_Up);
    EXPECT_EQ(window.commands().status().volumePercent, 95u);
    EXPECT_EQ(device.volume(), 95u);
    QTest::keyClick(&window, Qt::Key_N);
    EXPECT_EQ(window.windowTitle().toStdString(), "b.wav");
    QTest::keyClick(&window, Qt::Key_B);
    EXPECT_EQ(window.windowTitle().toStdString(), "a.wav");

    // The display goes after a second and a half, and leaves the picture as it was.
    const auto shownAt = std::chrono::steady_clock::now();
    ASSERT_FALSE(window.view()->status().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.view()->status().isEmpty(); }, 3000));
    EXPECT_GE(std::chrono::steady_clock::now() - shownAt, std::chrono::milliseconds(1400));
    QTest::qWait(50);
    EXPECT_EQ(Grab(window), window.view()->scene().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
}  // namespace zirvak::test
