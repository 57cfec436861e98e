// How large the window may grow on its screen, and where it must lie to be wholly on it.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace zirvak {

// The largest zoom, from `maxZoom` down to 1, at which the picture (`picture` pixels on a screen
// of pixel `ratio`), with what the window holds `besides` it and the window manager's `frame`
// around, fits within `area`.
int LargestFittingZoom(QSize picture, double ratio, QSize besides, QMargins frame, QRect area,
                       int maxZoom);

// Where a window whose frame covers `frame` goes to lie within `area`; where it cannot fit, its
// top left (the title bar and the menu) stays in reach.
QPoint PlaceWithin(QRect frame, QRect area);

}  // namespace zirvak
