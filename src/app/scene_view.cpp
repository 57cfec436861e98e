#include "scene_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zirvak {

QImage EnlargeNearest(const QImage& source, int factor) {
    if (factor <= 1 || source.isNull()) return source;
    const QImage src = source.convertToFormat(QImage::Format_RGB32);
    QImage out(src.width() * factor, src.height() * factor, QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* first = reinterpret_cast<QRgb*>(out.scanLine(y * factor));
        for (int x = 0; x < src.width(); ++x)
            for (int k = 0; k < factor; ++k) first[x * factor + k] = in[x];
        for (int k = 1; k < factor; ++k)
            std::memcpy(out.scanLine(y * factor + k), first, size_t(out.bytesPerLine()));
    }
    return out;
}

SceneView::SceneView(QSize pictureSize, QWidget* parent)
    : QWidget(parent), pictureSize_(pictureSize) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the scene covers every pixel
    SetZoom(1);
}

// The widget's size in its own units: the enlarged picture in device pixels, divided by the
// pixel ratio.
QSize SceneView::SizeAt(QSize pictureSize, int zoom, double ratio) {
    return {int(std::lround(pictureSize.width() * zoom / ratio)),
            int(std::lround(pictureSize.height() * zoom / ratio))};
}

void SceneView::SetZoom(int zoom) {
    zoom_ = zoom;
    setFixedSize(SizeAt(pictureSize_, zoom, devicePixelRatioF()));
    update();
}

namespace {

const QString kSongSeparator = QStringLiteral(" \u2013 ");

}  // namespace

void SceneView::SetStatus(const StatusLines& lines) {
    if (lines == status_) return;
    status_ = lines;
    update();
}

QString SceneView::status() const {
    if (status_.empty()) return {};
    QString song = status_.artist;
    if (!status_.title.isEmpty())
        song += (song.isEmpty() ? QString() : kSongSeparator) + status_.title;
    return song.isEmpty() ? status_.details : song + QLatin1Char('\n') + status_.details;
}

QString SceneView::FitSongLine(const QString& artist, const QString& title,
                               const QFontMetrics& metrics, int width) {
    if (artist.isEmpty()) return metrics.elidedText(title, Qt::ElideRight, width);
    if (title.isEmpty()) return metrics.elidedText(artist, Qt::ElideRight, width);
    const QString whole = artist + kSongSeparator + title;
    if (metrics.horizontalAdvance(whole) <= width) return whole;
    // The title whole, and what room is left for the artist: at least a few letters of it, or
    // the title alone.
    const int room = width - metrics.horizontalAdvance(kSongSeparator + title);
    if (room >= metrics.horizontalAdvance(QStringLiteral("Abc\u2026")))
        return metrics.elidedText(artist, Qt::ElideRight, room) + kSongSeparator + title;
    return metrics.elidedText(title, Qt::ElideRight, width);
}

void SceneView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const double ratio = devicePixelRatioF();
    if (zoom_ == 1 && ratio == 1.0) {
        painter.drawImage(event->rect(), scene_, event->rect());
    } else {
        // Only the part of the picture under the exposed area is enlarged: a tick repaints the
        // lights and the sprite's surroundings, not the whole picture.
        const QRect exposed = event->rect();
        const double scale = zoom_ / ratio;  // widget units per picture pixel
        const int x0 = std::max(0, int(std::floor(exposed.left() / scale)));
        const int y0 = std::max(0, int(std::floor(exposed.top() / scale)));
        const int x1 = std::min(scene_.width(), int(std::ceil((exposed.right() + 1) / scale)));
        const int y1 = std::min(scene_.height(), int(std::ceil((exposed.bottom() + 1) / scale)));
        QImage part = EnlargeNearest(scene_.copy(x0, y0, x1 - x0, y1 - y0), zoom_);
        part.setDevicePixelRatio(ratio);
        painter.drawImage(QPointF(x0 * scale, y0 * scale), part);
    }
    if (status_.empty()) return;
    // A dark band along the bottom edge, the text in it.
    QFont font = painter.font();
    font.setPixelSize(std::max(11, height() / 22));
    painter.setFont(font);
    // One line each, long names cut short with an ellipsis rather than spilling over.
    const QFontMetrics metrics(font);
    const int room = width() - 8;
    QStringList lines;
    if (!status_.artist.isEmpty() || !status_.title.isEmpty())
        lines << FitSongLine(status_.artist, status_.title, metrics, room);
    lines << metrics.elidedText(status_.details, Qt::ElideRight, room);
    const int band = metrics.height() * int(lines.size()) + 8;
    const QRect area(0, height() - band, width(), band);
    painter.fillRect(area, QColor(0, 0, 0, 160));
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(area, Qt::AlignCenter, lines.join(QLatin1Char('\n')));
}

}  // namespace zirvak
