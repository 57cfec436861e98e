#include "scene_view.h"

#include <QPaintEvent>
#include <QPainter>

namespace zirvak {

SceneView::SceneView(QSize pictureSize, QWidget* parent) : QWidget(parent) {
    setFixedSize(pictureSize);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the scene covers every pixel
}

void SceneView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), scene_, event->rect());
}

}  // namespace zirvak
