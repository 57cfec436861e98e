#include "screen_fit.h"

#include <algorithm>

#include "scene_view.h"

namespace zirvak {

int LargestFittingZoom(QSize picture, double ratio, QSize besides, QMargins frame, QRect area,
                       int maxZoom) {
    for (int zoom = maxZoom; zoom > 1; --zoom) {
        const QSize window = SceneView::SizeAt(picture, zoom, ratio) + besides +
                             QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
        if (window.width() <= area.width() && window.height() <= area.height()) return zoom;
    }
    return 1;
}

QPoint PlaceWithin(QRect frame, QRect area) {
    QPoint topLeft = frame.topLeft();
    topLeft.setX(std::max(std::min(topLeft.x(), area.right() + 1 - frame.width()), area.left()));
    topLeft.setY(std::max(std::min(topLeft.y(), area.bottom() + 1 - frame.height()), area.top()));
    return topLeft;
}

}  // namespace zirvak
