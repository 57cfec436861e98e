// The engine's pipeline as its tests see it, beyond what the window and the terminal use: how
// far the run has queued, where it ends, and the part of an MPEG stream it plays.
#pragma once

#include <cstdint>

#include "mpeg_clip.h"
#include "player_engine.h"

namespace zirvak {

class PlayerEngineTestPeer {
public:
    explicit PlayerEngineTestPeer(const PlayerEngine& engine) : engine_(engine) {}

    // Buffers queued after buffer 0 in this run, and the index of its last buffer.
    uint32_t buffersQueued() const { return engine_.buffersQueued_; }
    uint32_t lastBufferIndex() const { return engine_.lastBufferIndex_; }
    // The clip plan of an MPEG file; an empty plan for any other.
    ClipPlan clip() const;

private:
    const PlayerEngine& engine_;
};

}  // namespace zirvak
