// The main window: the picture with the butterfly and the lights, a menu bar of five
// commands, the About box on right click or F1. It owns the scene and the animation; the
// commands drive the engine. The engine's completions never reach this class: every 75 ms the
// animation tick reads the engine's state and beat markers as they stand.
#pragma once

#include <QMainWindow>
#include <QRegion>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "animation.h"
#include "player_engine.h"
#include "scene.h"
#include "transport_commands.h"

class QAction;

namespace zirvak {

class SceneView;

class MainDialog : public QMainWindow, private CommandHost {
    Q_OBJECT
public:
    explicit MainDialog(PlayerEngine& engine, QWidget* parent = nullptr);
    ~MainDialog() override;

    TransportCommands& commands() { return *commands_; }
    // Replaces the standard Open dialog (tests, scripted runs).
    void SetFileChooser(std::function<std::optional<std::string>()> chooser) {
        chooser_ = std::move(chooser);
    }
    QAction* commandAction(CommandId id) const;
    bool animationRunning() const { return timer_.isActive(); }
    const SceneView* view() const { return view_; }
    const Animation& animation() const { return *animation_; }

signals:
    // After every animation tick.
    void ticked();

public slots:
    void ShowAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void Tick();

private:
    void CreateActions();
    void ShowComposedScene(const QRegion& changed);

    // CommandHost.
    std::optional<std::string> ChooseFile() override;
    uint32_t TickCount() override;
    void StartTimer(uint32_t intervalMs) override;
    void StopTimer() override;
    void SetCaption(const std::string& caption) override;
    void ShowMessage(const std::string& text) override;
    void Quit() override;

    PlayerEngine& engine_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<Animation> animation_;
    std::unique_ptr<TransportCommands> commands_;
    std::function<std::optional<std::string>()> chooser_;
    std::map<CommandId, QAction*> actions_;
    QAction* aboutAction_ = nullptr;
    SceneView* view_ = nullptr;
    QRegion lights_;
    QTimer timer_;
    bool quitting_ = false;
};

}  // namespace zirvak
