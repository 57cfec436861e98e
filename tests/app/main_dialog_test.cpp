// The window on Qt's offscreen platform: its menu, its size, the About box, and the commands
// wired to the engine (on a hand-stepped device).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "about_dialog.h"
#include "app_test_files.h"
#include "main_dialog.h"
#include "scene_view.h"
#include "stepped_audio_device.h"

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
    MainDialogTest() : engine(device) {}

    QApplication& app = App();  // before any widget
    SteppedAudioDevice device;
    PlayerEngine engine;
    MainDialog window{engine};
    // Long enough that its last chunk is not queued while the device is not stepped.
    const std::string song = WriteTestWav("zirvak-window-song.wav", 12.0);
};

TEST_F(MainDialogTest, MenuBarHoldsTheFiveCommandsInOrder) {
    const QList<QAction*> actions = window.menuBar()->actions();
    ASSERT_EQ(actions.size(), 5);
    const char* texts[] = {"&Open", "&Play", "P&ause", "&Stop", "&Close"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), texts[i]);
        EXPECT_EQ(actions[i]->data().toInt(), kCommandOpen + i);
        EXPECT_EQ(actions[i]->menu(), nullptr);  // commands, not pop-ups
    }
    EXPECT_EQ(window.windowTitle().toStdString(), "Zirvak");
}

TEST_F(MainDialogTest, TheClientAreaIsThePicture) {
    window.show();
    EXPECT_EQ(window.centralWidget()->size(), QSize(405, 308));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // not resizable
    EXPECT_EQ(window.view()->scene().size(), QSize(405, 308));
}

TEST_F(MainDialogTest, OpenWithAChosenFilePlaysItAndCancellingChangesNothing) {
    window.SetFileChooser([this] { return std::optional<std::string>(song); });
    window.commandAction(kCommandOpen)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle().toStdString(), "zirvak-window-song.wav");
    EXPECT_TRUE(window.animationRunning());

    window.SetFileChooser([] { return std::optional<std::string>(); });
    window.commandAction(kCommandOpen)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle().toStdString(), "zirvak-window-song.wav");
}

TEST_F(MainDialogTest, PausePlayStopAndCloseFollowTheCommandTable) {
    window.show();
    window.commands().OpenFile(song);
    window.commandAction(kCommandPause)->trigger();
    EXPECT_EQ(engine.state(), Paused);
    EXPECT_FALSE(window.animationRunning());
    window.commandAction(kCommandPlay)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_TRUE(window.animationRunning());
    window.commandAction(kCommandStop)->trigger();
    EXPECT_EQ(engine.state(), Stopped);
    EXPECT_TRUE(window.animationRunning());  // the butterfly flies home
    window.commandAction(kCommandPlay)->trigger();
    EXPECT_EQ(engine.state(), Playing);
    window.commandAction(kCommandClose)->trigger();
    EXPECT_EQ(engine.state(), NoFile);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainDialogTest, TicksMoveTheButterflyOnceAFilePlays) {
    window.show();
    window.commands().OpenFile(song);
    int ticks = 0;
    QObject::connect(&window, &MainDialog::ticked, [&] { ++ticks; });
    while (ticks < 10) QTest::qWait(10);
    EXPECT_EQ(int(window.animation().butterfly().flightState), int(FlightState::TakeOff));
    while (ticks < 20) QTest::qWait(10);
    EXPECT_EQ(int(window.animation().butterfly().flightState), int(FlightState::Flying));
}

// Closes the About box that is about to open, in the way `close` says, and reports whether one
// was open.
void CloseAboutWhenShown(const std::function<void(QDialog&)>& close, bool& seen) {
    QTimer::singleShot(0, [close, &seen] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!about) return;
        seen = about->windowTitle() == QStringLiteral("Haqqinda");
        close(*about);
    });
}

TEST_F(MainDialogTest, AboutClosesByItsButtonEnterAndEscape) {
    window.show();
    const std::function<void(QDialog&)> ways[] = {
        [](QDialog& d) {
            auto* ok = d.findChild<QPushButton*>();
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->text().toStdString(), "OK");
            EXPECT_TRUE(ok->isVisible());
            ok->click();
        },
        [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Return); },
        [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
    };
    for (const auto& way : ways) {
        bool seen = false;
        CloseAboutWhenShown(way, seen);
        window.commandAction(kCommandAbout)->trigger();  // returns when the box has closed
        EXPECT_TRUE(seen);
    }
}

}  // namespace
}  // namespace zirvak::test
