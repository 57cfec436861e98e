// The lines over the bottom of the picture that say where the song stands: shown for a second
// and a half after the user acts (a new song, a seek, the volume), and for as long as the song is
// paused; kept up to date on every tick while they show and the picture is seen.
#pragma once

#include <QTimer>
#include <functional>

namespace zirvak {

class SceneView;
class TransportCommands;

class StatusDisplay {
public:
    // `pictureSeen` tells whether the window's picture can be seen now (not minimised, shown).
    StatusDisplay(SceneView& view, const TransportCommands& commands,
                  std::function<bool()> pictureSeen);

    // How long the display stays after the user acts.
    static constexpr int kShownMs = 1500;

    // The command under way asks for the lines; they come with the status that follows it.
    void Ask();
    // A command or a tick has left a new status.
    void StatusChanged();
    // The picture is shown again after frames went by unseen: the lines as they stand now.
    void CatchUp();

private:
    void Hide();

    SceneView& view_;
    const TransportCommands& commands_;
    std::function<bool()> pictureSeen_;
    QTimer statusTimer_;        // hides the display
    bool statusAsked_ = false;  // the command under way asked for the lines to show
};

}  // namespace zirvak
