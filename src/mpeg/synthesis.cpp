#include "synthesis.h"

#include <cstring>

#include "synthesis_lanes.h"

namespace mpeg {

namespace {

// The plain path: the routines of synthesis_lanes.h one output at a time.
template <bool Eight>
constexpr SynthFunction kLayer12Single[3][3] = {
    {SynthLayer12Mono<OneLane, 0, Eight, Input::Mixed>,
     SynthLayer12Mono<OneLane, 1, Eight, Input::Mixed>,
     SynthLayer12Mono<OneLane, 2, Eight, Input::Mixed>},
    {SynthLayer12Mono<OneLane, 0, Eight, Input::Left>,
     SynthLayer12Mono<OneLane, 1, Eight, Input::Left>,
     SynthLayer12Mono<OneLane, 2, Eight, Input::Left>},
    {SynthLayer12Mono<OneLane, 0, Eight, Input::Right>,
     SynthLayer12Mono<OneLane, 1, Eight, Input::Right>,
     SynthLayer12Mono<OneLane, 2, Eight, Input::Right>},
};

}  // namespace

const SynthSelectionTables SynthSelection = {
    {
        SynthLayer12Mono<OneLane, 0, false, Input::Contiguous>,
        SynthLayer12Stereo<OneLane, 0, false>,
        SynthLayer12Mono<OneLane, 1, false, Input::Contiguous>,
        SynthLayer12Stereo<OneLane, 1, false>,
        SynthLayer12Mono<OneLane, 2, false, Input::Contiguous>,
        SynthLayer12Stereo<OneLane, 2, false>,
        SynthLayer12Mono<OneLane, 0, true, Input::Contiguous>,
        SynthLayer12Stereo<OneLane, 0, true>,
        SynthLayer12Mono<OneLane, 1, true, Input::Contiguous>,
        SynthLayer12Stereo<OneLane, 1, true>,
        SynthLayer12Mono<OneLane, 2, true, Input::Contiguous>,
        SynthLayer12Stereo<OneLane, 2, true>,
    },
    {
        SynthLayer3<OneLane, 0, false, false>,
        SynthLayer3<OneLane, 0, false, true>,
        SynthLayer3<OneLane, 1, false, false>,
        SynthLayer3<OneLane, 1, false, true>,
        SynthLayer3<OneLane, 2, false, false>,
        SynthLayer3<OneLane, 2, false, true>,
        SynthLayer3<OneLane, 0, true, false>,
        SynthLayer3<OneLane, 0, true, true>,
        SynthLayer3<OneLane, 1, true, false>,
        SynthLayer3<OneLane, 1, true, true>,
        SynthLayer3<OneLane, 2, true, false>,
        SynthLayer3<OneLane, 2, true, true>,
    },
    {
        {{kLayer12Single<false>[0][0], kLayer12Single<false>[0][1], kLayer12Single<false>[0][2]},
         {kLayer12Single<true>[0][0], kLayer12Single<true>[0][1], kLayer12Single<true>[0][2]}},
        {{kLayer12Single<false>[1][0], kLayer12Single<false>[1][1], kLayer12Single<false>[1][2]},
         {kLayer12Single<true>[1][0], kLayer12Single<true>[1][1], kLayer12Single<true>[1][2]}},
        {{kLayer12Single<false>[2][0], kLayer12Single<false>[2][1], kLayer12Single<false>[2][2]},
         {kLayer12Single<true>[2][0], kLayer12Single<true>[2][1], kLayer12Single<true>[2][2]}},
    },
};

void FastDct(const float* x, float* y, int32_t n) {
    // Callers may pass fewer than 32 values.
    float padded[32];
    std::memcpy(padded, x, sizeof(float) * n);
    if (n == 32) Dct<32>(padded, y);
    if (n == 16) {
        padded[15] = 0.0f;
        Dct<16>(padded, y);
    }
    if (n == 8) Dct<8>(padded, y);
}

uint8_t ToPcm8(int32_t pcm16) {
    return uint8_t(((pcm16 >> 8) & 0xFF) ^ 0x80);
}

void ResetSynthesis(Decoder& d) {
    std::memset(d.synthHistory, 0, sizeof d.synthHistory);
    std::memset(d.synthHistoryReversed, 0, sizeof d.synthHistoryReversed);
    d.synthPosition = 0;
    d.synthPositionRight = 0;
}

namespace {
int32_t SelectionIndex(const Decoder& d, int32_t column) {
    const int32_t eight = (d.options.outputFlags & kOutputFlag8Bit) ? 1 : 0;
    return 6 * eight + 2 * d.options.downSamplingShift + column;
}
}  // namespace

namespace {
// The routines of the decoder's path where it has them: full rate with 16-bit output.
const VectorSynthesis* VectorSynthesisFor(const Decoder& d) {
    if (d.options.downSamplingShift != 0 || (d.options.outputFlags & kOutputFlag8Bit) != 0)
        return nullptr;
#if defined(__x86_64__)
    if (d.simdPath == SimdPath::kAvx2) return &kAvx2Synthesis;
    if (d.simdPath == SimdPath::kSse2) return &kSse2Synthesis;
#endif
    return nullptr;
}
}  // namespace

SynthFunction SelectLayer12Synth(const Decoder& d, int32_t streamChannels) {
    const int32_t channelOption = d.options.outputFlags & 3;
    const VectorSynthesis* vector = VectorSynthesisFor(d);
    if (vector != nullptr && (streamChannels == 1 || channelOption == 0))
        return streamChannels == 2 ? vector->layer12Stereo : vector->layer12Mono;
    if (streamChannels == 2 && channelOption != 0) {
        const int32_t eight = (d.options.outputFlags & kOutputFlag8Bit) ? 1 : 0;
        return SynthSelection.layer12Single[channelOption - 1][eight][d.options.downSamplingShift];
    }
    return SynthSelection.layer12[SelectionIndex(d, streamChannels == 2 ? 1 : 0)];
}

SynthFunction SelectLayer3Synth(const Decoder& d, int32_t streamChannels) {
    const int32_t column = (streamChannels == 1 || (d.options.outputFlags & 3) != 0) ? 0 : 1;
    if (const VectorSynthesis* vector = VectorSynthesisFor(d))
        return column == 1 ? vector->layer3Stereo : vector->layer3Mono;
    return SynthSelection.layer3[SelectionIndex(d, column)];
}

}  // namespace mpeg
