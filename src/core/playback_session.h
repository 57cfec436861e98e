// The songs a person chose, playing: the engine, the queue and what happens at the end of a
// song (the next one plays, or the queue ends and the butterfly flies home), the time as heard,
// and what is known of the song that plays. The user's commands act through it; the host is
// told of new songs, runs and troubles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "beat_follower.h"
#include "command_host.h"
#include "play_queue.h"
#include "playback_clock.h"
#include "player_engine.h"
#include "playlist_files.h"
#include "replay_gain.h"
#include "song_follower.h"
#include "song_info.h"

namespace zirvak {

inline constexpr const char* kWindowTitle = "Zirvak";

// What opening files does to a song that plays when none of them can be played: the menu's
// Open, a drop and the command line leave no file (as when the one file chosen fails); files
// handed over by another program leave the song playing.
enum class WhenNonePlays { kLeaveNoFile, kKeepPlaying };

class PlaybackSession {
public:
    // How long the end of a song may take to leave the sound output before the next begins.
    static constexpr uint32_t kDrainMs = 3000;
    static constexpr size_t kMaxSkippedNamed = 10;

    PlaybackSession(PlayerEngine& engine, CommandHost& host);

    // The queue becomes the files `paths` name (folders searched through for playable files,
    // playlists read) and the first that opens plays; those that cannot are skipped and leave
    // the queue, each named in a message with the reason, as are the playlists' entries that
    // name no file (the first kMaxSkippedNamed of them, then how many more). Returns the engine's
    // result for the last file tried (kOpenStarted when one plays). With none playable the window
    // is left with no file: caption "Zirvak", the butterfly flying home; unless `whenNonePlays`
    // keeps what plays.
    int32_t OpenFiles(const std::vector<std::string>& paths, WhenNonePlays whenNonePlays);
    // The song after the current one; nothing after the last.
    void Next();
    // The song before within the first three seconds of a song, else this one from its start.
    void Previous();
    // Moves within the song: to `positionMs`, or by `deltaMs` from where it is (never before
    // the start). At or past the end it goes to the next song, or ends the last one. A paused
    // song stays paused; a stopped one plays from there.
    void SeekTo(uint32_t positionMs);
    void SeekBy(int32_t deltaMs);
    // A stopped song plays from its start (one paused resumes); pausing toggles; stopping keeps
    // where the song stood.
    void Play();
    void Pause();
    void Stop();
    // Nothing plays any more: the program is closing.
    void Close() { engine_.Close(); }
    // Waits (up to kDrainMs) for the end of the last song to leave the sound output.
    void DrainOutput() { engine_.DrainOutput(kDrainMs); }
    void SetVolume(uint32_t percent) { engine_.SetVolume(percent); }
    // How the songs' ReplayGain values set their gain, from the next song on (a song prepared to
    // follow takes its new gain without being opened again). The same settings change nothing.
    void SetReplayGain(const ReplayGainSettings& settings);
    const ReplayGainSettings& replayGain() const { return replayGain_; }
    // Gapless playback from the next song on: MPEG songs without their encoder's delay and
    // padding, and each song of the same format following the one before in the same stream.
    void SetGapless(bool gapless);

    // What the engine told since the last command or tick, acted on once, before a command acts
    // or a tick moves: a song heard joining the one before (gapless) is now the current song,
    // its caption, tags and time shown, its time from where the output began to play it; near
    // the end of a song the next one is prepared to follow.
    void CatchUp();
    // Called on every tick, before the animation moves. While the sound output is lost the
    // animation holds (false), and the user is told once per loss. A song that has been heard
    // to its end makes way for the next.
    bool FollowPlayback();

    const PlayQueue& queue() const { return queue_; }
    PlayerState state() const { return engine_.state(); }
    // The state as the user hears it: a song that ended by itself is still playing while its
    // last moments sound and until the next song of the queue begins.
    PlayerState PlaybackState() const;
    // The current song, all empty without one: its tags (the cover left out: that is written to
    // the cover folder), its name, where its cover went ("" without one).
    const SongInfo& song() const { return song_; }
    const SongTags& songTags() const { return song_.tags; }
    const std::string& coverPath() const { return song_.coverPath; }
    // Where each song's cover is written (none: covers are not written).
    void UseCoverFolder(const std::string& folder);
    // The song prepared to follow the current one.
    const SongFollower& follower() const { return follower_; }
    // Where playback stands in the song, as heard (now, or at `tick`), and the song's length.
    uint32_t PositionMs() const { return PositionAt(host_.TickCount()); }
    uint32_t PositionAt(uint32_t tick) const;
    uint32_t LengthMs() const;
    // How many times playback jumped within a song (a seek, back to its start).
    uint64_t seeks() const { return seeks_; }
    // The sound output is lost, as the last tick saw it.
    bool OutputLost() const { return outputLost_; }
    // The beat markers of the buffer now sounding, as the animation takes them; returns how
    // many.
    uint32_t ReadSoundingMarks(BeatMark* out) const;
    // The playing time as heard.
    const PlaybackClock& clock() const { return clock_; }
    PlaybackClock& clock() { return clock_; }
    // What the flight takes for the end of the music: the engine's end with no song to follow,
    // or no file at all.
    bool MusicEnded() const;
    // Every song of the queue has been played (or could not be), or the last was stopped at
    // its end.
    bool QueueEnded() const { return queueEnded_; }
    // How many songs could not be played, or changed on disk while they played.
    int failures() const { return failures_; }

private:
    void ReportSkipped(const std::vector<SkippedEntry>& skipped);
    int32_t PlayFrom(size_t index, int direction);
    int32_t OpenSong(size_t index);
    void EndOfSong();
    void LeaveWithNoFile(const std::string& message);
    void StartRunClock(uint32_t tick);
    void SeekAt(uint32_t tick, uint32_t positionMs);
    void ReportChangedFile();
    void ReportFailure(const std::string& message);
    void StartedRun();
    // The current song's name in the caption, and the host told.
    void AnnounceSong();
    // The song's file name, as the caption and the messages give it.
    std::string SongName() const { return FileTitle(song_.path); }

    PlayerEngine& engine_;
    CommandHost& host_;
    PlaybackClock clock_;
    PlayQueue queue_;
    SongInfo song_;  // the current song
    SongFollower follower_;
    std::string coverFolder_;
    std::optional<uint32_t> heldPosition_;  // where a stopped song stands
    bool stoppedByUser_ = false;            // the end of this run is no cue for the next song
    bool queueEnded_ = false;
    int failures_ = 0;
    bool outputLost_ = false;  // as the last tick saw it, and said
    uint64_t seeks_ = 0;
    ReplayGainSettings replayGain_;
};

}  // namespace zirvak
