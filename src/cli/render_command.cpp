#include "commands.h"
#include "input.h"
#include "offline_audio_device.h"
#include "output_file.h"
#include "player_engine.h"
#include "replay_gain.h"

namespace zirvak::cli {

int RunRender(const std::string& path, const std::string& outPath, const PlayOptions& options) {
    OutputFile out;
    std::string error;
    if (!out.Prepare(outPath, path, error)) return Fail(error);
    OfflineAudioDevice device(out.writePath());
    PlayerEngine engine(device);
    engine.SetGain(ReplayGainFactor(ReadSongTags(path).replayGain,
                                    {options.replayGain.value_or(ReplayGainMode::kOff)}, false));
    const int32_t result = engine.Open(path, 0, kDefaultEndMs);
    if (result == kOpenNoDevice) return Fail(Words(Say::kCannotWrite, outPath));
    if (result != kOpenStarted) return Fail(DescribeOpenFailure(engine, path, result));
    // Each delivered completion refills and queues the next buffer, until the run ends.
    device.DeliverCompletions();
    const bool changed = engine.fileChanged();
    engine.Close();
    if (!device.ok()) return Fail(Words(Say::kCannotWrite, outPath));
    if (changed) return Fail(DescribeFileProblem(path, FileProblem::kChanged));
    if (!out.Commit(error)) return Fail(error);
    return 0;
}

}  // namespace zirvak::cli
