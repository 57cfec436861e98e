#include "commands.h"
#include "input.h"
#include "offline_audio_device.h"
#include "output_file.h"
#include "player_engine.h"
#include "replay_gain.h"

namespace zirvak::cli {

// The songs one after another into one file, as a queue plays them: each song's samples follow
// the last of the song before, nothing between them. A song that cannot be played, or is of
// another rate or channel count than the first, gets its message and is left out.
int RunRender(const std::vector<std::string>& paths, const std::string& outPath,
              const PlayOptions& options) {
    OutputFile out;
    std::string error;
    if (!out.Prepare(outPath, paths, error)) return Fail(error);
    OfflineAudioDevice device(out.writePath());
    device.KeepFileAcrossSongs();
    PlayerEngine engine(device);
    engine.SetGapless(options.gapless.value_or(false));
    const ReplayGainSettings gain{options.replayGain.value_or(ReplayGainMode::kOff)};
    bool failed = false, rendered = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (gain.mode != ReplayGainMode::kOff) {
            const SongTags tags = ReadSongTags(path);
            engine.SetGain(ReplayGainFactor(
                tags.replayGain, gain,
                gain.mode == ReplayGainMode::kAuto && NeighbourInAlbum(paths, i, tags.album)));
        }
        const int32_t result = engine.Open(path, 0, kDefaultEndMs);
        if (result == kOpenNoDevice && device.otherFormat()) {
            Fail(Words(Say::kOtherFormat, path));
            failed = true;
            continue;
        }
        if (result == kOpenNoDevice) return Fail(Words(Say::kCannotWrite, outPath));
        if (result != kOpenStarted) {
            Fail(DescribeOpenFailure(engine, path, result));
            failed = true;
            continue;
        }
        // Each delivered completion refills and queues the next buffer, until the run ends.
        device.DeliverCompletions();
        const bool changed = engine.fileChanged();
        engine.Close();
        rendered = true;
        if (changed) {
            Fail(DescribeFileProblem(path, FileProblem::kChanged));
            failed = true;
        }
    }
    device.Finish();
    if (!device.ok()) return Fail(Words(Say::kCannotWrite, outPath));
    if (!rendered) return 1;  // each song said why
    if (!out.Commit(error)) return Fail(error);
    return failed ? 1 : 0;
}

}  // namespace zirvak::cli
