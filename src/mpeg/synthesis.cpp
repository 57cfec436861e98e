#include "synthesis.h"

#include <bit>
#include <cstring>

namespace mpeg {

namespace {

void DctButterflies(const float* in, float* out, int32_t count, int32_t size, const float* c) {
    const int32_t half = size / 2;
    for (int32_t b = 0; b < count; ++b, in += size, out += size) {
        for (int32_t j = 0; j < half; ++j) {
            out[j] = in[j] + in[size - 1 - j];
            out[half + j] = (in[j] - in[size - 1 - j]) * c[j];
        }
    }
}

void DctRecombine(const float* in, float* out, int32_t count, int32_t size) {
    const int32_t half = size / 2;
    for (int32_t b = 0; b < count; ++b, in += size, out += size) {
        for (int32_t j = 0; j < half; ++j) out[2 * j] = in[j];
        for (int32_t j = 0; j < half - 1; ++j) out[2 * j + 1] = in[half + j] + in[half + j + 1];
        out[size - 1] = in[size - 1];
    }
}

// Radix-2 DCT: one folding stage, butterflies down to pairs, then recombination back up.
template <int32_t N>
void Dct(const float* x, float* y) {
    constexpr int32_t kFirstSection = N == 32 ? 0 : N == 16 ? 1 : 2;
    const float* coefficients = Constants().dctCoefficients;
    float a[N];
    float b[N];
    const float* c = coefficients + kDctSection[kFirstSection];
    for (int32_t q = 0; q < N / 2; ++q) {
        a[q] = x[q] + x[N - 1 - q];
        a[N / 2 + q] = (x[q] - x[N - 1 - q]) * c[q];
    }
    float* in = a;
    float* out = b;
    for (int32_t size = N / 2, section = kFirstSection + 1; size >= 2; size /= 2, ++section) {
        DctButterflies(in, out, N / size, size, coefficients + kDctSection[section]);
        std::swap(in, out);
    }
    for (int32_t size = 4; size < N; size *= 2) {
        DctRecombine(in, out, N / size, size);
        std::swap(in, out);
    }
    DctRecombine(in, y, 1, N);
}

enum class Input { Contiguous, Left, Right, Mixed };

// Loads the N subband values of one channel from a slot, applying the equaliser in place where
// the routine does.
template <int32_t N, Input In, bool Equalise>
void LoadSubbands(Decoder& d, float* slot, float* x) {
    constexpr int32_t kStride = In == Input::Contiguous ? 1 : 2;
    constexpr int32_t kOffset = In == Input::Right ? 1 : 0;
    if constexpr (Equalise && In != Input::Mixed) {
        if (d.equaliserOn)
            for (int32_t sb = 0; sb < 32; ++sb) slot[kStride * sb + kOffset] *= d.equaliserFactors[sb];
    }
    for (int32_t n = 0; n < N; ++n) {
        if constexpr (In == Input::Mixed) x[n] = (slot[2 * n] + slot[2 * n + 1]) * 0.5f;
        else x[n] = slot[kStride * n + kOffset];
    }
    if constexpr (N == 16) x[15] = 0.0f;  // subband 15 is never decoded at half rate
}

// Windows the ring at position p into N sums (ISO/IEC 11172-3 Annex A windowing and
// summation, with the ring's symmetries folded into the index arithmetic).
template <int32_t Shift>
void SynthWindow(const float* ring, int32_t p, float* sums) {
    constexpr int32_t N = 32 >> Shift, R = 16 * N, H = N / 2, T = 2 * N, G = 1 << Shift;
    constexpr int32_t kMask = R - 1;
    const float* w = synthesisWindow.data();
    for (int32_t k = 0; k < H; ++k) {
        const float* row = w + 16 * (k * G);
        float sum = 0.0f;
        for (int32_t m = 0; m < 8; ++m) {
            sum = sum + row[2 * m] * ring[(p + H + k + T * m) & kMask];
            sum = sum - row[2 * m + 1] * ring[(p + 3 * H - k + T * m) & kMask];
        }
        sums[k] = sum;
    }
    float middle = 0.0f;
    for (int32_t m = 0; m < 8; ++m) middle = middle + w[256 + m] * ring[(p + N + T * m) & kMask];
    sums[H] = middle;
    for (int32_t k = 0; k < H - 1; ++k) {
        const float* row = w + 16 * ((H - 1 - k) * G);
        float sum = 0.0f;
        for (int32_t m = 0; m < 8; ++m) {
            sum = sum + row[15 - 2 * m] * ring[(p + N - 1 - k + T * m) & kMask];
            sum = sum + row[14 - 2 * m] * ring[(p + N + 1 + k + T * m) & kMask];
        }
        sums[H + 1 + k] = sum;
    }
}

// Writes N converted samples, every `Step`-th sample position. The window sums come out with
// the polarity inverted (the stored window holds -D); negating them, which is exact, gives the
// standard's output.
template <int32_t N, bool Eight, int32_t Step>
void StoreSamples(const float* sums, uint8_t* out) {
    for (int32_t k = 0; k < N; ++k) {
        const int32_t pcm = ToPcm16(-sums[k]);
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
    constexpr int32_t N = 32 >> Shift;
    Dct<N>(x, ring + position);
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
        SynthLayer12Mono<0, false, Input::Contiguous>, SynthLayer12Stereo<0, false>,
        SynthLayer12Mono<1, false, Input::Contiguous>, SynthLayer12Stereo<1, false>,
        SynthLayer12Mono<2, false, Input::Contiguous>, SynthLayer12Stereo<2, false>,
        SynthLayer12Mono<0, true, Input::Contiguous>,  SynthLayer12Stereo<0, true>,
        SynthLayer12Mono<1, true, Input::Contiguous>,  SynthLayer12Stereo<1, true>,
        SynthLayer12Mono<2, true, Input::Contiguous>,  SynthLayer12Stereo<2, true>,
    },
    {
        SynthLayer3<0, false, false>, SynthLayer3<0, false, true>, SynthLayer3<1, false, false>,
        SynthLayer3<1, false, true>,  SynthLayer3<2, false, false>, SynthLayer3<2, false, true>,
        SynthLayer3<0, true, false>,  SynthLayer3<0, true, true>,  SynthLayer3<1, true, false>,
        SynthLayer3<1, true, true>,   SynthLayer3<2, true, false>, SynthLayer3<2, true, true>,
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
    float padded[32];
    std::memcpy(padded, x, sizeof(float) * n);
    if (n == 32) Dct<32>(padded, y);
    if (n == 16) {
        padded[15] = 0.0f;
        Dct<16>(padded, y);
    }
    if (n == 8) Dct<8>(padded, y);
}

int32_t ToPcm16(float v) {
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    if (v != v) return 0;  // NaN: cannot come from valid data; never let it reach the cast
    return int32_t(v);
}

uint8_t ToPcm8(int32_t pcm16) { return uint8_t(((pcm16 >> 8) & 0xFF) ^ 0x80); }

void ResetSynthesis(Decoder& d) {
    std::memset(d.synthHistory, 0, sizeof d.synthHistory);
    d.synthPosition = 0;
    d.synthPositionRight = 0;
}

namespace {
int32_t SelectionIndex(const Decoder& d, int32_t column) {
    const int32_t eight = (d.options.outputFlags & kOutputFlag8Bit) ? 1 : 0;
    return 6 * eight + 2 * d.options.downSamplingShift + column;
}
}  // namespace

SynthFunction SelectLayer12Synth(const Decoder& d, int32_t streamChannels) {
    const int32_t channelOption = d.options.outputFlags & 3;
    if (streamChannels == 2 && channelOption != 0) {
        const int32_t eight = (d.options.outputFlags & kOutputFlag8Bit) ? 1 : 0;
        return SynthSelection.layer12Single[channelOption - 1][eight][d.options.downSamplingShift];
    }
    return SynthSelection.layer12[SelectionIndex(d, streamChannels == 2 ? 1 : 0)];
}

SynthFunction SelectLayer3Synth(const Decoder& d, int32_t streamChannels) {
    const int32_t column = (streamChannels == 1 || (d.options.outputFlags & 3) != 0) ? 0 : 1;
    return SynthSelection.layer3[SelectionIndex(d, column)];
}

}  // namespace mpeg
