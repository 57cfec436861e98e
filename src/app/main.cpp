// zirvak: the player's window. Opens and plays a file named on the command line.
//   zirvak [FILE]
//   zirvak --screenshot OUT.png --ticks N FILE   plays FILE, runs N animation ticks, saves the
//                                                window's content and quits
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "main_dialog.h"
#include "sdl_audio_device.h"

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

    zirvak::SdlAudioDevice device;
    zirvak::PlayerEngine engine(device);
    zirvak::MainDialog window(engine);
    window.show();

    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        const std::string path = files.first().toStdString();
        const int32_t result = window.commands().OpenFile(path);
        if (result != zirvak::kOpenStarted) {
            std::fprintf(stderr, "zirvak: %s\n", engine.DescribeFailure(path, result).c_str());
            if (parser.isSet(screenshot)) return 1;
        }
    }
    if (parser.isSet(screenshot)) {
        const QString out = parser.value(screenshot);
        const int wanted = parser.value(ticks).toInt();
        int seen = 0;
        QObject::connect(&window, &zirvak::MainDialog::ticked, &app, [&] {
            if (++seen < wanted) return;
            if (!window.grab().save(out))
                std::fprintf(stderr, "zirvak: cannot write %s\n", out.toLocal8Bit().constData());
            window.close();
        });
    }
    return app.exec();
}
