// zirvak: the player's window. Plays the files (and folders) named on the command line, one
// after another; when Zirvak already runs, hands them to its window instead.
//   zirvak [--new-instance] [FILE|FOLDER...]
//   zirvak --screenshot OUT.png [--ticks N] [FILE...]   plays the files (if any), runs N
//                                                       animation ticks, saves the window's
//                                                       content, quits
//   zirvak --help | --version
#include <QApplication>
#include <QDBusConnection>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bus_probe.h"
#include "close_on_signals.h"
#include "command_line.h"
#include "cover_cache.h"
#include "desktop_bus.h"
#include "main_dialog.h"
#include "messages.h"
#include "mpris_service.h"
#include "readable_text.h"
#include "sdl_audio_device.h"
#include "zirvak_version.h"

namespace {

// Without a display Qt ends the program (an abort, and advice to reinstall it): one line that
// says what happened and what plays without one, then exit status 1. What Qt says while it
// starts is its own business otherwise.
void QuietStartupMessages(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) return;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string why;
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0'))
        why = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    else
        why = std::string("the display ") + (x11 && *x11 ? x11 : wayland) + " cannot be reached";
    std::fprintf(stderr, "zirvak: %s\n", zirvak::Words(zirvak::Say::kNoDisplay, {}, why).c_str());
    std::_Exit(1);
}

// Saves the window after `ticks` animation ticks (at once without a flight to wait for) and
// closes it; `status` becomes 1 when the picture cannot be written.
void TakeScreenshot(zirvak::MainDialog& window, const QString& out, int ticks, int& status) {
    auto take = [&window, out, &status] {
        if (!window.isVisible()) return;  // taken already
        if (!window.grab().save(out)) {
            std::fprintf(stderr, "zirvak: cannot write %s\n",
                         zirvak::PrintableText(out.toLocal8Bit().toStdString()).c_str());
            status = 1;
        }
        window.close();
    };
    auto seen = std::make_shared<int>(0);
    QObject::connect(&window, &zirvak::MainDialog::ticked, &window, [seen, ticks, take] {
        if (++*seen >= ticks) take();
    });
    // Without a flight (no file, or the butterfly at rest) no tick comes: take it as it is.
    const int patienceMs = ticks * int(zirvak::Animation::tickInterval) + 2000;
    QTimer::singleShot(window.animationRunning() && ticks > 0 ? patienceMs : 0, &window, take);
}

}  // namespace

int main(int argc, char** argv) {
    // The whole command line is Zirvak's: it is read before Qt starts, so --help, --version and
    // usage errors need no display. Qt's own settings come from its environment variables
    // (QT_QPA_PLATFORM, QT_SCALE_FACTOR...).
    const zirvak::AppOptions options = zirvak::ParseAppCommandLine({argv + 1, argv + argc});
    if (!options.error.empty()) {
        std::fprintf(stderr, "zirvak: %s\n%s", zirvak::PrintableText(options.error).c_str(),
                     zirvak::kAppUsage);
        return 2;
    }
    if (options.help) {
        std::printf("%s\n%s", zirvak::kAppUsage, zirvak::AppHelp().c_str());
        return 0;
    }
    if (options.version) {
        std::printf("zirvak %s\n", zirvak::kVersion);
        return 0;
    }
    // A bus that takes connections but never answers would hold Qt's connection, and the window,
    // forever: one that does not answer in time counts as none, for Qt's own parts too.
    std::string busWhy;
    const bool busAnswers = zirvak::SessionBusAnswers(busWhy);
    if (!busAnswers) setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);

    int qtArgc = 1;
    qInstallMessageHandler(QuietStartupMessages);
    QApplication app(qtArgc, argv);
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName(QStringLiteral("Zirvak"));
    QApplication::setApplicationVersion(QString::fromLatin1(zirvak::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("zirvak"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zirvak-256.png")));

    // A screenshot is a scripted run of its own: it neither hands over nor takes the name.
    const bool scripted = options.screenshot.has_value();
    const QDBusConnection bus = scripted || !busAnswers ? QDBusConnection(QStringLiteral("none"))
                                                        : QDBusConnection::sessionBus();
    if (!options.newInstance && !scripted && zirvak::HandOverToRunningWindow(bus, options.files))
        return 0;

    zirvak::SdlAudioDevice device;
    zirvak::PlayerEngine engine(device);
    zirvak::MainDialog window(engine);
    window.commands().session().UseCoverFolder(zirvak::CoverCacheFolder());
    window.show();
    zirvak::CloseOnSignals(window);
    if (!scripted) {
        auto* mpris = new zirvak::MprisService(window);
        const QString why = zirvak::PublishOnBus(*mpris, bus, !options.newInstance);
        if (!why.isEmpty()) {
            const zirvak::Say notice =
                bus.isConnected() ? zirvak::Say::kNotOnSessionBus : zirvak::Say::kNoSessionBus;
            std::fprintf(
                stderr, "zirvak: %s\n",
                zirvak::Words(notice, {}, busAnswers ? why.toStdString() : busWhy).c_str());
        }
    }

    // A file that cannot play is named in the window's message, and on stderr.
    if (options.replayGain) window.commands().UseReplayGainMode(*options.replayGain);
    if (options.gapless) window.commands().UseGapless(*options.gapless);
    if (!options.files.empty() &&
        window.commands().OpenFiles(options.files) != zirvak::kOpenStarted && scripted)
        return 1;
    int status = 0;
    if (scripted)
        TakeScreenshot(window, QString::fromStdString(*options.screenshot), options.ticks, status);
    const int code = app.exec();
    return status != 0 ? status : code;
}
