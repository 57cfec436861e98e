// zirvak: the player's window. Plays the files (and folders) named on the command line, one
// after another.
//   zirvak [FILE|FOLDER...]
//   zirvak --screenshot OUT.png [--ticks N] [FILE...]   plays the files (if any), runs N
//                                                       animation ticks, saves the window's
//                                                       content, quits
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "close_on_signals.h"
#include "main_dialog.h"
#include "sdl_audio_device.h"

namespace {

constexpr const char* kUsage =
    "usage: zirvak [FILE|FOLDER...]\n"
    "       zirvak --screenshot OUT.png [--ticks N] [FILE...]\n";

// Saves the window after `ticks` animation ticks (at once without a flight to wait for) and
// closes it; `status` becomes 1 when the picture cannot be written.
void TakeScreenshot(zirvak::MainDialog& window, const QString& out, int ticks, int& status) {
    auto take = [&window, out, &status] {
        if (!window.isVisible()) return;  // taken already
        if (!window.grab().save(out)) {
            std::fprintf(stderr, "zirvak: cannot write %s\n", out.toLocal8Bit().constData());
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zirvak"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zirvak-256.png")));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A music player with a butterfly."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the window to <png> and quit."),
                                        QStringLiteral("png"));
    const QCommandLineOption ticks(QStringLiteral("ticks"),
                                   QStringLiteral("Animation ticks before the screenshot."),
                                   QStringLiteral("n"), QStringLiteral("60"));
    parser.addOption(screenshot);
    parser.addOption(ticks);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("MP3 or WAV files, or folders of them, to play."),
                                 QStringLiteral("[FILE|FOLDER...]"));
    parser.process(app);
    bool ticksValid = false;
    const int tickCount = parser.value(ticks).toInt(&ticksValid);
    if (!ticksValid || tickCount < 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    zirvak::SdlAudioDevice device;
    zirvak::PlayerEngine engine(device);
    zirvak::MainDialog window(engine);
    window.show();
    zirvak::CloseOnSignals(window);

    std::vector<std::string> files;
    for (const QString& file : parser.positionalArguments()) files.push_back(file.toStdString());
    // A file that cannot play is named in the window's message, and on stderr.
    if (!files.empty() && window.commands().OpenFiles(files) != zirvak::kOpenStarted &&
        parser.isSet(screenshot))
        return 1;
    int status = 0;
    if (parser.isSet(screenshot))
        TakeScreenshot(window, parser.value(screenshot), tickCount, status);
    const int code = app.exec();
    return status != 0 ? status : code;
}
