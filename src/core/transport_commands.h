// What a person asks of the player, from the window, the terminal or the desktop's controls:
// the menu's five commands and the window's closing, the queue (next, previous), seeking and
// the volume. A thin layer over the playback session and the settings: each command acts, and
// when it ends the status is taken once and the host told.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command_host.h"
#include "playback_session.h"
#include "settings_store.h"
#include "status_snapshot.h"
#include "wake_signal.h"

namespace zirvak {

// Command ids, as the window's actions carry them.
enum class CommandId : int32_t {
    Open = 32772,
    Play = 32773,
    Pause = 32774,
    Stop = 32775,
    Close = 32776,
    About = 16,  // not in the menu bar: the right-click menu and F1
};

class TransportCommands {
public:
    // How far the seek keys move.
    static constexpr int32_t kSeekStepMs = 5000;
    static constexpr int32_t kLongSeekStepMs = 30000;

    TransportCommands(PlayerEngine& engine, CommandHost& host);
    ~TransportCommands();
    TransportCommands(const TransportCommands&) = delete;
    TransportCommands& operator=(const TransportCommands&) = delete;

    // Reads the settings kept at `path` (none: defaults, and nothing is written) and applies
    // the volume.
    void UseSettings(const std::string& path);
    const Settings& settings() const { return settings_.settings(); }
    // Changes what the window keeps (zoom, folder) and writes the settings.
    void UpdateSettings(const Settings& settings);
    // The ReplayGain mode for this run whatever the settings say (a command line's choice); it is
    // not saved.
    void UseReplayGainMode(ReplayGainMode mode);
    // The next ReplayGain mode (off, track, album, auto, then off again), kept in the settings
    // and shown; it acts from the next song on.
    void NextReplayGainMode();
    // Gapless MPEG songs on or off for this run whatever the settings say; not saved.
    void UseGapless(bool gapless);

    // The menu's commands.
    void Open();
    void Play();
    void Pause();
    void Stop();
    void Close();
    // The window is being closed by its title bar.
    void WindowClosing();
    void Run(CommandId command);

    // The desktop's controls, by what the player is doing: play or pause (a stopped song plays),
    // play (not with no song: that would open the file dialog), pause (only what plays).
    void PlayOrPause();
    void PlayUnlessNoSong();
    void PauseIfPlaying();

    // The queue becomes the files `paths` name and the first that opens plays (see
    // PlaybackSession::OpenFiles).
    int32_t OpenFiles(const std::vector<std::string>& paths,
                      WhenNonePlays whenNonePlays = WhenNonePlays::kLeaveNoFile);
    // One file chosen (named on the command line, or dropped on the window).
    int32_t OpenFile(const std::string& path) { return OpenFiles({path}); }
    void Next();
    void Previous();
    void SeekTo(uint32_t positionMs);
    void SeekBy(int32_t deltaMs);

    // The volume in steps of Settings::kVolumeStep, within 0..100 %; kept in the settings.
    void ChangeVolume(int32_t steps);
    // The volume set outright (desktop controls), clamped to 0..100 %; kept in the settings.
    void SetVolume(int32_t percent);

    // Called on every animation tick, before the animation moves (see
    // PlaybackSession::FollowPlayback); false while the animation holds.
    bool FollowPlayback();
    // Readable when a song has been heard to its end between two ticks; FollowRunEnd then goes
    // on to the next one at once (a song of another format opens without waiting for the tick).
    int runEndFd() const { return runEnded_.fd(); }
    void FollowRunEnd();

    // Where the player stands, as the last command or tick left it.
    const StatusSnapshot& status() const { return status_; }
    const PlaybackSession& session() const { return session_; }
    PlaybackSession& session() { return session_; }

private:
    // The session takes the run's ReplayGain mode and gapless choice, else the settings'.
    void ApplyReplayGain();
    // Around every public command and tick: the outermost first catches up with what the engine
    // told since the last one, and when it ends, the status is taken once and the host told.
    class Command {
    public:
        explicit Command(TransportCommands& commands) : commands_(commands) {
            if (commands_.depth_++ == 0) commands_.session_.CatchUp();
        }
        ~Command() {
            if (--commands_.depth_ == 0) commands_.TakeStatus();
        }
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

    private:
        TransportCommands& commands_;
    };
    StatusSnapshot Snapshot() const;
    void TakeStatus();

    PlayerEngine& engine_;
    CommandHost& host_;
    WakeSignal runEnded_;  // before the session: raised from the engine until it is let go
    PlaybackSession session_;
    SettingsStore settings_;
    std::optional<ReplayGainMode> runReplayGain_;  // chosen for this run only
    std::optional<bool> runGapless_;               // chosen for this run only
    int depth_ = 0;                                // commands under way
    StatusSnapshot status_;
};

}  // namespace zirvak
