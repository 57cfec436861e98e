#include "synthesis.h"

#include <bit>
#include <cstring>

#include "synthesis_parts.h"

namespace mpeg {

namespace {

// Windows the ring at position p into N sums (ISO/IEC 11172-3 Annex A windowing and
// summation, with the ring's symmetries folded into the index arithmetic). Each output is one
// single-precision running sum, its terms added in a fixed order; the outputs are independent,
// so the loops over them vectorise without changing any result.
template <int32_t Shift>
void SynthWindow(const float* ring, int32_t p, float* sums) {
    constexpr int32_t N = 32 >> Shift, R = 16 * N, H = N / 2, T = 2 * N;
    constexpr int32_t kMask = R - 1;
    const WindowLayout& w = LayoutFor<Shift>();
    float low[H] = {};
    float high[H] = {};
    float middle = 0.0f;
    for (int32_t m = 0; m < 8; ++m) {
        const float* rising = ring + ((p + H + T * m) & kMask);           // rising[k]
        const float* falling = ring + ((p + 2 * H + T * m) & kMask) + H;  // falling[-k]
        for (int32_t k = 0; k < H; ++k) {
            low[k] = low[k] + w.a[m][k] * rising[k];
            low[k] = low[k] - w.b[m][k] * falling[-k];
        }
        const int32_t centre = (p + N + T * m) & kMask;
        middle = middle + w.middle[m] * ring[centre];
        const float* below = ring + centre + R - 1;  // below[-k], from the mirrored copy
        const float* above = ring + centre + 1;      // above[k]
        // H lanes, one more than there are outputs: the last has zero coefficients, and the
        // loop runs in whole vectors.
        for (int32_t k = 0; k < H; ++k) {
            high[k] = high[k] + w.c[m][k] * below[-k];
            high[k] = high[k] + w.d[m][k] * above[k];
        }
    }
    for (int32_t k = 0; k < H; ++k) sums[k] = low[k];
    sums[H] = middle;
    for (int32_t k = 0; k < H - 1; ++k) sums[H + 1 + k] = high[k];
}

// Writes N converted samples, every `Step`-th sample position. The window sums come out with
// the polarity inverted (the stored window holds -D); negating them, which is exact, gives the
// standard's output.
template <int32_t N, bool Eight, int32_t Step>
void StoreSamples(const float* sums, uint8_t* out) {
    int32_t converted[N];
    for (int32_t k = 0; k < N; ++k) {
        converted[k] = ToPcm16(-sums[k]);
    }
    for (int32_t k = 0; k < N; ++k) {
        const int32_t pcm = converted[k];
        if constexpr (Eight) {
            out[k * Step] = ToPcm8(pcm);
        } else {
            const int16_t sample = int16_t(pcm);
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(out + 2 * k * Step, &sample, 2);
            } else {
                out[2 * k * Step] = uint8_t(pcm & 0xFF);
                out[2 * k * Step + 1] = uint8_t((pcm >> 8) & 0xFF);
            }
        }
    }
}

// One channel of one slot: DCT into the ring, window, store.
template <int32_t Shift, bool Eight, int32_t Step>
void SynthChannel(const float* x, float* ring, int32_t position, uint8_t* out) {
    constexpr int32_t N = 32 >> Shift, R = 16 * N;
    Dct<N>(x, ring + position);
    std::memcpy(ring + position + R, ring + position, sizeof(float) * N);
    float sums[N];
    SynthWindow<Shift>(ring, position, sums);
    StoreSamples<N, Eight, Step>(sums, out);
}

template <int32_t Shift>
int32_t NextPosition(int32_t position) {
    constexpr int32_t N = 32 >> Shift, R = 16 * N;
    return (position - N) & (R - 1);
}

// Layer I/II, one output channel from the slot's values as `In` reads them.
template <int32_t Shift, bool Eight, Input In>
int32_t SynthLayer12Mono(Decoder& d, float* samples, uint8_t* out, int32_t slots) {
    constexpr int32_t N = 32 >> Shift;
    constexpr int32_t kBytesPerSlot = N * (Eight ? 1 : 2);
    for (int32_t s = 0; s < slots; ++s, samples += 64, out += kBytesPerSlot) {
        float x[N];
        LoadSubbands<N, In, Shift == 0>(d, samples, x);
        SynthChannel<Shift, Eight, 1>(x, d.synthHistory[0], d.synthPosition, out);
        d.synthPosition = NextPosition<Shift>(d.synthPosition);
    }
    return 1;
}

// Layer I/II, both channels into their own rings at one position, interleaved output.
template <int32_t Shift, bool Eight>
int32_t SynthLayer12Stereo(Decoder& d, float* samples, uint8_t* out, int32_t slots) {
    constexpr int32_t N = 32 >> Shift;
    constexpr int32_t kSampleBytes = Eight ? 1 : 2;
    for (int32_t s = 0; s < slots; ++s, samples += 64, out += 2 * N * kSampleBytes) {
        float x[N];
        LoadSubbands<N, Input::Left, Shift == 0>(d, samples, x);
        SynthChannel<Shift, Eight, 2>(x, d.synthHistory[0], d.synthPosition, out);
        LoadSubbands<N, Input::Right, Shift == 0>(d, samples, x);
        SynthChannel<Shift, Eight, 2>(x, d.synthHistory[1], d.synthPosition, out + kSampleBytes);
        d.synthPosition = NextPosition<Shift>(d.synthPosition);
    }
    return 1;
}

// Layer III: 18 slots of 32 values of one channel. The mono form uses the left ring; the
// stereo form uses the ring and position of `channel` and writes that channel's samples.
template <int32_t Shift, bool Eight, bool Stereo>
int32_t SynthLayer3(Decoder& d, float* samples, uint8_t* out, int32_t channel) {
    constexpr int32_t N = 32 >> Shift;
    constexpr int32_t kSampleBytes = Eight ? 1 : 2;
    constexpr int32_t kChannels = Stereo ? 2 : 1;
    const int32_t c = Stereo ? channel : 0;
    int32_t& position = c == 0 ? d.synthPosition : d.synthPositionRight;
    out += c * kSampleBytes;
    for (int32_t s = 0; s < 18; ++s, samples += 32, out += kChannels * N * kSampleBytes) {
        float x[N];
        LoadSubbands<N, Input::Contiguous, Shift == 0>(d, samples, x);
        SynthChannel<Shift, Eight, kChannels>(x, d.synthHistory[c], position, out);
        position = NextPosition<Shift>(position);
    }
    return 1;
}

template <bool Eight>
constexpr SynthFunction kLayer12Single[3][3] = {
    {SynthLayer12Mono<0, Eight, Input::Mixed>, SynthLayer12Mono<1, Eight, Input::Mixed>,
     SynthLayer12Mono<2, Eight, Input::Mixed>},
    {SynthLayer12Mono<0, Eight, Input::Left>, SynthLayer12Mono<1, Eight, Input::Left>,
     SynthLayer12Mono<2, Eight, Input::Left>},
    {SynthLayer12Mono<0, Eight, Input::Right>, SynthLayer12Mono<1, Eight, Input::Right>,
     SynthLayer12Mono<2, Eight, Input::Right>},
};

}  // namespace

const SynthSelectionTables SynthSelection = {
    {
        SynthLayer12Mono<0, false, Input::Contiguous>,
        SynthLayer12Stereo<0, false>,
        SynthLayer12Mono<1, false, Input::Contiguous>,
        SynthLayer12Stereo<1, false>,
        SynthLayer12Mono<2, false, Input::Contiguous>,
        SynthLayer12Stereo<2, false>,
        SynthLayer12Mono<0, true, Input::Contiguous>,
        SynthLayer12Stereo<0, true>,
        SynthLayer12Mono<1, true, Input::Contiguous>,
        SynthLayer12Stereo<1, true>,
        SynthLayer12Mono<2, true, Input::Contiguous>,
        SynthLayer12Stereo<2, true>,
    },
    {
        SynthLayer3<0, false, false>,
        SynthLayer3<0, false, true>,
        SynthLayer3<1, false, false>,
        SynthLayer3<1, false, true>,
        SynthLayer3<2, false, false>,
        SynthLayer3<2, false, true>,
        SynthLayer3<0, true, false>,
        SynthLayer3<0, true, true>,
        SynthLayer3<1, true, false>,
        SynthLayer3<1, true, true>,
        SynthLayer3<2, true, false>,
        SynthLayer3<2, true, true>,
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
