#include <cstdio>

#include "commands.h"
#include "offline_audio_device.h"
#include "open_errors.h"
#include "player_engine.h"

namespace zirvak::cli {

int RunRender(const std::string& path, const std::string& outPath) {
    OfflineAudioDevice device(outPath);
    PlayerEngine engine(device);
    const int32_t result = engine.Open(path, 0, kDefaultEndMs);
    if (result != kOpenStarted) {
        std::fprintf(stderr, "zirvak-cli: %s: %s\n", path.c_str(), OpenErrorText(result));
        return 1;
    }
    // Each delivered completion refills and queues the next buffer, until the run ends.
    device.DeliverCompletions();
    engine.Close();
    if (!device.ok()) {
        std::fprintf(stderr, "zirvak-cli: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}

}  // namespace zirvak::cli
