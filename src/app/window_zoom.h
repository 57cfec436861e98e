// The window's zoom and its place on the screen: the picture enlarged by whole pixels (1 to 4,
// or the screen's own pixel ratio), never beyond what the screen the window is on holds, and the
// window, frame and all, kept on that screen. The zoom asked for is kept in the settings, even
// where this screen shows less of it.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>

class QWidget;

namespace zirvak {

class SceneView;
class TransportCommands;

class WindowZoom : public QObject {
public:
    // `window` holds `view`; both outlive this object (the window's own), as do the `commands`
    // that keep the settings.
    WindowZoom(QWidget& window, SceneView& view, TransportCommands& commands);

    // The zoom in use (1..4).
    int zoom() const;
    // Asks for a zoom (0: follow the screen); larger than the screen holds changes nothing.
    void SetZoom(int zoom);
    // The window sized for the kept zoom, and put in the middle of the screen: once, when made.
    void OpenCentred();
    // The window's moveEvent and showEvent: the frame and the screen, once known, size and place
    // it again.
    void WindowMoved();
    void WindowShown();

private:
    void ApplyZoom();
    QMargins Decorations() const;
    QRect AvailableArea() const;
    int LargestFittingZoom() const;
    void KeepOnScreen();

    QWidget& window_;
    SceneView& view_;
    TransportCommands& commands_;
    bool framed_ = false;  // the window manager's frame has been seen
};

}  // namespace zirvak
