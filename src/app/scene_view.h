// The window's face: paints the composed scene, enlarged by a whole zoom factor pixel for pixel,
// and over it, for a moment after the user acts, a line saying where playback stands. The
// line is drawn here, over the picture on the screen, never into the scene's own buffers.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include "status_lines.h"

namespace zirvak {

class SceneView : public QWidget {
    Q_OBJECT
public:
    explicit SceneView(QSize pictureSize, QWidget* parent = nullptr);
    // The latest composed scene; the caller says which parts changed through update().
    void SetScene(QImage scene) { scene_ = std::move(scene); }
    const QImage& scene() const { return scene_; }

    // Each picture pixel becomes zoom × zoom pixels of the screen (device pixels, so at a
    // pixel ratio of 2 a zoom of 2 keeps the widget's size and shows every pixel sharp).
    void SetZoom(int zoom);
    int zoom() const { return zoom_; }
    QSize pictureSize() const { return pictureSize_; }
    // The widget's size for a picture of `pictureSize` at `zoom` on a screen of pixel `ratio`.
    static QSize SizeAt(QSize pictureSize, int zoom, double ratio);

    // The on-picture display; empty lines hide it.
    void SetStatus(const StatusLines& lines);
    // Its text as shown, when nothing needs cutting: "Artist – Title", a line break, the details.
    QString status() const;

    // "Artist – Title" within `width`: when it is too long the artist is cut short first, and
    // only a title that does not fit alone is cut itself.
    static QString FitSongLine(const QString& artist, const QString& title,
                               const QFontMetrics& metrics, int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize pictureSize_;
    QImage scene_;
    int zoom_ = 1;
    StatusLines status_;
};

// `source` enlarged `factor` times, each pixel repeated factor × factor times.
QImage EnlargeNearest(const QImage& source, int factor);

}  // namespace zirvak
