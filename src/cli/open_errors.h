// One-line texts for the engine's Open results.
#pragma once

#include <cstdint>

#include "player_engine.h"

namespace zirvak::cli {

inline const char* OpenErrorText(int32_t result) {
    switch (result) {
        case kOpenFileFailed:
            return "cannot be read, or is not a playable WAV or MPEG audio file";
        case kOpenNoDevice:
            return "no audio output could be opened";
        case kOpenNoBufferMemory:
            return "not enough memory for the output buffers";
        default:
            return "cannot be played";
    }
}

}  // namespace zirvak::cli
