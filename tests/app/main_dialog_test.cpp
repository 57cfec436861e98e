// The window on Qt's offscreen platform: its menu, its size, the About box, and the commands
// wired to the engine (on a hand-stepped device).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
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
