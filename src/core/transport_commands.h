// What the player's user commands, as the window and the terminal player both offer it: the
// menu's five commands and the window's closing, the queue of songs (next, previous, the next
// song at the end of one), seeking and the volume. The commands drive the engine, name the
// file in the caption, keep the animation clock in step with playback and start and stop the
// animation timer. No Qt here: the file chooser, the clock, the timer and the window are
// injected, so the commands are tested on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "beat_follower.h"
#include "play_queue.h"
#include "playback_clock.h"
#include "player_engine.h"
#include "settings_store.h"
#include "song_info.h"
#include "status_snapshot.h"

namespace zirvak {

inline constexpr const char* kWindowTitle = "Zirvak";

// Command ids, as the window's actions carry them.
enum class CommandId : int32_t {
    Open = 32772,
    Play = 32773,
    Pause = 32774,
    Stop = 32775,
    Close = 32776,
    About = 16,  // not in the menu bar: the right-click menu and F1
};

// What the commands need from the window (or the terminal) around them.
class CommandHost {
public:
    // The standard Open dialog: the files chosen, none when the user cancels.
    virtual std::vector<std::string> ChooseFiles() = 0;
    // Milliseconds of a steadily running clock (wrapping at 2^32).
    virtual uint32_t TickCount() = 0;
    virtual void StartTimer(uint32_t intervalMs) = 0;
    virtual void StopTimer() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Tells the user something went wrong, in one sentence (no full stop), without stopping
    // the program or holding up a key.
    virtual void ShowMessage(const std::string& text) = 0;
    // The sound output went away, and later came back (or nothing plays any more: no text):
    // a window shows the first until the second comes; a terminal prints both.
    virtual void ShowOutputLost(const std::string& text) { ShowMessage(text); }
    virtual void ShowOutputBack(const std::string& text) { ShowMessage(text); }
    // Ends the program (the window closes).
    virtual void Quit() = 0;
    // The user moved in the song, changed the volume, paused, or a new song began: a moment to
    // show where playback stands (the snapshot that follows says where).
    virtual void ShowStatus() {}
    // After every command and every tick: status() holds where the player stands now.
    virtual void StatusChanged() {}
    // A run began from the song's start (a song opened, Play): the butterfly takes off.
    virtual void RunStarted() {}
    // A song was opened and plays: its tags and its place in the queue are current.
    virtual void SongStarted() {}

protected:
    ~CommandHost() = default;
};

// What opening files does to a song that plays when none of them can be played: the menu's
// Open, a drop and the command line leave no file (as when the one file chosen fails); files
// handed over by another program leave the song playing.
enum class WhenNonePlays { kLeaveNoFile, kKeepPlaying };

class TransportCommands {
public:
    // How far the seek keys move.
    static constexpr int32_t kSeekStepMs = 5000;
    static constexpr int32_t kLongSeekStepMs = 30000;
    // How long the end of a song may take to leave the sound output before the next begins.
    static constexpr uint32_t kDrainMs = 3000;

    TransportCommands(PlayerEngine& engine, CommandHost& host)
        : engine_(engine), host_(host), clock_(engine) {}

    // Reads the settings kept at `path` (none: defaults, and nothing is written) and applies
    // the volume.
    void UseSettings(const std::string& path);
    const Settings& settings() const { return settings_.settings(); }
    // Changes what the window keeps (zoom, folder) and writes the settings.
    void UpdateSettings(const Settings& settings);

    // The desktop's controls, by what the player is doing: play or pause (a stopped song plays),
    // play (not with no song: that would open the file dialog), pause (only what plays).
    void PlayOrPause();
    void PlayUnlessNoSong();
    void PauseIfPlaying();

    // The menu's commands.
    void Open();
    void Play();
    void Pause();
    void Stop();
    void Close();
    // The window is being closed by its title bar.
    void WindowClosing();
    void Run(CommandId command);

    // The queue becomes the files `paths` name (folders searched through for playable files)
    // and the first that opens plays; those that cannot are skipped and leave the queue, each
    // named in a message with the reason. Returns the engine's result for the last file tried
    // (kOpenStarted when one plays). With none playable the window is left with no file:
    // caption "Zirvak", the butterfly flying home; unless `whenNonePlays` keeps what plays.
    int32_t OpenFiles(const std::vector<std::string>& paths,
                      WhenNonePlays whenNonePlays = WhenNonePlays::kLeaveNoFile);
    // One file chosen (named on the command line, or dropped on the window).
    int32_t OpenFile(const std::string& path) { return OpenFiles({path}); }
    // The song after the current one; nothing after the last.
    void Next();
    // The song before within the first three seconds of a song, else this one from its start.
    void Previous();
    const PlayQueue& queue() const { return queue_; }
    PlayerState state() const { return engine_.state(); }
    // The state as the user hears it: a song that ended by itself is still playing while its
    // last moments sound and until the next song of the queue begins.
    PlayerState PlaybackState() const;
    // The current song's tags (its cover left out: that is written to the cover folder), all
    // empty without a song.
    const SongTags& songTags() const { return song_.tags(); }
    // Where each song's cover is written (none: covers are not written), and where the current
    // song's cover went ("" without one).
    void UseCoverFolder(const std::string& folder) { song_.UseCoverFolder(folder); }
    const std::string& coverPath() const { return song_.coverPath(); }

    // Moves within the song: to `positionMs`, or by `deltaMs` from where it is (never before
    // the start). At or past the end it goes to the next song, or ends the last one. A paused
    // song stays paused; a stopped one plays from there.
    void SeekTo(uint32_t positionMs);
    void SeekBy(int32_t deltaMs);
    // Where playback stands in the song, as heard (now, or at `tick`), and the song's length.
    uint32_t PositionMs() { return PositionAt(host_.TickCount()); }
    uint32_t PositionAt(uint32_t tick) const;
    uint32_t LengthMs() const;
    // How many times playback jumped within a song (a seek, back to its start).
    uint64_t seeks() const { return seeks_; }
    // The sound output is lost, as the last tick saw it.
    bool OutputLost() const { return outputLost_; }
    // Where the player stands, as the last command or tick left it.
    const StatusSnapshot& status() const { return status_; }

    // The volume in steps of Settings::kVolumeStep, within 0..100 %; kept in the settings.
    void ChangeVolume(int32_t steps);
    uint32_t volumePercent() const { return uint32_t(settings().volumePercent); }
    // The volume set outright (desktop controls), clamped to 0..100 %; kept in the settings.
    void SetVolume(int32_t percent);

    // The beat markers of the buffer now sounding, as the animation takes them; returns how
    // many.
    uint32_t ReadSoundingMarks(BeatMark* out) const;
    // The playing time as heard.
    const PlaybackClock& clock() const { return clock_; }
    PlaybackClock& clock() { return clock_; }

    // Called on every animation tick, before the animation moves. While the sound output is
    // lost the animation holds (false), and the user is told once per loss. A song that has
    // been heard to its end makes way for the next.
    bool FollowPlayback();
    // What the flight takes for the end of the music: the engine's end with no song to follow,
    // or no file at all.
    bool MusicEnded() const;
    // Every song of the queue has been played (or could not be), or the last was stopped at
    // its end.
    bool QueueEnded() const { return queueEnded_; }
    // How many songs could not be played, or changed on disk while they played.
    int failures() const { return failures_; }

private:
    // Around every public command and tick: when the outermost ends, the status is taken once
    // and the host told.
    class Command {
    public:
        explicit Command(TransportCommands& commands) : commands_(commands) { ++commands_.depth_; }
        ~Command() {
            if (--commands_.depth_ == 0) commands_.TakeStatus();
        }
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

    private:
        TransportCommands& commands_;
    };
    void TakeStatus();

    int32_t PlayFrom(size_t index, int direction);
    int32_t OpenSong(size_t index);
    void EndOfSong();
    void LeaveWithNoFile(const std::string& message);
    void StartRunClock();
    void ReportChangedFile();
    void StartedRun();

    PlayerEngine& engine_;
    CommandHost& host_;
    PlaybackClock clock_;
    PlayQueue queue_;
    SettingsStore settings_;
    std::string title_;  // of the open file
    SongInfo song_;
    std::optional<uint32_t> heldPosition_;  // where a stopped song stands
    bool stoppedByUser_ = false;            // the end of this run is no cue for the next song
    bool queueEnded_ = false;
    int failures_ = 0;
    bool outputLost_ = false;  // as the last tick saw it, and said
    uint64_t seeks_ = 0;
    int depth_ = 0;  // commands under way
    StatusSnapshot status_;
};

// The file's name without its folder.
std::string FileTitle(const std::string& path);

// A time as a player shows it: "m:ss", or "h:mm:ss" from an hour on.
std::string FormatTime(uint32_t ms);

}  // namespace zirvak
