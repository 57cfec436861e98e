// The main window: the picture with the butterfly and the lights, a menu bar of five
// commands, the About box on right click or F1, and keys for what the menu does not hold
// (seeking, the volume, the next and previous song, the zoom), all from the shared table of user
// actions. It owns the scene and the animation; the commands drive the playback session. The
// engine's completions never reach this class: every 75 ms the animation tick reads the session's
// time and sounding beats as they stand, and the flight's frame is composed and shown.
#pragma once

#include <QMainWindow>
#include <QRegion>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "animation.h"
#include "message_board.h"
#include "player_engine.h"
#include "scene.h"
#include "scene_view.h"
#include "status_display.h"
#include "transport_commands.h"
#include "user_actions.h"
#include "window_zoom.h"

class QAction;

namespace zirvak {

class MainDialog : public QMainWindow, private CommandHost {
    Q_OBJECT
public:
    explicit MainDialog(PlayerEngine& engine, QWidget* parent = nullptr);
    ~MainDialog() override;

    TransportCommands& commands() { return *commands_; }
    // Replaces the standard Open dialog (tests, scripted runs).
    void SetFileChooser(std::function<std::vector<std::string>()> chooser) {
        chooser_ = std::move(chooser);
    }
    // How long the on-picture display stays after the user acts.
    static constexpr int kStatusShownMs = StatusDisplay::kShownMs;
    // The zoom in use (1..4) and the one the user chose (0: follow the screen).
    int zoom() const { return zoom_->zoom(); }
    void SetZoom(int zoom) { zoom_->SetZoom(zoom); }
    QAction* commandAction(CommandId id) const;
    bool animationRunning() const { return timer_.isActive(); }
    const SceneView* view() const { return view_; }
    // The lines of the message box, while it is open.
    QStringList messages() { return messages_.lines(); }
    const Animation& animation() const { return *animation_; }

    // Brings the window to the front of the desktop (a second start, the desktop's controls).
    void Raise();

signals:
    // After every animation tick.
    void ticked();
    // After every command and tick: the commands' status() says where the player stands.
    void statusChanged();

public slots:
    void ShowAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void Tick();

private:
    void CreateActions();
    void CreateKeys();
    void Act(UserAction action);
    void ShowComposedScene(const QRegion& changed);
    bool PictureSeen() const;
    void ShowPictureAgain();

    // CommandHost.
    std::vector<std::string> ChooseFiles() override;
    uint32_t TickCount() override;
    void StartTimer(uint32_t intervalMs) override;
    void StopTimer() override;
    void SetCaption(const std::string& caption) override;
    void ShowMessage(const std::string& text) override { messages_.Show(text); }
    void ShowOutputLost(const std::string& text) override { messages_.ShowOutputLost(text); }
    void ShowOutputBack(const std::string&) override { messages_.WithdrawOutputLost(); }
    void Quit() override;
    void ShowStatus() override { status_->Ask(); }
    void StatusChanged() override;
    void RunStarted() override { animation_->RestartFlight(); }

    std::unique_ptr<Scene> scene_;
    std::unique_ptr<Animation> animation_;
    std::unique_ptr<TransportCommands> commands_;
    std::function<std::vector<std::string>()> chooser_;
    std::map<CommandId, QAction*> actions_;
    QAction* aboutAction_ = nullptr;
    SceneView* view_ = nullptr;
    QRegion lights_;
    std::unique_ptr<WindowZoom> zoom_;
    std::unique_ptr<StatusDisplay> status_;
    QTimer timer_;
    MessageBoard messages_{this};
    bool quitting_ = false;
    bool pictureBehind_ = false;  // frames went by unseen: the picture shown is an old one
};

}  // namespace zirvak
