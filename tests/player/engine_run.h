// Runs of a file through the engine on a stepped test device: from Open to the end (what it
// played, the MPEG clip it planned, the format the device was opened with), and from a seek.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "player_engine_test_peer.h"
#include "player_fixtures.h"

namespace zirvak::test {

// Every byte of a run of `source` started with `seekMs` (none: from its start); `start`
// receives how it began. Nothing when it cannot start.
inline Bytes PlayRun(AudioSource& source, std::optional<uint32_t> seekMs = std::nullopt,
                     RunStart* start = nullptr) {
    const RunStart run = source.Start(seekMs);
    if (start) *start = run;
    if (run.problem != FileProblem::kNone || run.noBufferMemory) return {};
    Bytes out(run.first.data, run.first.data + run.first.length);
    for (uint32_t i = 1; i <= run.lastBufferIndex && !run.first.cameShort; ++i) {
        const SourceBuffer b = source.Fill(uint8_t(i % 2), i);
        out.insert(out.end(), b.data, b.data + b.length);
        if (b.cameShort) break;
    }
    return out;
}

struct EngineRun {
    Bytes pcm;
    ClipPlan clip;
    AudioFormat format;
    size_t firstBufferBytes = 0;
};

// With `gapless`, as the players play songs one after another (MPEG without the encoder's gap).
inline EngineRun PlayFile(const std::string& path, uint32_t startMs = 0,
                          uint32_t endMs = kDefaultEndMs, bool gapless = false) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    engine.SetGapless(gapless);
    EXPECT_EQ(engine.Open(path, startMs, endMs), kOpenStarted) << path;
    EngineRun run{{},
                  PlayerEngineTestPeer(engine).clip(),
                  device.format,
                  device.written.empty() ? 0 : device.written[0].bytes.size()};
    device.CompleteAll();
    run.pcm = device.AllBytes();
    return run;
}

// Every byte played after a seek to `ms`, with the sample frame the run began at.
struct SeekRun {
    Bytes bytes;
    uint64_t startFrame = 0;
    int32_t blockAlign = 0;
};

inline SeekRun PlayFrom(const std::string& path, uint32_t ms, bool gapless = false) {
    TestAudioDevice device;
    PlayerEngine engine(device);
    engine.SetGapless(gapless);
    EXPECT_EQ(engine.Open(path, 0, kDefaultEndMs), kOpenStarted) << path;
    device.CompleteOldest();  // the run is under way before it moves
    device.written.clear();
    EXPECT_EQ(engine.Seek(ms), kOpenStarted) << path << " at " << ms;
    EXPECT_EQ(engine.state(), Playing);
    SeekRun run{{}, engine.runStartFrame(), engine.channels() * 2};
    device.CompleteAll();
    run.bytes = device.AllBytes();
    EXPECT_TRUE(device.misuse().empty());
    return run;
}

// What an unbroken run plays from sample frame `frame` on.
inline Bytes Tail(const Bytes& whole, uint64_t frame, int32_t blockAlign) {
    const size_t from = std::min(whole.size(), size_t(frame) * size_t(blockAlign));
    return Bytes(whole.begin() + ptrdiff_t(from), whole.end());
}

}  // namespace zirvak::test
