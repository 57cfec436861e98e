#include <cstdint>

#include "commands.h"
#include "input.h"
#include "offline_audio_device.h"
#include "output_file.h"
#include "player_engine.h"
#include "replay_gain.h"

namespace zirvak::cli {

namespace {

// The songs of a render, as a queue plays them: each one opened, or prepared to follow the one
// before in the same run of the engine (gapless), at the gain its tags give.
class RenderQueue {
public:
    RenderQueue(const std::vector<std::string>& paths, const PlayOptions& options,
                PlayerEngine& engine)
        : paths_(paths),
          gain_{options.replayGain.value_or(ReplayGainMode::kOff)},
          engine_(engine) {}

    bool done() const { return next_ == paths_.size(); }
    const std::string& path(size_t i) const { return paths_[i]; }
    size_t next() const { return next_; }
    void GoBackTo(size_t i) { next_ = i; }

    double GainOf(size_t i) const {
        if (gain_.mode == ReplayGainMode::kOff) return 1.0;
        const SongTags tags = ReadTagsOf(paths_[i]);
        return ReplayGainFactor(
            tags.replayGain, gain_,
            gain_.mode == ReplayGainMode::kAuto && NeighbourInAlbum(paths_, i, tags.album));
    }

    // Opens the next song that plays; false when none is left, or the file cannot be written.
    // `failed` is set when a song had to be left out.
    bool OpenNext(OfflineAudioDevice& device, const std::string& outPath, bool& failed,
                  bool& cannotWrite) {
        while (!done()) {
            const size_t i = next_++;
            engine_.SetGain(GainOf(i));
            const int32_t result = engine_.Open(paths_[i], 0, kDefaultEndMs);
            if (result == kOpenStarted) return true;
            failed = true;
            if (result == kOpenNoDevice && device.otherFormat()) {
                Fail(Words(Say::kOtherFormat, paths_[i]));
            } else if (result == kOpenNoDevice) {
                Fail(Words(Say::kCannotWrite, outPath));
                cannotWrite = true;
                return false;
            } else {
                Fail(DescribeOpenFailure(engine_, paths_[i], result));
            }
        }
        return false;
    }

    // Prepares the next song that will join the one playing; false when none is left.
    bool PrepareNext(bool& failed) {
        while (!done()) {
            const size_t i = next_++;
            const int32_t result = engine_.PrepareNext(paths_[i], GainOf(i));
            if (result == kOpenStarted && engine_.nextJoins()) return true;
            failed = true;
            if (result == kOpenStarted) {
                engine_.CancelNext();
                Fail(Words(Say::kOtherFormat, paths_[i]));
            } else {
                Fail(DescribeOpenFailure(engine_, paths_[i], result));
            }
        }
        return false;
    }

private:
    const std::vector<std::string>& paths_;
    const ReplayGainSettings gain_;
    PlayerEngine& engine_;
    size_t next_ = 0;
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
    RenderQueue queue(paths, options, engine);
    bool failed = false, rendered = false, cannotWrite = false;
    constexpr size_t kNone = SIZE_MAX;
    while (queue.OpenNext(device, outPath, failed, cannotWrite)) {
        rendered = true;
        size_t current = queue.next() - 1;
        const auto prepare = [&] { return queue.PrepareNext(failed) ? queue.next() - 1 : kNone; };
        size_t prepared = engine.gapless() ? prepare() : kNone;
        // Each delivered completion refills and queues the next buffer, until the run ends; a
        // prepared song joins on the way, and the one after it is prepared.
        for (uint32_t joined = engine.songsJoined(); device.DeliverCompletions(1) > 0;) {
            if (engine.songsJoined() == joined || prepared == kNone) continue;
            joined = engine.songsJoined();
            current = prepared;
            prepared = prepare();
        }
        const bool changed = engine.fileChanged();
        engine.Close();
        if (changed) {
            Fail(DescribeFileProblem(queue.path(current), FileProblem::kChanged));
            failed = true;
        }
        // A song prepared that could not join (the one before changed on disk) is opened anew.
        if (prepared != kNone) queue.GoBackTo(prepared);
    }
    device.Finish();
    if (cannotWrite || !device.ok()) return Fail(Words(Say::kCannotWrite, outPath));
    if (!rendered) return 1;  // each song said why
    if (!out.Commit(error)) return Fail(error);
    return failed ? 1 : 0;
}

}  // namespace zirvak::cli
