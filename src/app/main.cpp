// zirvak: the player's window. Opens and plays a file named on the command line.
//   zirvak [FILE]
//   zirvak --screenshot OUT.png [--ticks N] [FILE]   plays FILE (if any), runs N animation
//                                                    ticks, saves the window's content, quits
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "close_on_signals.h"
#include "main_dialog.h"
#include "sdl_audio_device.h"

namespace {

constexpr const char* kUsage =
    "usage: zirvak [FILE]\n"
    "       zirvak --screenshot OUT.png [--ticks N] [FILE]\n";

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
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("MP3 or WAV file to play."));
    parser.process(app);
    bool ticksValid = false;
    const int tickCount = parser.value(ticks).toInt(&ticksValid);
    if (!ticksValid || tickCount < 0 || parser.positionalArguments().size() > 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    zirvak::SdlAudioDevice device;
    zirvak::PlayerEngine engine(device);
    zirvak::MainDialog window(engine);
    window.show();
    zirvak::CloseOnSignals(window);

    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        const std::string path = files.first().toStdString();
        const int32_t result = window.commands().OpenFile(path);
        if (result != zirvak::kOpenStarted) {
            std::fprintf(stderr, "zirvak: %s\n", engine.DescribeFailure(path, result).c_str());
            if (parser.isSet(screenshot)) return 1;
        }
    }
    int status = 0;
    if (parser.isSet(screenshot))
        TakeScreenshot(window, parser.value(screenshot), tickCount, status);
    const int code = app.exec();
    return status != 0 ? status : code;
}
