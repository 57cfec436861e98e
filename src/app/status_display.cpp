#include "status_display.h"

#include <utility>

#include "scene_view.h"
#include "status_lines.h"
#include "transport_commands.h"

namespace zirvak {

StatusDisplay::StatusDisplay(SceneView& view, const TransportCommands& commands,
                             std::function<bool()> pictureSeen)
    : view_(view), commands_(commands), pictureSeen_(std::move(pictureSeen)) {
    statusTimer_.setSingleShot(true);
    QObject::connect(&statusTimer_, &QTimer::timeout, &statusTimer_, [this] { Hide(); });
}

void StatusDisplay::Ask() {
    statusAsked_ = true;
    statusTimer_.start(kShownMs);
}

void StatusDisplay::StatusChanged() {
    // Asked for, the lines show even unseen; kept up to date on ticks only while they are seen.
    if (statusAsked_ || (statusTimer_.isActive() && pictureSeen_()))
        view_.SetStatus(StatusLinesOf(commands_.status()));
    statusAsked_ = false;
}

void StatusDisplay::CatchUp() {
    if (statusTimer_.isActive()) view_.SetStatus(StatusLinesOf(commands_.status()));
}

// While paused the display stays: it says so, and where the song stands.
void StatusDisplay::Hide() {
    if (commands_.status().playback == PlaybackStatus::Paused) return;
    view_.SetStatus({});
}

}  // namespace zirvak
