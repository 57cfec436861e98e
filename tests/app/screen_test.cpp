// The window on a real X server with a window manager (Xvfb and openbox, started here) and a
// small screen: the zoom never makes the window larger than the screen, the window stays on it
// after zoom changes and after a start with a zoom saved for a larger screen, and keys typed on
// the X server act while a message is shown.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>

#include "cli_runner.h"
#include "main_dialog.h"
#include "open_dialog.h"
#include "player_fixtures.h"
#include "settings.h"
#include "support/fixtures.h"
#include "support/private_home.h"
#include "support/wait_for.h"
#include "x_display.h"

namespace zirvak::test {
namespace {

constexpr int kScreenWidth = 1024, kScreenHeight = 768;

QApplication& App() {
    static int argc = 1;
    static char name[] = "app_screen_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Keys as the X server delivers them to the focused window.
void Type(const std::string& keys) {
    ASSERT_EQ(std::system(("xdotool key --delay 30 " + keys).c_str()), 0) << keys;
    QTest::qWait(150);
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(XDisplay::Problem(), ""); }

    // Shows `window` and waits until the window manager has framed it and it has the focus.
    static void ShowFramed(MainDialog& window) {
        window.show();
        // A window manager that has only just started may map a window without focusing it:
        // ask for the focus as a user's click would, until it comes.
        bool active = false;
        for (int i = 0; i < 10 && !active; ++i) {
            window.activateWindow();
            active = QTest::qWaitForWindowActive(&window, 2000);
        }
        ASSERT_TRUE(active);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }, 10000));
        QTest::qWait(200);  // the placement that follows the frame
    }

    // a.wav then b.wav, a minute each, playing in `window`.
    void PlayTwoSongs(MainDialog& window) {
        WavParams mono8k;
        mono8k.channels = 1;
        mono8k.sampleRate = 8000;
        const Bytes minute = MakeWav(mono8k, Pcm16Pattern(60 * 8000, 1));
        window.commands().OpenFiles(
            {WriteBytes(songs.Path("a.wav"), minute), WriteBytes(songs.Path("b.wav"), minute)});
    }

    static QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }

    static void ExpectOnScreen(const MainDialog& window, const char* when) {
        EXPECT_TRUE(Screen().contains(window.frameGeometry()))
            << when << ": the window, frame and all, at (" << window.frameGeometry().x() << ", "
            << window.frameGeometry().y() << ") size " << window.frameGeometry().width() << " × "
            << window.frameGeometry().height();
    }

    QApplication& app = App();
    TempDir config, songs;
    const PrivateHome home{config.dir};
    TestAudioDevice device;
    PlayerEngine engine{device};
};

TEST_F(ScreenTest, TheZoomNeverOutgrowsTheScreenAndTheWindowStaysOnIt) {
    ASSERT_EQ(Screen().size(), QSize(kScreenWidth, kScreenHeight));
    MainDialog window(engine);
    ShowFramed(window);
    ExpectOnScreen(window, "opened");
    // 405 × 308 at 2 fits 1024 × 768 with the menu and the frame; at 3 it does not.
    Type("ctrl+plus ctrl+plus ctrl+plus");
    EXPECT_EQ(window.zoom(), 2);
    EXPECT_EQ(window.commands().settings().zoom, 2);  // no more than could be shown
    ExpectOnScreen(window, "zoomed in");
    // Near the bottom right corner, a zoom that would push it off brings it back.
    Type("ctrl+0");
    EXPECT_EQ(window.zoom(), 1);
    window.move(Screen().right() - window.frameGeometry().width() - 10,
                Screen().bottom() - window.frameGeometry().height() - 10);
    QTest::qWait(300);
    ExpectOnScreen(window, "moved to the corner");
    Type("ctrl+plus");
    EXPECT_EQ(window.zoom(), 2);
    QTest::qWait(300);
    ExpectOnScreen(window, "zoomed in the corner");
    Type("ctrl+minus");
    EXPECT_EQ(window.zoom(), 1);
    ExpectOnScreen(window, "zoomed out");
}

TEST_F(ScreenTest, AZoomSavedForALargerScreenOpensAtTheLargestThatFits) {
    Settings saved;
    saved.zoom = 4;
    SaveSettings(SettingsPath(), saved);
    MainDialog window(engine);
    ShowFramed(window);
    EXPECT_EQ(window.zoom(), 2);
    ExpectOnScreen(window, "opened with zoom 4 saved");
    // The saved zoom stays, for the screen it was meant for.
    EXPECT_EQ(LoadSettings(SettingsPath()).zoom, 4);
}

// A message beside the window: typed keys still act, whether the window or the box has the
// focus.
TEST_F(ScreenTest, KeysActWhileAMessageIsShown) {
    MainDialog window(engine);
    ShowFramed(window);
    PlayTwoSongs(window);
    window.commands().OpenFiles({songs.Path("missing.mp3")}, WhenNonePlays::kKeepPlaying);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.messages().isEmpty(); }, 5000));
    // Guarded: a key that closed the box would delete it.
    const QPointer<QMessageBox> box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box, 5000));
    EXPECT_EQ(QApplication::activeWindow(), &window) << "the box took the focus";
    Type("n");
    EXPECT_EQ(window.windowTitle(), QStringLiteral("b.wav"));
    Type("space");
    EXPECT_EQ(engine.state(), Paused);
    // The box clicked, so it has the focus: the keys still reach the player.
    ASSERT_TRUE(box);
    box->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(box, 5000));
    Type("space b");
    EXPECT_EQ(window.windowTitle(), QStringLiteral("a.wav"));
    EXPECT_EQ(engine.state(), Playing);
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
}

// In the Open dialog the keys are the dialog's: letters typed there go into its name field,
// and none of them steers the player behind it.
TEST_F(ScreenTest, KeysTypedInTheOpenDialogAreText) {
    MainDialog window(engine);
    ShowFramed(window);
    PlayTwoSongs(window);
    QString typed;
    QTimer::singleShot(500, &window, [&] {
        auto* dialog = window.findChild<OpenDialog*>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog, 5000));
        Type("n b space s");
        typed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        dialog->reject();
    });
    window.commandAction(CommandId::Open)->trigger();
    EXPECT_EQ(typed, QStringLiteral("nb s"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("a.wav"));
    EXPECT_EQ(engine.state(), Playing);
}

}  // namespace
}  // namespace zirvak::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(
        new zirvak::test::XDisplay(zirvak::test::kScreenWidth, zirvak::test::kScreenHeight));
    return RUN_ALL_TESTS();
}
