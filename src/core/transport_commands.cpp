#include "transport_commands.h"

#include <algorithm>

namespace zirvak {

void TransportCommands::UseSettings(const std::string& path) {
    settings_ = SettingsStore(path);
    session_.SetVolume(uint32_t(settings_.settings().volumePercent));
    ApplyReplayGain();
    status_ = Snapshot();  // before the host listens: taken, not announced
}

void TransportCommands::UpdateSettings(const Settings& settings) {
    const Command command(*this);
    settings_.Update(settings);
    session_.SetVolume(uint32_t(settings.volumePercent));
    ApplyReplayGain();
}

void TransportCommands::NextReplayGainMode() {
    const Command command(*this);
    Settings changed = settings_.settings();
    const ReplayGainMode now = runReplayGain_.value_or(changed.replayGain);
    changed.replayGain = ReplayGainMode((int(now) + 1) % (int(ReplayGainMode::kAuto) + 1));
    runReplayGain_.reset();  // the person's choice now
    UpdateSettings(changed);
    host_.ShowStatus();
}

void TransportCommands::UseReplayGainMode(ReplayGainMode mode) {
    runReplayGain_ = mode;
    ApplyReplayGain();
}

void TransportCommands::UseGapless(bool gapless) {
    runGapless_ = gapless;
    ApplyReplayGain();
}

void TransportCommands::ApplyReplayGain() {
    const Settings& settings = settings_.settings();
    session_.SetGapless(runGapless_.value_or(settings.gapless));
    session_.SetReplayGain({runReplayGain_.value_or(settings.replayGain),
                            settings.replayGainPreampDb, settings.replayGainFallbackDb,
                            settings.replayGainPreventClipping});
}

void TransportCommands::Run(CommandId id) {
    const Command command(*this);
    switch (id) {
        case CommandId::Open:
            Open();
            break;
        case CommandId::Play:
            Play();
            break;
        case CommandId::Pause:
            Pause();
            break;
        case CommandId::Stop:
            Stop();
            break;
        case CommandId::Close:
            Close();
            break;
        case CommandId::About:
            break;  // the window shows its About box itself
    }
}

void TransportCommands::Open() {
    const Command command(*this);
    const std::vector<std::string> paths = host_.ChooseFiles();
    if (paths.empty()) return;  // cancelled: whatever plays goes on playing
    OpenFiles(paths);
}

// With no file, Play asks for one first.
void TransportCommands::Play() {
    const Command command(*this);
    if (session_.state() == NoFile) Open();
    session_.Play();
}

void TransportCommands::Pause() {
    const Command command(*this);
    session_.Pause();
}

void TransportCommands::Stop() {
    const Command command(*this);
    session_.Stop();
}

void TransportCommands::Close() {
    session_.Close();
    host_.Quit();
}

void TransportCommands::WindowClosing() {
    session_.Close();
}

void TransportCommands::PlayOrPause() {
    const Command command(*this);
    const PlayerState state = session_.state();
    if (state == Playing || state == Paused)
        Pause();  // toggles
    else if (state == Stopped)
        Play();
}

// With no song Play would open the file dialog: from the desktop's controls it does nothing.
void TransportCommands::PlayUnlessNoSong() {
    const Command command(*this);
    if (session_.state() != NoFile) Play();
}

void TransportCommands::PauseIfPlaying() {
    const Command command(*this);
    if (session_.state() == Playing) Pause();
}

int32_t TransportCommands::OpenFiles(const std::vector<std::string>& paths,
                                     WhenNonePlays whenNonePlays) {
    const Command command(*this);
    return session_.OpenFiles(paths, whenNonePlays);
}

void TransportCommands::Next() {
    const Command command(*this);
    session_.Next();
}

void TransportCommands::Previous() {
    const Command command(*this);
    session_.Previous();
}

void TransportCommands::SeekTo(uint32_t positionMs) {
    const Command command(*this);
    session_.SeekTo(positionMs);
}

void TransportCommands::SeekBy(int32_t deltaMs) {
    const Command command(*this);
    session_.SeekBy(deltaMs);
}

void TransportCommands::ChangeVolume(int32_t steps) {
    const Command command(*this);
    SetVolume(settings_.settings().volumePercent + steps * Settings::kVolumeStep);
}

void TransportCommands::SetVolume(int32_t percent) {
    const Command command(*this);
    Settings changed = settings_.settings();
    changed.volumePercent = std::clamp(percent, 0, 100);
    UpdateSettings(changed);
    host_.ShowStatus();
}

TransportCommands::TransportCommands(PlayerEngine& engine, CommandHost& host)
    : engine_(engine), host_(host), session_(engine, host) {
    engine_.SetRunEndListener([this] { runEnded_.Raise(); });
}

TransportCommands::~TransportCommands() {
    engine_.SetRunEndListener({});
}

bool TransportCommands::FollowPlayback() {
    const Command command(*this);
    return session_.FollowPlayback();
}

void TransportCommands::FollowRunEnd() {
    if (runEnded_.Take()) FollowPlayback();
}

StatusSnapshot TransportCommands::Snapshot() const {
    StatusSnapshot status =
        TakeSnapshot(session_, uint32_t(settings_.settings().volumePercent), host_.TickCount());
    status.replayGain = session_.replayGain().mode;
    return status;
}

void TransportCommands::TakeStatus() {
    status_ = Snapshot();
    host_.StatusChanged();
}

}  // namespace zirvak
