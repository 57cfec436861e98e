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

void SceneView::SetStatus(const QString& text) {
    if (text == status_) return;
    status_ = text;
    update();
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
    if (status_.isEmpty()) return;
    // A dark band along the bottom edge, the text in it.
    QFont font = painter.font();
    font.setPixelSize(std::max(11, height() / 22));
    painter.setFont(font);
    // One line each, long titles cut short with an ellipsis rather than spilling over.
    const QFontMetrics metrics(font);
    QStringList lines = status_.split(QLatin1Char('\n'));
    for (QString& line : lines) line = metrics.elidedText(line, Qt::ElideRight, width() - 8);
    const int band = metrics.height() * int(lines.size()) + 8;
    const QRect area(0, height() - band, width(), band);
    painter.fillRect(area, QColor(0, 0, 0, 160));
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(area, Qt::AlignCenter, lines.join(QLatin1Char('\n')));
}

}  // namespace zirvak
