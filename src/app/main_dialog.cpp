#include "main_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "about_dialog.h"
#include "file_uri.h"
#include "image_conversion.h"
#include "open_dialog.h"
#include "open_filters.h"
#include "readable_text.h"
#include "scene_view.h"
#include "user_actions.h"

// The pictures are compiled into this library; a static library's resources must be
// registered by hand.
static void RegisterResources() {
    Q_INIT_RESOURCE(zirvak);
}

namespace zirvak {

MainDialog::MainDialog(PlayerEngine& engine, QWidget* parent) : QMainWindow(parent) {
    RegisterResources();
    const Image background = LoadPicture(":/pictures/background.png");
    scene_ = std::make_unique<Scene>(background, background, LoadPicture(":/pictures/sprites.png"));
    animation_ = std::make_unique<Animation>(scene_->pictureWidth(), scene_->pictureHeight());
    CommandHost& host = *this;
    commands_ = std::make_unique<TransportCommands>(engine, host);
    commands_->UseSettings(SettingsPath());
    lights_ = RegionOfRuns(scene_->lightRegion().runs);

    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/zirvak-256.png")));
    view_ = new SceneView(QSize(scene_->pictureWidth(), scene_->pictureHeight()), this);
    setCentralWidget(view_);
    CreateActions();
    CreateKeys();
    setAcceptDrops(true);
    connect(&timer_, &QTimer::timeout, this, &MainDialog::Tick);
    // A song heard to its end between ticks: the next one starts at once.
    if (commands_->runEndFd() >= 0) {
        auto* runEnd = new QSocketNotifier(commands_->runEndFd(), QSocketNotifier::Read, this);
        connect(runEnd, &QSocketNotifier::activated, this, [this] { commands_->FollowRunEnd(); });
    }
    zoom_ = std::make_unique<WindowZoom>(*this, *view_, *commands_);
    status_ = std::make_unique<StatusDisplay>(*view_, *commands_, [this] { return PictureSeen(); });

    // The first scene: the butterfly at its resting point, off the picture; no lights.
    scene_->Compose(animation_->ReturnToLegStart());
    view_->SetScene(ToQImage(scene_->backBuffer()));

    zoom_->OpenCentred();
}

MainDialog::~MainDialog() = default;

namespace {

// The window's keys for `action`, as the shared table writes them.
QList<QKeySequence> WindowKeys(UserAction action) {
    for (const UserActionKeys& entry : UserActionTable())
        if (entry.action == action)
            return QKeySequence::listFromString(
                QString::fromLatin1(entry.windowKeys.data(), qsizetype(entry.windowKeys.size())));
    return {};
}

}  // namespace

void MainDialog::CreateActions() {
    struct Command {
        CommandId id;
        UserAction action;
        const char* text;
        const char* tip;
    };
    const Command commands[] = {
        {CommandId::Open, UserAction::Open, "&Open", "Choose files to play"},
        {CommandId::Play, UserAction::Play, "&Play", "Play the file from its start, or resume"},
        {CommandId::Pause, UserAction::Pause, "P&ause", "Pause or resume"},
        {CommandId::Stop, UserAction::Stop, "&Stop", "Stop; the butterfly flies home"},
        {CommandId::Close, UserAction::Close, "&Close", "Close the file and quit"},
    };
    for (const Command& c : commands) {
        QAction* action = menuBar()->addAction(QString::fromLatin1(c.text));
        action->setData(int32_t(c.id));
        action->setShortcuts(WindowKeys(c.action));
        action->setShortcutContext(Qt::ApplicationShortcut);
        action->setStatusTip(QString::fromLatin1(c.tip));
        const CommandId id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { commands_->Run(id); });
        actions_[c.id] = action;
    }
    aboutAction_ = new QAction(QStringLiteral("About..."), this);
    aboutAction_->setData(int32_t(CommandId::About));
    aboutAction_->setShortcuts(WindowKeys(UserAction::About));
    connect(aboutAction_, &QAction::triggered, this, &MainDialog::ShowAbout);
    addAction(aboutAction_);
}

// Keys for what the menu does not hold; they act wherever the focus is in the window, or in a
// message box of its.
void MainDialog::CreateKeys() {
    for (const UserActionKeys& entry : UserActionTable()) {
        switch (entry.action) {
            case UserAction::Open:
            case UserAction::Play:
            case UserAction::Pause:
            case UserAction::Stop:
            case UserAction::Close:
            case UserAction::About:
                continue;  // the menu's and About's own actions carry these keys
            default:
                break;
        }
        auto* action = new QAction(this);
        action->setShortcuts(WindowKeys(entry.action));
        // A message box beside the window, clicked or not, never takes the keys away.
        action->setShortcutContext(Qt::ApplicationShortcut);
        const UserAction act = entry.action;
        connect(action, &QAction::triggered, this, [this, act] { Act(act); });
        addAction(action);
    }
}

// The window's own actions, and the player's through the commands.
void MainDialog::Act(UserAction action) {
    switch (action) {
        case UserAction::ZoomIn:
            return SetZoom(zoom() + 1);
        case UserAction::ZoomOut:
            return SetZoom(std::max(zoom() - 1, 1));
        case UserAction::ZoomToScreen:
            return SetZoom(0);
        case UserAction::About:
            return ShowAbout();
        default:
            Perform(*commands_, action);
    }
}

void MainDialog::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    zoom_->WindowMoved();
}

void MainDialog::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    ShowPictureAgain();
    zoom_->WindowShown();
}

QAction* MainDialog::commandAction(CommandId id) const {
    if (id == CommandId::About) return aboutAction_;
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(aboutAction_);
    menu.exec(event->globalPos());
}

void MainDialog::closeEvent(QCloseEvent* event) {
    timer_.stop();
    if (!quitting_) commands_->WindowClosing();
    event->accept();
}

// The local files and folders among dropped URLs, read from the URI list's own bytes: a name
// that is not UTF-8 arrives percent-encoded and stays the name it is.
static std::vector<std::string> LocalPaths(const QMimeData* data) {
    return PathsOfUriList(data->data(QStringLiteral("text/uri-list")).toStdString());
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

// Dropped files and folders replace the queue, as Open does.
void MainDialog::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = LocalPaths(event->mimeData());
    if (paths.empty()) return;
    commands_->OpenFiles(paths);
    event->acceptProposedAction();
}

void MainDialog::Tick() {
    // Minimised or hidden, the flight and the lights go on, but no picture is made for nobody.
    const bool seen = PictureSeen();
    const uint32_t now = TickCount();
    if (commands_->FollowPlayback()) {
        BeatMark marks[kMaxBeatMarkers];
        const uint32_t count = commands_->session().ReadSoundingMarks(marks);
        const std::optional<SceneFrame> frame =
            animation_->Tick(now, commands_->session().clock().time().elapsedMs,
                             commands_->session().MusicEnded(), {marks, count});
        if (frame && seen) {
            const Rect r = scene_->Compose(*frame).spriteSurroundings;
            ShowComposedScene(lights_ | QRegion(r.left, r.top, r.right - r.left, r.bottom - r.top));
        }
        pictureBehind_ = pictureBehind_ || (frame && !seen);
        // No file, and the butterfly at rest: nothing is left for the timer to move.
        if (commands_->session().state() == NoFile &&
            animation_->butterfly().flightState == FlightState::Resting)
            timer_.stop();
    }
    emit ticked();
}

bool MainDialog::PictureSeen() const {
    return isVisible() && !isMinimized();
}

void MainDialog::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) ShowPictureAgain();
}

// Shown again after nothing was composed: the picture as it stands now, before the next tick.
void MainDialog::ShowPictureAgain() {
    if (!PictureSeen() || !pictureBehind_) return;
    pictureBehind_ = false;
    scene_->Compose(animation_->CurrentFrame(commands_->session().MusicEnded()));
    view_->SetScene(ToQImage(scene_->backBuffer()));
    view_->update();
    status_->CatchUp();
}

void MainDialog::ShowComposedScene(const QRegion& changed) {
    view_->SetScene(ToQImage(scene_->backBuffer()));
    view_->update(changed);
}

std::vector<std::string> MainDialog::ChooseFiles() {
    if (chooser_) return chooser_();
    Settings settings = commands_->settings();
    OpenDialog dialog(settings.lastFolder, OpenFilters(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen().empty()) return {};
    settings.lastFolder = dialog.folder();
    commands_->UpdateSettings(settings);
    return dialog.chosen();
}

uint32_t MainDialog::TickCount() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void MainDialog::StartTimer(uint32_t intervalMs) {
    timer_.start(int(intervalMs));
}

void MainDialog::StopTimer() {
    timer_.stop();
}

void MainDialog::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(ReadableText(caption)));
}

void MainDialog::Raise() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainDialog::StatusChanged() {
    status_->StatusChanged();
    emit statusChanged();
}

void MainDialog::Quit() {
    quitting_ = true;
    close();
}

}  // namespace zirvak
