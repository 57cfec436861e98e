// The songs besides the one the engine queues, gapless: the song prepared to follow it, and,
// once that has joined in the same device stream, the song before, whose last buffers are still
// being played. The hand-over's steps are the engine's to take under its lock (from its owner's
// thread or the device's); opening and starting a prepared song, and freeing a song that is done
// with, happen outside it, on the owner's thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio_source.h"
#include "input_file.h"

namespace zirvak {

// A song as the engine holds it: its file, the source that reads it, the gain it plays at.
struct EngineSong {
    std::unique_ptr<InputFile> file;
    std::unique_ptr<AudioSource> source;  // reads file: released before it
    double gain = 1.0;

    EngineSong() = default;
    EngineSong(EngineSong&&) noexcept = default;
    // A song moved over another lets go of the other's source before its file.
    EngineSong& operator=(EngineSong&& other) noexcept {
        source.reset();
        file = std::move(other.file);
        source = std::move(other.source);
        gain = other.gain;
        return *this;
    }
};

// A song opened to follow the one that plays, its run started (its first buffer decoded) so that
// its failure is known at once and its first samples are ready at the join.
struct PreparedSong {
    EngineSong song;
    std::optional<RunStart> run;  // none once a join was undone: it starts again before joining
};

// Opens `path` and starts its run: `song` holds it when it can play; otherwise the problem and
// its detail, or no memory for its buffers. Outside the engine's lock.
struct PreparedRun {
    FileProblem problem = FileProblem::kNone;
    std::string detail;
    bool noBufferMemory = false;
};
PreparedRun PrepareSong(const std::string& path, double gain, PreparedSong& song);
// Starts the run of a prepared song again (its join was undone); false when it cannot start.
bool RestartPreparedRun(PreparedSong& song);

class SongHandOver {
public:
    // The prepared song takes `song`'s place; the one prepared before comes back in `song`, to
    // be freed outside the lock.
    void Offer(PreparedSong& song) { std::swap(next_, song); }
    // The prepared song, taken back (to be freed, or started again, outside the lock).
    void Withdraw(PreparedSong& out) { std::swap(next_, out); }
    bool prepared() const { return next_.song.source != nullptr; }
    // The prepared song's run was undone and must start again before it can join.
    bool needsRestart() const { return prepared() && !next_.run; }
    // The prepared song's rate and channels; none when no song is prepared.
    std::optional<AudioFormat> nextFormat() const;
    // The gain the prepared song will play at; false when none is prepared.
    bool SetNextGain(double gain);

    // At the end of the queued run, the prepared song being one the device takes: it becomes
    // `current` and the song before leaves with its `buffersOut` buffers still to be played.
    // Returns the joined run's start (its first buffer to queue), or none.
    std::optional<RunStart> Join(EngineSong& current, uint32_t buffersOut);
    // A joined song is queued and the song before still heard.
    bool joinPending() const { return leaving_.source != nullptr; }
    // One of the song before's buffers has been played: true when it was the last of them, and
    // the joined song is now the one heard (the song before waits to be freed).
    bool LeavingBufferPlayed();
    // The join is heard at once: the song before had no buffer out.
    void LeftAtOnce();
    // Before a new run of the song heard: it becomes `current` again, and the joined song goes
    // back to being prepared, its run to start again.
    void Undo(EngineSong& current);

    // The songs done with, for the owner to free outside the lock.
    using Retired = std::array<EngineSong, 2>;
    void TakeRetired(Retired& out) { std::swap(retired_, out); }
    // Everything the hand-over holds, to be freed outside the lock (the engine closes).
    void TakeAll(PreparedSong& next, EngineSong& leaving, Retired& retired);

private:
    void Retire(EngineSong& song);

    PreparedSong next_;
    EngineSong leaving_;
    uint32_t leavingBuffersOut_ = 0;
    // The owner takes them on each of its calls, so two places are enough: a join heard and a
    // song prepared meanwhile. Were both taken, the older would be freed here.
    Retired retired_;
};

}  // namespace zirvak
