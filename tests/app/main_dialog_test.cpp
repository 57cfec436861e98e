// The window on Qt's offscreen platform: its menu, its size, the About box, and the commands
// wired to the engine (on a hand-stepped device).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "image_conversion.h"
#include "light_region.h"
#include "main_dialog.h"
#include "player_fixtures.h"
#include "scene_view.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "app_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

class MainDialogTest : public ::testing::Test {
protected:
    QApplication& app = App();  // before any widget
    TestAudioDevice device;
    PlayerEngine engine{device};
    MainDialog window{engine};
    TempDir dir;
    // Three chunks: its last is not queued while the device is not stepped.
    const std::string song =
        WriteBytes(dir.Path("song.wav"), MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2)));
};

TEST_F(MainDialogTest, MenuBarHoldsTheFiveCommandsInOrderAndTheClientAreaIsThePicture) {
    const QList<QAction*> actions = window.menuBar()->actions();
    ASSERT_EQ(actions.size(), 5);
    const char* texts[] = {"&Open", "&Play", "P&ause", "&Stop", "&Close"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), texts[i]);
        EXPECT_EQ(actions[i]->data().toInt(), kCommandOpen + i);
        EXPECT_EQ(actions[i]->menu(), nullptr);  // commands, not pop-ups
    }
    window.show();
    EXPECT_EQ(window.centralWidget()->size(), QSize(405, 308));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // not resizable
    EXPECT_EQ(window.view()->scene().size(), QSize(405, 308));
}

TEST_F(MainDialogTest, OpenWithAChosenFilePlaysItAndCancellingChangesNothing) {
    window.SetFileChooser([this] { return std::optional<std::string>(song); });
    window.commandAction(kCommandOpen)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle().toStdString(), "song.wav");
    EXPECT_TRUE(window.animationRunning());
    window.SetFileChooser([] { return std::optional<std::string>(); });
    window.commandAction(kCommandOpen)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle().toStdString(), "song.wav");
}

TEST_F(MainDialogTest, PausePlayStopAndCloseFollowTheCommandTable) {
    window.show();
    window.commands().OpenFile(song);
    const struct {
        int command;
        PlayerState state;
        bool animating;
    } rows[] = {{kCommandPause, Paused, false},
                {kCommandPlay, Playing, true},
                {kCommandStop, Stopped, true},  // the butterfly flies home
                {kCommandPlay, Playing, true},
                {kCommandClose, NoFile, false}};
    for (const auto& row : rows) {
        window.commandAction(row.command)->trigger();
        EXPECT_EQ(engine.state(), row.state) << row.command;
        EXPECT_TRUE(row.state == NoFile || window.animationRunning() == row.animating)
            << row.command;
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
    for (const auto& way : ways) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!about) return;
            seen = about->windowTitle() == QStringLiteral("Haqqinda");
            way(*about);
        });
        window.commandAction(kCommandAbout)->trigger();  // returns when the box has closed
        EXPECT_TRUE(seen);
    }
}

// The message boxes the window shows now, their texts; closes them.
std::vector<std::string> TakeMessages(MainDialog& window) {
    std::vector<std::string> texts;
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
        if (box->isVisible()) texts.push_back(box->text().toStdString());
        box->close();
        delete box;
    }
    return texts;
}

// A file dragged onto the window and dropped, as Qt delivers it: the drop goes to the widget
// that took the drag's entry.
void Drop(MainDialog& window, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
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
        {"drop", junk, junk + ": not a playable WAV or MPEG file (no frame sync).", false},
        {"command line", empty, "no audio in " + empty + ".", false},
        {"menu", song, song + ": no sound output could be opened.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
        ASSERT_EQ(window.windowTitle().toStdString(), "song.wav");
        device.refuseOpen = c.noDevice;
        if (std::string(c.how) == "menu") {
            window.SetFileChooser([&c] { return std::optional<std::string>(c.path); });
            window.commandAction(kCommandOpen)->trigger();
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
        EXPECT_TRUE(window.commands().MusicEnded());
    }
}

// The sound card cannot be opened: the song plays on a silent stand-in, and the user is told.
// The output lost while playing: told once, and the animation holds until it is back.
TEST_F(MainDialogTest, ASilentOrLostOutputIsToldAndALostOneHoldsTheAnimation) {
    window.show();
    device.silentBecause = "no card here";
    ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
    EXPECT_EQ(TakeMessages(window),
              std::vector<std::string>{
                  "song.wav plays without sound: no sound output could be opened (no card here)."});
    device.silentBecause.clear();

    device.loseAfter = 1;
    ASSERT_EQ(window.commands().OpenFile(song), kOpenStarted);
    device.CompleteOldest();
    ASSERT_TRUE(engine.outputStatus().lost);
    QTest::qWait(300);  // ticks
    EXPECT_EQ(TakeMessages(window),
              std::vector<std::string>{"song.wav: the sound output was lost (the test device lost "
                                       "its output); trying again every second."});
    const uint32_t held = window.animation().clock().elapsedMs;
    QTest::qWait(300);
    EXPECT_EQ(window.animation().clock().elapsedMs, held);
    EXPECT_TRUE(TakeMessages(window).empty());  // once per loss
    device.Restore();
    QTest::qWait(300);
    EXPECT_GT(window.animation().clock().elapsedMs, held);
    EXPECT_LT(window.animation().clock().elapsedMs, held + 600);  // the loss left out
}

}  // namespace
}  // namespace zirvak::test

namespace zirvak::test {
namespace {

// Our own picture's lights, as recorded when it was drawn: a change to the picture or to the
// light test shows here.
TEST(PictureLights, TheBackgroundHasItsRecordedFairyLights) {
    const QImage picture(QString::fromStdString(RepoPath("res/background.png")));
    ASSERT_EQ(picture.size(), QSize(405, 308));
    const LightRegion lights = BuildLightRegion(ToImage(picture));
    EXPECT_EQ(lights.pixelCount, 2828);
    EXPECT_EQ(lights.runs.size(), 2042u);
    EXPECT_EQ(lights.runs.front().y, 61);
    EXPECT_EQ(lights.runs.back().y, 307);
}

}  // namespace
}  // namespace zirvak::test
