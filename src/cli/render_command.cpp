#include <cstdint>

#include "commands.h"
#include "input.h"
#include "offline_audio_device.h"
#include "output_file.h"
#include "play_queue.h"
#include "player_engine.h"
#include "song_follower.h"

namespace zirvak::cli {

namespace {

// A render as a queue plays it: each song opened in turn, or followed by the one after it in the
// same run of the engine (gapless), at the gain its tags give.
class Render {
public:
    Render(const std::vector<std::string>& paths, const PlayOptions& options,
           const std::string& outPath, OfflineAudioDevice& device, PlayerEngine& engine)
        : outPath_(outPath),
          device_(device),
          engine_(engine),
          follower_(engine, [this](const std::string& message) { Failed(message); }) {
        queue_.Replace(paths);
        gain_.mode = options.replayGain.value_or(ReplayGainMode::kOff);
        follower_.UseGain(gain_, queue_);
    }

    // Plays every song of the queue into the file; false when the file cannot be written.
    bool Run() {
        for (std::optional<size_t> next = queue_.NextIndex(); next; next = queue_.NextIndex()) {
            queue_.MoveTo(*next);
            if (!Open(*next)) {
                if (cannotWrite_) return false;
                continue;
            }
            rendered_ = true;
            // Each delivered completion refills and queues the next buffer, until the run ends;
            // the song prepared on the way joins, and the one after it is prepared.
            do {
                if (std::optional<SongInfo> joined = follower_.Follow(engine_.TakeNews(), queue_))
                    playing_ = joined->path;
            } while (device_.DeliverCompletions(1) > 0);
            const bool changed = engine_.fileChanged();
            engine_.Close();
            if (changed) Failed(DescribeFileProblem(playing_, FileProblem::kChanged));
            // A song prepared that could not join (another format, or the one before changed on
            // disk) is the next to open.
        }
        return true;
    }

    bool rendered() const { return rendered_; }
    bool failed() const { return failed_; }

private:
    // Opens song `index`; false when it cannot play (it said why).
    bool Open(size_t index) {
        std::optional<SongInfo> song = follower_.Take(index);
        follower_.Forget();
        if (!song) song = ReadSongInfo(queue_.files()[index], {});
        engine_.SetGain(SongGain(song->tags, gain_, queue_.files(), index));
        const int32_t result = engine_.Open(song->path, 0, kDefaultEndMs);
        if (result == kOpenStarted) {
            playing_ = song->path;
            return true;
        }
        if (result == kOpenNoDevice && device_.otherFormat()) {
            Failed(Words(Say::kOtherFormat, song->path));
        } else if (result == kOpenNoDevice) {
            Failed(Words(Say::kCannotWrite, outPath_));
            cannotWrite_ = true;
        } else {
            Failed(DescribeOpenFailure(engine_, song->path, result));
        }
        return false;
    }

    void Failed(const std::string& message) {
        failed_ = true;
        Fail(message);
    }

    const std::string& outPath_;
    OfflineAudioDevice& device_;
    PlayerEngine& engine_;
    PlayQueue queue_;
    ReplayGainSettings gain_;
    SongFollower follower_;
    std::string playing_;  // the song heard
    bool rendered_ = false;
    bool failed_ = false;
    bool cannotWrite_ = false;
};

}  // namespace

// The songs one after another into one file, as a queue plays them: each song's samples follow
// the last of the song before, nothing between them. Gapless, each song joins the one before in
// the engine, as it does on a sound card. A song that cannot be played, or is of another rate
// or channel count than the first, gets its message and is left out.
int RunRender(const std::vector<std::string>& paths, const std::string& outPath,
              const PlayOptions& options) {
    OutputFile out;
    std::string error;
    if (!out.Prepare(outPath, paths, error)) return Fail(error);
    OfflineAudioDevice device(out.writePath());
    device.KeepFileAcrossSongs();
    PlayerEngine engine(device);
    engine.SetGapless(options.gapless.value_or(false));
    Render render(paths, options, outPath, device, engine);
    const bool written = render.Run();
    device.Finish();
    if (!written || !device.ok()) return Fail(Words(Say::kCannotWrite, outPath));
    if (!render.rendered()) return 1;  // each song said why
    if (!out.Commit(error)) return Fail(error);
    return render.failed() ? 1 : 0;
}

}  // namespace zirvak::cli
