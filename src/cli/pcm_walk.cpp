#include "pcm_walk.h"

namespace zirvak::cli {

PcmFormat PcmFormatOf(const Input& in) {
    return {in.source->format().sampleRateHz, in.source->format().channels};
}

// The samples as playback plays them, buffer by buffer from the run OpenInput started. (An MPEG
// stream opened to its end plays every frame in a slot of its own, a frame without sound as
// silence, so the output stays aligned on frames.)
bool WalkPcm(Input& in, const PcmSink& sink) {
    SourceBuffer buffer = in.run.first;
    for (uint32_t index = 0;; ++index) {
        if (index > 0) buffer = in.source->Fill(uint8_t(index % 2), index);
        sink(buffer.data, buffer.length);
        if (buffer.cameShort || index == in.run.lastBufferIndex) break;
    }
    return !in.source->fileChanged();
}

}  // namespace zirvak::cli
