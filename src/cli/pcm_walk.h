// Every sample of an opened input, as decode writes it and playback plays it, handed to a sink a
// block at a time: for decode, which writes them, and loudness, which measures them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "input.h"

namespace zirvak::cli {

// 16-bit PCM of the source's rate and channels.
struct PcmFormat {
    int32_t rate = 0;
    int32_t channels = 0;
};
PcmFormat PcmFormatOf(const Input& in);

using PcmSink = std::function<void(const uint8_t* bytes, size_t length)>;

// Hands every sample of `in` to `sink`, in order; false when the file came short or changed.
bool WalkPcm(Input& in, const PcmSink& sink);

}  // namespace zirvak::cli
