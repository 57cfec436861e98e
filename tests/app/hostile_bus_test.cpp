// The window on a private session bus (the test runs inside dbus-run-session) under a storm of
// calls no desktop would make: every method and property of its interfaces, called with
// arguments of every type, extreme numbers, huge strings, wrong object paths and URIs to
// devices, a FIFO and missing files, from a seeded generator ($ZIRVAK_SEED repeats or varies a
// run). Every call is answered, by a reply or an error, in time; the window never falls over,
// and afterwards it still plays a file. Before the storm a symlink is planted at the settings'
// name: the volume changes never write through it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <thread>

#include "cli_runner.h"
#include "file_uri.h"
#include "player_fixtures.h"
#include "support/fixtures.h"
#include "support/private_home.h"
#include "support/wait_for.h"
#include "wide_screen.h"

namespace zirvak::test {
namespace {

namespace fs = std::filesystem;

constexpr int kCalls = 3000;
constexpr int kAnswerWithinMs = 5000;
constexpr std::chrono::milliseconds kPollEvery{50};  // each look is a call on the bus
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.zirvak");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kHandOver = QStringLiteral("org.zirvak.Zirvak");

// Every member of the object, with the argument types it takes.
struct Member {
    QString interface;
    const char* name;
    const char* signature;
};
const Member kMembers[] = {
    {kRoot, "Raise", ""},
    {kRoot, "Quit", ""},  // never with its own (empty) arguments: it would end the window
    {kPlayer, "Next", ""},
    {kPlayer, "Previous", ""},
    {kPlayer, "Pause", ""},
    {kPlayer, "PlayPause", ""},
    {kPlayer, "Stop", ""},
    {kPlayer, "Play", ""},
    {kPlayer, "Seek", "x"},
    {kPlayer, "SetPosition", "ox"},
    {kPlayer, "OpenUri", "s"},
    {kProperties, "Get", "ss"},
    {kProperties, "GetAll", "s"},
    {kProperties, "Set", "ssv"},
    {QStringLiteral("org.freedesktop.DBus.Introspectable"), "Introspect", ""},
    {QStringLiteral("org.freedesktop.DBus.Peer"), "Ping", ""},
    {kHandOver, "Open", "aay"},
    {kPlayer, "Frobnicate", ""},
    {QString(), "OpenUri", "s"},  // no interface named: found by its name
};

const char* const kPropertyNames[] = {
    "PlaybackStatus", "Rate",       "MinimumRate",         "MaximumRate", "Metadata",   "Volume",
    "Position",       "CanPlay",    "CanControl",          "Shuffle",     "LoopStatus", "Identity",
    "CanQuit",        "Fullscreen", "SupportedUriSchemes", "objectName",  "",
};

class Storm {
public:
    Storm(uint32_t seed, const TempDir& dir, const std::string& song) : random_(seed) {
        const std::string fifo = dir.Path("fifo.mp3");
        mkfifo(fifo.c_str(), 0600);
        const std::string notes = dir.Path("notes.mp3");
        WriteBytes(notes, Bytes(3000, 'n'));
        paths_ = {song,
                  song + std::string("\0/../../etc/passwd", 18),
                  song + "/../" + fs::path(song).filename().string(),
                  fifo,
                  notes,
                  dir.Path("missing.mp3"),
                  dir.dir,
                  "/dev/zero",
                  "/dev/urandom",
                  "/dev/null",
                  "/dev/stdin",
                  "/proc/self/mem",
                  "relative.mp3",
                  "",
                  std::string(5000, 'a')};
        for (const std::string& path : paths_)
            if (path.find('\0') == std::string::npos)
                uris_ << QString::fromLatin1(FileUriFromPath(path));
        uris_ << QString::fromLatin1(FileUriFromPath(song)) + QStringLiteral("%00/../../etc/passwd")
              << QString::fromLatin1(FileUriFromPath(dir.dir)) + QStringLiteral("/x%2F..%2Fy.mp3")
              << QStringLiteral("file://elsewhere/x.mp3") << QStringLiteral("https://a.b/c.mp3")
              << QStringLiteral("file:") << QStringLiteral("file:///%")
              << QStringLiteral("file:///%G0") << QString();
    }

    QDBusMessage NextCall(QString& what) {
        const Member& member = kMembers[Below(std::size(kMembers))];
        const QString path = Chance(20) ? ObjectPath().path() : kPath;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, path, member.interface,
                                                           QString::fromLatin1(member.name));
        QVariantList arguments;
        const bool asTaken = Chance(60) && !(member.name == std::string_view("Quit"));
        if (asTaken) {
            for (const char* type = member.signature; *type; ++type)
                arguments << Argument(member, type);
        } else {
            // Any number of values of any type; Quit always gets at least one.
            const int count = int(Below(4)) + (member.name == std::string_view("Quit"));
            for (int i = 0; i < count; ++i) arguments << AnyValue(2);
        }
        call.setArguments(arguments);
        what = QStringLiteral("%1 %2.%3(")
                   .arg(path, member.interface, QString::fromLatin1(member.name));
        for (const QVariant& argument : arguments)
            what += QString::fromLatin1(argument.metaType().name()) + QStringLiteral(" ") +
                    argument.toString().left(80) + QStringLiteral(", ");
        what += QStringLiteral(")");
        return call;
    }

private:
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    bool Chance(int percent) { return int(Below(100)) < percent; }

    // An argument of the member's own type, with a value chosen to hurt.
    QVariant Argument(const Member& member, const char*& type) {
        switch (*type) {
            case 'x':
                return QVariant::fromValue(Int64());
            case 'o':
                return QVariant::fromValue(ObjectPath());
            case 'v':
                return QVariant::fromValue(QDBusVariant(AnyValue(2)));
            case 'a':
                type += 2;  // "aay": the hand-over's paths
                return QVariant::fromValue(BytePaths());
            default:
                break;
        }
        if (member.name == std::string_view("OpenUri")) return Uri();
        const bool interfaceName = type == member.signature;
        if (member.interface == kProperties && interfaceName) {
            const QString names[] = {kRoot,       kPlayer,   kHandOver,
                                     kProperties, QString(), QStringLiteral("org.nope")};
            return names[Below(std::size(names))];
        }
        if (member.interface == kProperties && Chance(90))
            return QString::fromLatin1(kPropertyNames[Below(std::size(kPropertyNames))]);
        return Text();
    }

    qlonglong Int64() {
        const qlonglong values[] = {std::numeric_limits<qlonglong>::min(),
                                    std::numeric_limits<qlonglong>::max(),
                                    0,
                                    -1,
                                    1000000,
                                    -5000000,
                                    qlonglong(std::numeric_limits<int32_t>::max()) * 1000 + 1};
        return Chance(70) ? values[Below(std::size(values))] : qlonglong(random_());
    }

    double Double() {
        const double values[] = {std::nan(""),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 0.0,
                                 -0.0,
                                 1.0,
                                 0.5,
                                 -1.0,
                                 1e308,
                                 std::numeric_limits<double>::denorm_min()};
        return Chance(80) ? values[Below(std::size(values))]
                          : std::uniform_real_distribution<double>(-10, 10)(random_);
    }

    QDBusObjectPath ObjectPath() {
        const char* const paths[] = {"/",
                                     "/org/mpris/MediaPlayer2",
                                     "/org/mpris/MediaPlayer2/TrackList/NoTrack",
                                     "/org/zirvak/Zirvak/Track/0",
                                     "/org/zirvak/Zirvak/Track/1",
                                     "/org/zirvak/Zirvak/Track/99999999999999999999",
                                     "/org/mpris/MediaPlayer2/x",
                                     "/a/b_c/D9"};
        return QDBusObjectPath(QString::fromLatin1(paths[Below(std::size(paths))]));
    }

    QString Text() {
        switch (Below(5)) {
            case 0:
                return QString();
            case 1:
                return QString(int(Below(100) == 0 ? 1 << 20 : 300), QChar(u'\u00e7'));
            case 2:
                return Uri();
            default: {
                QString text;
                const size_t length = Below(40);
                for (size_t i = 0; i < length; ++i)
                    text += QChar(char16_t(1 + Below(0xD7FF)));  // any character but NUL
                return text;
            }
        }
    }

    QString Uri() { return uris_[qsizetype(Below(size_t(uris_.size())))]; }

    QByteArrayList BytePaths() {
        QByteArrayList list;
        const size_t count = Below(4);
        for (size_t i = 0; i < count; ++i) {
            const std::string& path = paths_[Below(paths_.size())];
            list << QByteArray(path.data(), qsizetype(path.size()));
        }
        return list;
    }

    // A value of any type the bus carries, nested up to `depth` deep.
    QVariant AnyValue(int depth) {
        switch (Below(depth > 0 ? 17 : 13)) {
            case 0:
                return Chance(50);
            case 1:
                return QVariant::fromValue(uchar(random_()));
            case 2:
                return QVariant::fromValue(short(random_()));
            case 3:
                return QVariant::fromValue(ushort(random_()));
            case 4:
                return QVariant::fromValue(int(random_()));
            case 5:
                return QVariant::fromValue(uint(random_()));
            case 6:
                return QVariant::fromValue(Int64());
            case 7:
                return QVariant::fromValue(qulonglong(Int64()));
            case 8:
            case 9:
                return Double();
            case 10:
                return Text();
            case 11:
                return QVariant::fromValue(ObjectPath());
            case 12: {
                const char* const signatures[] = {"v", "d", "a{sv}", "(xx)", "aay"};
                return QVariant::fromValue(
                    QDBusSignature(QString::fromLatin1(signatures[Below(std::size(signatures))])));
            }
            case 13:
                return QStringList{Text(), Uri()};
            case 14: {
                QVariantMap map;
                map.insert(Text().left(20), AnyValue(depth - 1));
                return map;
            }
            case 15:
                return QVariant::fromValue(QDBusVariant(AnyValue(depth - 1)));
            default:
                return QVariant::fromValue(BytePaths());
        }
    }

    std::mt19937 random_;
    std::vector<std::string> paths_;
    QStringList uris_;
};

QVariant Property(const QDBusConnection& bus, const QString& name) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kPlayer << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, kAnswerWithinMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QString PlayingUrl(const QDBusConnection& bus) {
    const QVariant metadata = Property(bus, QStringLiteral("Metadata"));
    QVariantMap map;
    if (metadata.canConvert<QDBusArgument>()) metadata.value<QDBusArgument>() >> map;
    return map.value(QStringLiteral("xesam:url")).toString();
}

TEST(HostileBus, EveryCallIsAnsweredAndTheWindowPlaysOn) {
    ASSERT_NE(getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run inside dbus-run-session";
    int argc = 1;
    char name[] = "hostile_bus_test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<QByteArrayList>();
    const uint32_t seed = TestSeed();

    TempDir dir;
    UseWideOffscreenScreen(dir);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const PrivateHome home(dir.dir);
    fs::create_directories(home.config + "/zirvak");
    const std::string victim = WriteBytes(dir.Path("victim"), Bytes{'m', 'i', 'n', 'e'});
    fs::create_symlink(victim, home.config + "/zirvak/settings");
    const std::string song =
        WriteBytes(dir.Path("song.wav"), MakeWav({}, Pcm16Pattern(44100 * 20, 2)));

    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    Process app({ZIRVAK_APP}, "", dir.Path("err"));
    ASSERT_TRUE(WaitFor([&] { return bus.interface()->isServiceRegistered(kService).value(); },
                        std::chrono::seconds(20), kPollEvery))
        << "the window never came on the bus";

    Storm storm(seed, dir, song);
    std::map<QString, int> errors;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) {
        QString what;
        const QDBusMessage call = storm.NextCall(what);
        const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerWithinMs);
        const bool answered =
            reply.type() == QDBusMessage::ReplyMessage ||
            (reply.type() == QDBusMessage::ErrorMessage &&
             reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NoReply") &&
             reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"));
        ASSERT_TRUE(answered) << "call " << i << " " << what.toStdString() << ": "
                              << reply.errorName().toStdString();
        if (reply.type() == QDBusMessage::ErrorMessage) ++errors[reply.errorName()];
        ASSERT_EQ(app.Wait(0), -1) << "the window ended at call " << i << " " << what.toStdString();
    }
    std::printf("%d calls in %.1f s; the errors:\n", kCalls,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    for (const auto& [error, count] : errors) std::printf("%6d %s\n", count, qPrintable(error));
    // The window's own errors only: none of Qt's for a call it could not fit to a property.
    EXPECT_EQ(errors.count(QStringLiteral("org.qtproject.QtDBus.Error.InternalError")), 0u);

    // Still a player: it plays the file it is given and says so.
    const QString url = QString::fromLatin1(FileUriFromPath(song));
    QDBusMessage open =
        QDBusMessage::createMethodCall(kService, kPath, kPlayer, QStringLiteral("OpenUri"));
    open << url;
    ASSERT_EQ(bus.call(open, QDBus::Block, kAnswerWithinMs).type(), QDBusMessage::ReplyMessage);
    QDBusMessage play =
        QDBusMessage::createMethodCall(kService, kPath, kPlayer, QStringLiteral("Play"));
    bus.call(play, QDBus::Block, kAnswerWithinMs);
    EXPECT_TRUE(WaitFor(
        [&] {
            return Property(bus, QStringLiteral("PlaybackStatus")).toString() ==
                       QStringLiteral("Playing") &&
                   PlayingUrl(bus) == url;
        },
        std::chrono::seconds(5), kPollEvery))
        << Property(bus, QStringLiteral("PlaybackStatus")).toString().toStdString() << " "
        << PlayingUrl(bus).toStdString();

    // The settings were written as a file of their own, never through the planted symlink.
    EXPECT_TRUE(ReadFileBytes(victim) == (Bytes{'m', 'i', 'n', 'e'}));
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(10000), 0);
}

}  // namespace
}  // namespace zirvak::test
