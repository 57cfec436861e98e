#include "main_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <chrono>
#include <vector>

#include "about_dialog.h"
#include "image_conversion.h"
#include "scene_view.h"

// The pictures are compiled into this library; a static library's resources must be
// registered by hand.
static void RegisterResources() {
    Q_INIT_RESOURCE(zirvak);
}

namespace zirvak {

namespace {

Image LoadPicture(const char* resource) {
    return ToImage(QImage(QString::fromLatin1(resource)));
}

QRegion RegionOfRuns(std::span<const LightRun> runs) {
    std::vector<QRect> rects;
    rects.reserve(runs.size());
    for (const LightRun& run : runs) rects.emplace_back(run.x0, run.y, run.x1 - run.x0, 1);
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}

}  // namespace

MainDialog::MainDialog(PlayerEngine& engine, QWidget* parent)
    : QMainWindow(parent), engine_(engine) {
    RegisterResources();
    const Image background = LoadPicture(":/pictures/background.png");
    scene_ = std::make_unique<Scene>(background, background, LoadPicture(":/pictures/sprites.png"));
    animation_ = std::make_unique<Animation>(scene_->pictureWidth(), scene_->pictureHeight());
    CommandHost& host = *this;
    commands_ = std::make_unique<TransportCommands>(engine_, *animation_, *scene_, host);
    lights_ = RegionOfRuns(scene_->lightRegion().runs);

    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/zirvak-256.png")));
    view_ = new SceneView(QSize(scene_->pictureWidth(), scene_->pictureHeight()), this);
    setCentralWidget(view_);
    CreateActions();
    setAcceptDrops(true);
    connect(&timer_, &QTimer::timeout, this, &MainDialog::Tick);

    // The first scene: the butterfly at its resting point, off the picture; no lights.
    animation_->RecomposeAtLegStart(*scene_);
    view_->SetScene(ToQImage(scene_->backBuffer()));

    // The client area is the picture, and the window does not grow beyond it.
    adjustSize();
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainDialog::~MainDialog() = default;

void MainDialog::CreateActions() {
    struct Command {
        CommandId id;
        const char* text;
        QKeySequence key;
        const char* tip;
    };
    const Command commands[] = {
        {CommandId::Open, "&Open", QKeySequence::Open, "Choose an MP3 or WAV file and play it"},
        {CommandId::Play, "&Play", QKeySequence(Qt::Key_P),
         "Play the file from its start, or resume"},
        {CommandId::Pause, "P&ause", QKeySequence(Qt::Key_Space), "Pause or resume"},
        {CommandId::Stop, "&Stop", QKeySequence(Qt::Key_S), "Stop; the butterfly flies home"},
        {CommandId::Close, "&Close", QKeySequence::Quit, "Close the file and quit"},
    };
    for (const Command& c : commands) {
        QAction* action = menuBar()->addAction(QString::fromLatin1(c.text));
        action->setData(int32_t(c.id));
        action->setShortcut(c.key);
        action->setStatusTip(QString::fromLatin1(c.tip));
        const CommandId id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { commands_->Run(id); });
        actions_[c.id] = action;
    }
    aboutAction_ = new QAction(QStringLiteral("About..."), this);
    aboutAction_->setData(int32_t(CommandId::About));
    aboutAction_->setShortcut(QKeySequence::HelpContents);
    connect(aboutAction_, &QAction::triggered, this, &MainDialog::ShowAbout);
    addAction(aboutAction_);
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

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    commands_->OpenFile(urls.first().toLocalFile().toStdString());
    event->acceptProposedAction();
}

void MainDialog::Tick() {
    if (commands_->FollowOutput()) {
        BeatMarker markers[kMaxBeatMarkers];
        const uint32_t count = engine_.ReadBeatMarkers(engine_.currentBuffer() ^ 1, markers);
        BeatMark marks[kMaxBeatMarkers];
        for (uint32_t i = 0; i < count; ++i)
            marks[i] = {uint32_t(markers[i].width), uint32_t(markers[i].timeMs)};
        const std::optional<RepaintAreas> areas =
            animation_->Tick(TickCount(), commands_->MusicEnded(), {marks, count}, *scene_);
        if (areas) {
            const Rect& r = areas->spriteSurroundings;
            ShowComposedScene(lights_ | QRegion(r.left, r.top, r.right - r.left, r.bottom - r.top));
        }
        // No file, and the butterfly at rest: nothing is left for the timer to move.
        if (engine_.state() == NoFile &&
            animation_->butterfly().flightState == FlightState::Resting)
            timer_.stop();
    }
    emit ticked();
}

void MainDialog::ShowComposedScene(const QRegion& changed) {
    view_->SetScene(ToQImage(scene_->backBuffer()));
    view_->update(changed);
}

std::optional<std::string> MainDialog::ChooseFile() {
    if (chooser_) return chooser_();
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open a File"), QString(),
                                     QStringLiteral("MP3 File (*.mp3);;WAV File (*.wav)"));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
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
    setWindowTitle(QString::fromStdString(caption));
}

// A message that does not stop the window: the music and the butterfly go on behind it.
void MainDialog::ShowMessage(const std::string& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Zirvak"),
                                QString::fromStdString(text), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainDialog::Quit() {
    quitting_ = true;
    close();
}

}  // namespace zirvak
