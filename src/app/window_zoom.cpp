#include "window_zoom.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "scene_view.h"
#include "screen_fit.h"
#include "settings.h"
#include "transport_commands.h"

namespace zirvak {

WindowZoom::WindowZoom(QWidget& window, SceneView& view, TransportCommands& commands)
    : window_(window), view_(view), commands_(commands) {}

int WindowZoom::zoom() const {
    return view_.zoom();
}

// Zoom 0 follows the screen: one picture pixel to each pixel of the screen's own, so a screen
// with twice the pixels shows the picture twice as large and sharp. The zoom kept is the one
// asked for; the one shown is never larger than the screen the window is on holds.
void WindowZoom::SetZoom(int zoom) {
    // Growing past what the screen holds changes nothing, not even the zoom kept for another
    // screen.
    if (zoom > this->zoom() && zoom > LargestFittingZoom()) return;
    Settings settings = commands_.settings();
    settings.zoom = std::clamp(zoom, 0, Settings::kMaxZoom);
    commands_.UpdateSettings(settings);
    ApplyZoom();
}

void WindowZoom::OpenCentred() {
    // The client area is the picture, and the window does not grow beyond it.
    ApplyZoom();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window_.move(screen->availableGeometry().center() - window_.rect().center());
}

void WindowZoom::ApplyZoom() {
    int zoom = commands_.settings().zoom;
    if (zoom == 0)
        zoom = std::clamp(int(std::lround(window_.devicePixelRatioF())), 1, Settings::kMaxZoom);
    zoom = std::min(zoom, LargestFittingZoom());
    view_.SetZoom(zoom);
    window_.setMinimumSize(0, 0);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_.adjustSize();
    window_.setFixedSize(window_.sizeHint());
    KeepOnScreen();
}

// What the window manager adds around the window: known once it has framed the window; before
// that, a title bar and thin borders as most draw them.
QMargins WindowZoom::Decorations() const {
    const QRect frame = window_.frameGeometry(), inner = window_.geometry();
    if (frame != inner)
        return {inner.left() - frame.left(), inner.top() - frame.top(),
                frame.right() - inner.right(), frame.bottom() - inner.bottom()};
    const int border = 4;
    return {border, window_.style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border,
            border};
}

QRect WindowZoom::AvailableArea() const {
    const QScreen* on = window_.screen() ? window_.screen() : QGuiApplication::primaryScreen();
    return on ? on->availableGeometry() : QRect();
}

int WindowZoom::LargestFittingZoom() const {
    const QRect area = AvailableArea();
    if (area.isEmpty()) return Settings::kMaxZoom;
    // The menu bar and whatever else the window holds besides the picture.
    return zirvak::LargestFittingZoom(view_.pictureSize(), window_.devicePixelRatioF(),
                                      window_.sizeHint() - view_.size(), Decorations(), area,
                                      Settings::kMaxZoom);
}

// Moves the window, frame and all, back within the available area of its screen; where it
// cannot fit, its title bar and menu stay in reach at the top left.
void WindowZoom::KeepOnScreen() {
    const QRect area = AvailableArea();
    if (area.isEmpty()) return;
    const QRect frame = window_.geometry().marginsAdded(Decorations());
    const QPoint topLeft = PlaceWithin(frame, area);
    if (topLeft != frame.topLeft()) window_.move(topLeft);
}

// Until the window manager has framed the window, its size with the frame is a guess: once the
// frame is known, the zoom and the place are checked again. Later moves are the user's own.
void WindowZoom::WindowMoved() {
    if (!framed_ && window_.isVisible() && window_.frameGeometry() != window_.geometry()) {
        framed_ = true;
        QTimer::singleShot(0, this, &WindowZoom::ApplyZoom);
    }
}

void WindowZoom::WindowShown() {
    if (QWindow* handle = window_.windowHandle())
        connect(handle, &QWindow::screenChanged, this, &WindowZoom::ApplyZoom,
                Qt::UniqueConnection);
    QTimer::singleShot(0, this, &WindowZoom::ApplyZoom);
}

}  // namespace zirvak
