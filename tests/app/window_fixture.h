// What the window's tests share: the one QApplication (on Qt's offscreen platform, with a
// screen large enough for every zoom), a window on a hand-stepped device with a settings folder
// of its own, songs to play, and ways to look at and act on the window as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <string>
#include <vector>

#include "main_dialog.h"
#include "player_fixtures.h"
#include "scene_view.h"
#include "support/private_home.h"
#include "wide_screen.h"

namespace zirvak::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "app_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        static const TempDir dir;
        UseWideOffscreenScreen(dir);
        return new QApplication(argc, argv);
    }();
    return *app;
}

class MainDialogTest : public ::testing::Test {
protected:
    QApplication& app = App();  // before any widget
    TempDir home;
    const PrivateHome privateHome{home.dir};  // set before the window reads its settings
    TestAudioDevice device;
    PlayerEngine engine{device};
    MainDialog window{engine};
    TempDir dir;
    // Three chunks: its last is not queued while the device is not stepped.
    const std::string song =
        WriteBytes(dir.Path("song.wav"), MakeWav({}, Pcm16Pattern(kWavChunkBytes * 5 / 2 / 4, 2)));
};

// Songs a minute long (8 kHz mono), so seeks land well inside them.
inline std::string MinuteSong(const TempDir& dir, const std::string& name) {
    WavParams mono8k;
    mono8k.channels = 1;
    mono8k.sampleRate = 8000;
    return WriteBytes(dir.Path(name), MakeWav(mono8k, Pcm16Pattern(60 * 8000, 1)));
}

// The picture as the window shows it, display lines and all.
inline QImage Grab(const MainDialog& window) {
    return const_cast<SceneView*>(window.view())
        ->grab()
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The message boxes the window shows now, their texts; closes them.
inline std::vector<std::string> TakeMessages(MainDialog& window) {
    std::vector<std::string> texts;
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
        if (box->isVisible()) texts.push_back(box->text().toStdString());
        box->close();
        delete box;
    }
    return texts;
}

// A file dragged onto the window and dropped, as Qt delivers it: the drop goes to the widget
// that took the drag's entry. The URI list as a file manager writes it, escapes and all.
inline void DropUriList(MainDialog& window, const QByteArray& uriList) {
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), uriList);
    QDragEnterEvent enter(QPoint(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

inline void Drop(MainDialog& window, const std::string& path) {
    DropUriList(window, QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded() + "\r\n");
}

}  // namespace zirvak::test
