// The player engine: plays one file through an audio device, two output buffers in flight,
// each refilled when the device hands it back, every buffer scanned for beats before it is
// queued. What the buffers hold comes from the file's source (audio_source.h), chosen by what
// the file is; the engine itself knows no file format.
//
// Gapless, a song prepared to follow (PrepareNext) joins the one playing when the format is the
// same: its first buffer is queued right behind the last of the song before, in the same device
// stream. Until that last buffer has been played, the song before is the one heard, and what the
// engine tells (length, run start, samples handed, the beat markers' times) is of it; then the
// join is heard (the engine's news say so, once) and the engine tells of the new song. A seek,
// restart or stop before that undoes the join: the song before stays the one heard. The
// hand-over itself is song_hand_over.h's; the beat markers' board is beat_marker_board.h's.
//
// Threads: the owner (the window or the command line) calls the transport operations; the
// device's completion thread runs every later refill. One mutex covers a whole refill and the
// state change of each transport operation; device resets and closes happen outside it,
// because a reset hands buffers back through completions. Files are opened, sources made and
// songs freed outside it, on the owner's thread. The user interface reads state, endReached,
// currentBuffer and the beat markers without waiting (they are atomics).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audio_device.h"
#include "audio_source.h"
#include "beat_marker_board.h"
#include "beat_markers.h"
#include "file_problem.h"
#include "input_file.h"
#include "song_hand_over.h"

namespace zirvak {

enum PlayerState : int32_t { NoFile = 0, Stopped = 1, Playing = 2, Paused = 3 };

// Results of Open and Restart.
inline constexpr int32_t kOpenStarted = 0;
inline constexpr int32_t kOpenFileFailed = 1;  // missing, unreadable, or not playable
inline constexpr int32_t kOpenNoDevice = 2;    // no audio device could be opened
inline constexpr int32_t kOpenNoBufferMemory = 3;
inline constexpr int32_t kOpenNoAudio = 4;  // a file without a single audio frame

// What the engine tells its owner of the song heard, once: the run being queued came within
// kPrepareAheadBuffers of its last buffer (the song to follow should be prepared now; a tick
// later is still in time), and the prepared song has been heard joining the one before.
struct EngineNews {
    bool nearingEnd = false;
    bool joined = false;
    // Of the joined song, what the output had played when the news was taken, in sample frames:
    // where its time stands.
    uint64_t joinedFramesHeard = 0;
};

class PlayerEngine final : private AudioDeviceListener {
public:
    explicit PlayerEngine(AudioDevice& device);
    ~PlayerEngine();
    PlayerEngine(const PlayerEngine&) = delete;
    PlayerEngine& operator=(const PlayerEngine&) = delete;

    // Closes what is open, opens `path` and starts playing the clip [startMs, endMs].
    int32_t Open(const std::string& path, uint32_t startMs, uint32_t endMs);
    // Plays the open file again from the start of its clip. Refused (kOpenFileFailed) when the
    // file changed on disk since it was opened.
    int32_t Restart();
    int32_t Stop();
    // Plays the open file from `positionMs` of its stream on (a stopped file starts playing; a
    // paused one stays paused there), as near that time as the file's source can start (MPEG
    // audio in the frame holding it, after the frames that prime the decoder; WAV at its sample
    // frame). The end of the clip stays. The beat markers of the run then count from the song's
    // start. Refused like Restart; a position at or past the end of the song is the caller's to
    // handle (it plays the song from its start).
    int32_t Seek(uint32_t positionMs);
    void Close();
    // Pauses a playing engine or resumes a paused one, and returns the state it left: Paused or
    // Playing when it acted, the state as it stands when there was nothing to toggle (the end
    // of the song may have come first).
    PlayerState TogglePause();

    // Read by the user interface, never waiting.
    PlayerState state() const { return state_.load(); }
    bool endReached() const { return endReached_.load(); }
    // True once the file changed on disk (shrank, was rewritten) while it played: the run then
    // ends after what had been read, as at the end of the song.
    bool fileChanged() const { return fileChanged_.load(); }
    // Why the last Open or Restart failed with kOpenFileFailed or kOpenNoAudio, and the
    // detail that goes with it (the system's words, or a fact about the file).
    FileProblem failure() const { return failure_; }
    const std::string& failureDetail() const { return failureDetail_; }
    void ClearEndReached() { endReached_.store(false); }
    uint8_t currentBuffer() const { return currentBuffer_.load(); }
    // Copies the marker list of output buffer `buffer` (0 or 1), as one refill left it whole;
    // returns its count.
    uint32_t ReadBeatMarkers(int32_t buffer, BeatMarker* out) const;
    // The markers of the buffer that sounds now: the one queued before the latest.
    uint32_t ReadSoundingBeatMarkers(BeatMarker* out) const {
        return ReadBeatMarkers(currentBuffer() ^ 1, out);
    }
    // The sound output's condition: which output, silent or lost, and why.
    OutputStatus outputStatus() const { return device_.status(); }
    // Waits, at most maxMs, until what was queued has been heard (the end of a song).
    void DrainOutput(uint32_t maxMs) { device_.Drain(maxMs); }

    // What is playing (valid from a successful Open until Close).
    uint32_t sampleRate() const { return sampleRate_; }
    int32_t channels() const { return channels_; }
    // Sample frames handed to the device since the run began, and of those, the ones the output
    // has not taken yet.
    uint32_t samplesAnalysed() const { return samplesAnalysed_.load(); }
    uint64_t framesPending() const { return device_.pendingFrames(); }
    // How long what the device takes is on its way to being heard.
    uint32_t outputLatencyMs() const { return device_.latencyMs(); }
    // The song's length: where its clip ends, in ms of the stream.
    uint32_t songLengthMs() const;
    // Where in the song the run began: 0 for Open and Restart (the beat markers count from the
    // run's start), the sample frame a Seek started at otherwise.
    uint64_t runStartFrame() const { return runStartFrame_.load(); }
    uint32_t runStartMs() const;
    // True once a run that ended by itself has had its last buffer played: the song is over.
    bool runFinished() const { return runFinished_.load(); }
    // Called on the device's thread, under the engine's lock, when a run that ended by itself
    // has had its last buffer played: the owner need not wait for its next tick to go on with
    // the next song. It must not call the engine.
    void SetRunEndListener(std::function<void()> listener);
    // The gain of the sound output, 0..100 %, applied after the beats are marked.
    void SetVolume(uint32_t percent) { device_.SetVolume(percent); }
    uint32_t volume() const { return device_.volume(); }
    // The song's own gain (ReplayGain), applied by the device with the volume to what is
    // written from now on.
    void SetGain(double factor);
    // Gapless playback, from the next Open on (off at first): MPEG songs without their
    // encoder's delay and padding, and prepared songs joining the one before.
    void SetGapless(bool gapless) { gapless_.store(gapless); }
    bool gapless() const { return gapless_.load(); }

    // Opens `path` to follow the song that plays, to be played at `gain`, and starts its run
    // (its first buffer decoded), so that its failure is known now and its first samples are
    // ready when the song before ends. Replaces a song prepared before. Returns kOpenStarted, or
    // the failure of Open (failure() tells why). Needs an open file and gapless playback.
    int32_t PrepareNext(const std::string& path, double gain);
    void CancelNext();
    // The gain the prepared song will play at, set without opening it again; false when no song
    // is prepared (none, or it has joined already).
    bool SetNextGain(double gain);
    // True while a prepared song waits that will join (its format is the one playing).
    bool nextJoins() const;
    // A prepared song has joined and is queued, not yet heard.
    bool joinPending() const;
    // How many prepared songs have been heard joining the one before, since the engine was made.
    uint32_t songsJoined() const { return songsJoined_.load(); }
    // What happened since the owner last asked, taken once per tick or command (and what the
    // engine let go of meanwhile freed, on the owner's thread).
    EngineNews TakeNews();
    static constexpr uint32_t kPrepareAheadBuffers = 3;

private:
    friend class PlayerEngineTestPeer;  // the pipeline, as the tests see it

    // One queued buffer.
    struct WaveHeader {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
    };

    void OnBufferDone(int32_t tag) override;

    // A new run of the open file: from its clip's start, or from `seekMs` (a pause stays).
    int32_t StartOver(std::optional<uint32_t> seekMs);

    // All of the following run under mutex_.
    // Has the source start a run, from the clip's start or from `seekMs`, and fill buffer 0.
    int32_t SetUpRun(std::optional<uint32_t> seekMs);
    // The run the source started is the engine's: its first buffer, its end, where it begins.
    int32_t TakeRun(const RunStart& run);
    // At the end of a run: the prepared song's run follows in the same stream, if it can.
    bool JoinNext();
    // The device takes what is written from now on at `song`'s gain and channel count.
    void WriteAs(const EngineSong& song);
    // A song is prepared that the open device takes as it is.
    bool NextJoinsOutput() const;
    // The last buffer of the song before has been played: the joined song is the one heard.
    void JoinHeard();
    // Before a new run of the song heard: a joined song goes back to waiting.
    void UndoJoin();
    // Opens (on Open) the device, queues buffers 0 and 1, enters Playing (or stays Paused). A
    // device that cannot open lets the file go, into `released`.
    struct Released;
    int32_t StartRun(Released& released, bool paused = false);
    void Refill();
    void QueueCurrent();
    // Says whether the run of the song heard is within kPrepareAheadBuffers of its last buffer.
    void PublishNearEnd();
    // The run's last buffer has been played: told once.
    void FinishRun();
    void EndRun();
    int32_t Refuse(FileProblem problem, const std::string& detail);
    void ResetRunFields();
    // Lets go of the open file and every song; what they held is freed by `released`'s owner,
    // outside the lock.
    struct Released {
        EngineSong current;
        PreparedSong next;
        EngineSong leaving;
        SongHandOver::Retired retired;
    };
    void ReleaseFile(Released& released);

    AudioDevice& device_;
    mutable std::mutex mutex_;
    bool deviceOpen_ = false;
    bool devicePaused_ = false;  // the device holds a pause that no Resume has lifted yet

    BeatMarkerBoard beatMarkers_;
    std::atomic<uint8_t> currentBuffer_{0};
    std::atomic<PlayerState> state_{NoFile};
    std::atomic<bool> endReached_{false};
    std::atomic<bool> fileChanged_{false};
    FileProblem failure_ = FileProblem::kNone;
    std::atomic<bool> gapless_{false};
    std::string failureDetail_;
    uint32_t buffersQueued_ = 0;
    uint32_t buffersOut_ = 0;     // written to the device and not yet handed back
    bool endedByItself_ = false;  // the run reached its last buffer (EndRun)
    std::atomic<bool> runFinished_{false};
    std::function<void()> runEndListener_;
    // Of the song heard: the sample frame its run began at, and the frames handed to the device.
    std::atomic<uint64_t> runStartFrame_{0};
    std::atomic<uint32_t> samplesAnalysed_{0};
    std::atomic<uint32_t> lengthMs_{0};
    // Of the run being queued (the joined song's, after a join).
    uint64_t queueStartFrame_ = 0;
    uint32_t queuedFrames_ = 0;

    double gain_ = 1.0;   // of the song opened next (SetGain)
    EngineSong current_;  // the song being queued
    SongHandOver handOver_;
    std::atomic<uint32_t> songsJoined_{0};
    // The news, for the owner to take without the lock: the run of the song heard nears its end;
    // a join was heard and not yet told.
    std::atomic<bool> nearEnd_{false};
    std::atomic<bool> joinHeard_{false};
    AudioFormat format_;
    std::array<WaveHeader, 2> headers_{};
    uint32_t lastBufferIndex_ = 0;
    uint32_t sampleRate_ = 0;
    int32_t channels_ = 0;
};

}  // namespace zirvak
