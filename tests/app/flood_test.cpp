// The window flooded by another program of the session, on a private session bus: thousands of
// files that cannot play handed over at once, and a burst of failing OpenUri calls. Throughout,
// the window answers on the bus in time, the song that plays goes on, and SIGTERM ends it
// at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <algorithm>
#include <chrono>
#include <thread>

#include "cli_runner.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "support/private_home.h"
#include "support/wait_for.h"
#include "wide_screen.h"

namespace zirvak::test {
namespace {

using Clock = std::chrono::steady_clock;
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.zirvak");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
// The bounds of the answers and of the exit: a window held up by the flood (the box's text set
// for every failure) takes seconds to answer; a busy machine, under a sanitizer, takes a few
// hundred milliseconds to answer and over a second to exit (the leak check at the end).
constexpr std::chrono::seconds kAnswerWithin{1}, kExitWithin{5};
// How long the bus or the window may take to come up.
constexpr std::chrono::seconds kStepWithin{30};

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "app_flood_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        auto* made = new QCoreApplication(argc, argv);
        qDBusRegisterMetaType<QByteArrayList>();  // the hand-over's names, as bytes
        return made;
    }();
    return *app;
}

class Flood : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        UseWideOffscreenScreen(dir);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        daemon_ = std::make_unique<Process>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
            dir.Path("address"), dir.Path("daemon.err"));
        ASSERT_TRUE(WaitFor(
            [&] { return ReadFileText(dir.Path("address")).find('\n') != std::string::npos; },
            kStepWithin))
            << ReadFileText(dir.Path("daemon.err"));
        std::string address = ReadFileText(dir.Path("address"));
        address.resize(address.find('\n'));
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(address), QStringLiteral("flood")));
        ASSERT_TRUE(bus_->isConnected());
        WavParams mono8k;
        mono8k.channels = 1;
        mono8k.sampleRate = 8000;
        const std::string song =
            WriteBytes(dir.Path("song.wav"), MakeWav(mono8k, Pcm16Pattern(120 * 8000, 1)));
        app_ = std::make_unique<Process>(std::vector<std::string>{ZIRVAK_APP, song}, "",
                                         dir.Path("zirvak.err"));
        ASSERT_TRUE(WaitFor([&] { return Status() == "Playing"; }, kStepWithin))
            << ReadFileText(dir.Path("zirvak.err"));
    }
    void TearDown() override {
        if (app_) app_->Signal(SIGKILL);
        if (daemon_) daemon_->Signal(SIGKILL);
        if (bus_) QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
    }

    // The window's PlaybackStatus; how long the answer took goes into `slowest`.
    std::string Status() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("PlaybackStatus");
        const auto start = Clock::now();
        const QDBusMessage reply = bus_->call(get, QDBus::Block, 5000);
        slowest_ = std::max(slowest_, Clock::now() - start);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
        return reply.arguments()[0].value<QDBusVariant>().variant().toString().toStdString();
    }

    // Sends `calls` without waiting, then asks for the status every 100 ms until every call has
    // been answered: each status answered in time, and playing.
    void AskThroughout(const std::vector<QDBusMessage>& calls) {
        std::vector<QDBusPendingCall> pending;
        for (const QDBusMessage& call : calls) pending.push_back(bus_->asyncCall(call, 120000));
        slowest_ = {};
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        int asked = 0;
        for (;;) {
            QCoreApplication::processEvents();
            const bool all = std::all_of(pending.begin(), pending.end(),
                                         [](const QDBusPendingCall& p) { return p.isFinished(); });
            if ((all && asked >= 3) || Clock::now() > deadline) break;
            EXPECT_EQ(Status(), "Playing");
            ++asked;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        for (const QDBusPendingCall& p : pending) {
            EXPECT_TRUE(p.isFinished());
            EXPECT_FALSE(p.isError()) << p.error().message().toStdString();
        }
        EXPECT_LT(slowest_, kAnswerWithin)
            << std::chrono::duration_cast<std::chrono::milliseconds>(slowest_).count() << " ms";
    }

    QDBusMessage HandOver(int files) {
        QByteArrayList paths;
        for (int i = 0; i < files; ++i)
            paths << QByteArray::fromStdString(dir.Path("missing-" + std::to_string(i) + ".mp3"));
        QDBusMessage open = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.zirvak.Zirvak"), QStringLiteral("Open"));
        open << QVariant::fromValue(paths);
        return open;
    }

    TempDir dir;
    const PrivateHome home{dir.dir};
    std::unique_ptr<Process> daemon_, app_;
    std::unique_ptr<QDBusConnection> bus_;
    Clock::duration slowest_{};
};

TEST_F(Flood, ThousandsOfFailuresNeverHoldTheWindowUp) {
    AskThroughout({HandOver(2000)});
    AskThroughout({HandOver(10000)});
    std::vector<QDBusMessage> uris;
    for (int i = 0; i < 200; ++i) {
        QDBusMessage open = QDBusMessage::createMethodCall(
            kService, kPath, QStringLiteral("org.mpris.MediaPlayer2.Player"),
            QStringLiteral("OpenUri"));
        // Among them names of 100 KB: the message of one is shown shortened.
        const QString name = i % 50 == 7 ? QString(100000, QLatin1Char('n')) : QString();
        open << QStringLiteral("file://%1/gone-%2%3.mp3")
                    .arg(QString::fromStdString(dir.dir))
                    .arg(i)
                    .arg(name);
        uris.push_back(open);
    }
    AskThroughout(uris);
    // One line per failure on stderr, and SIGTERM obeyed in the middle of another flood.
    const std::string err = ReadFileText(dir.Path("zirvak.err"));
    EXPECT_NE(err.find("missing-9999.mp3: no such file"), std::string::npos);
    EXPECT_NE(err.find("gone-199.mp3: no such file"), std::string::npos);
    bus_->asyncCall(HandOver(10000), 120000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto signalled = Clock::now();
    app_->Signal(SIGTERM);
    EXPECT_EQ(app_->Wait(10000), 0);
    EXPECT_LT(Clock::now() - signalled, kExitWithin);
}

}  // namespace
}  // namespace zirvak::test
