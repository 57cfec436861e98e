// One run of a file through the engine on a stepped test device, from Open to the end: what
// it played, the MPEG clip it planned, the format the device was opened with.
#pragma once

#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "player_engine_test_peer.h"
#include "player_fixtures.h"

namespace zirvak::test {

struct EngineRun {
    Bytes pcm;
    ClipPlan clip;
    AudioFormat format;
    size_t firstBufferBytes = 0;
};

inline EngineRun PlayFile(const std::string& path, uint32_t startMs = 0,
                          uint32_t endMs = kDefaultEndMs) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    EXPECT_EQ(engine.Open(path, startMs, endMs), kOpenStarted) << path;
    EngineRun run{{},
                  PlayerEngineTestPeer(engine).clip(),
                  device.format,
                  device.written.empty() ? 0 : device.written[0].bytes.size()};
    device.CompleteAll();
    run.pcm = device.AllBytes();
    return run;
}

}  // namespace zirvak::test
