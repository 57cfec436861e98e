#include "pcm_reduce.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zirvak {

namespace {

constexpr double kMinus3dB = 0.7071;

enum class Role { kLeft, kRight, kCentre, kLfe, kLeftSurround, kRightSurround, kBackCentre };

Role RoleOf(ChannelOrder order, int32_t channels, int32_t channel) {
    using enum Role;
    static constexpr Role kWave[9][8] = {
        {},
        {kCentre},
        {kLeft, kRight},
        {kLeft, kRight, kCentre},
        {kLeft, kRight, kLeftSurround, kRightSurround},
        {kLeft, kRight, kCentre, kLeftSurround, kRightSurround},
        {kLeft, kRight, kCentre, kLfe, kLeftSurround, kRightSurround},
        {kLeft, kRight, kCentre, kLfe, kBackCentre, kLeftSurround, kRightSurround},
        {kLeft, kRight, kCentre, kLfe, kLeftSurround, kRightSurround, kLeftSurround,
         kRightSurround},
    };
    static constexpr Role kXiph[9][8] = {
        {},
        {kCentre},
        {kLeft, kRight},
        {kLeft, kCentre, kRight},
        {kLeft, kRight, kLeftSurround, kRightSurround},
        {kLeft, kCentre, kRight, kLeftSurround, kRightSurround},
        {kLeft, kCentre, kRight, kLeftSurround, kRightSurround, kLfe},
        {kLeft, kCentre, kRight, kLeftSurround, kRightSurround, kBackCentre, kLfe},
        {kLeft, kCentre, kRight, kLeftSurround, kRightSurround, kLeftSurround, kRightSurround,
         kLfe},
    };
    // Layouts beyond eight channels have no agreed order: the even ones go left, the odd right.
    if (channels > 8 || channels < 1) return channel % 2 ? kRightSurround : kLeftSurround;
    return (order == ChannelOrder::kWave ? kWave : kXiph)[channels][channel];
}

// 64 well-mixed bits for `index` (splitmix64's finaliser).
uint64_t Mix64(uint64_t index) {
    uint64_t z = index + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

constexpr uint64_t kDitherSeed = 0x5A1B7AC0FFEEull;

// 64 bits of noise for the sample frame `frame`: 32 for each of its two output samples.
uint64_t DitherBits(uint64_t frame) {
    return Mix64(kDitherSeed ^ frame);
}

// Triangular noise in (-1, 1) LSB from 32 of those bits: the difference of two uniform 16-bit
// values.
double Triangular(uint64_t bits) {
    return (double(bits & 0xFFFF) - double(bits >> 16 & 0xFFFF)) * (1.0 / 65536.0);
}

// Rounds to the nearest whole sample (halves up) and clips to 16 bits; not a number is silence.
int16_t Clip(double value) {
    if (!(value > -32768.5)) return value != value ? 0 : -32768;
    if (value >= 32767.5) return 32767;
    const double r = value + 0.5;
    auto whole = int32_t(r);  // toward zero: one less below zero where r has a fraction
    return int16_t(double(whole) > r ? whole - 1 : whole);
}

// 32 well-mixed bits for the sample frame `frame`, made with 32-bit multiplies only, so that a
// loop of them runs four frames at a time.
uint32_t DitherBits32(uint64_t frame) {
    uint32_t x = uint32_t(frame) ^ uint32_t(frame >> 32) * 0x9E3779B9u ^ uint32_t(kDitherSeed);
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    return x ^ (x >> 16);
}

// Triangular noise in (-1, 1) LSB from 16 of those bits: the difference of two uniform 8-bit
// values, fine enough for samples kept in single precision.
float TriangularFloat(uint32_t bits) {
    return float(int32_t(bits & 0xFF) - int32_t(bits >> 8 & 0xFF)) * (1.0f / 256.0f);
}

// Rounds to the nearest whole sample (halves up) and clips to 16 bits; not a number is silence.
// In single precision and without branches, so that a loop of it runs four samples at a time:
// the sum is shifted above zero, where truncation rounds down. Its rounding error, below 1/128
// LSB, lies far beneath the dither.
inline int16_t ClipFloat(float value) {
    value = value == value ? value : 0.0f;
    value = std::min(std::max(value, -32768.0f), 32767.0f);
    return int16_t(int32_t(value + 65536.5f) - 65536);
}

// out[k] = ClipFloat(values[k] * 32768 + noise[k]) for k below `count`; four at a time where
// the processor has SSE2.
void ScaleDitherRound(const float* values, const float* noise, uint32_t count, int16_t* out) {
    uint32_t k = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(32768.0f), low = _mm_set1_ps(-32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f), above = _mm_set1_ps(65536.5f);
    const __m128i back = _mm_set1_epi32(65536);
    auto four = [&](uint32_t at) {
        __m128 v =
            _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(values + at), scale), _mm_loadu_ps(noise + at));
        v = _mm_and_ps(v, _mm_cmpeq_ps(v, v));  // not a number: silence
        v = _mm_min_ps(_mm_max_ps(v, low), high);
        return _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(v, above)), back);
    };
    for (; k + 8 <= count; k += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                         _mm_packs_epi32(four(k), four(k + 4)));
#endif
    for (; k < count; ++k) out[k] = ClipFloat(values[k] * 32768.0f + noise[k]);
}

// Float samples of one or two channels, from `sample(c, i)` in [-1, 1], dithered and rounded:
// what the float decoders give nearly always, kept lean. The noise is made a block at a time,
// then the block is scaled, dithered and rounded in one pass.
template <int32_t Channels, typename Sample>
void ReduceFewFloat(Sample sample, uint32_t frames, uint64_t firstFrame, int16_t* out) {
    const bool dither = !ditherOff.load(std::memory_order_relaxed);
    constexpr uint32_t kBlock = 128;
    float values[Channels * kBlock];
    float noise[Channels * kBlock] = {};
    for (uint32_t start = 0; start < frames; start += kBlock) {
        const uint32_t n = std::min(kBlock, frames - start);
        for (uint32_t i = 0; i < n; ++i)
            for (int32_t c = 0; c < Channels; ++c) values[i * Channels + c] = sample(c, start + i);
        if (dither) {
            for (uint32_t i = 0; i < n; ++i) {
                const uint32_t bits = DitherBits32(firstFrame + start + i);
                for (int32_t c = 0; c < Channels; ++c)
                    noise[i * Channels + c] = TriangularFloat(bits >> (16 * c));
            }
        }
        ScaleDitherRound(values, noise, n * Channels, out);
        out += n * Channels;
    }
}

template <typename Sample>
void ReduceFewFloat(Sample sample, int32_t channels, uint32_t frames, uint64_t firstFrame,
                    int16_t* out) {
    if (channels == 1) return ReduceFewFloat<1>(sample, frames, firstFrame, out);
    ReduceFewFloat<2>(sample, frames, firstFrame, out);
}

// Writes the frames from `sample(c, i)`, the value of channel c at frame i in 16-bit LSBs.
// `exact`: every value is a whole 16-bit sample, so a mix of them is rounded, never dithered.
template <typename Sample>
void Reduce(Sample sample, int32_t channels, ChannelOrder order, uint32_t frames,
            uint64_t firstFrame, bool exact, int16_t* out) {
    const int32_t outChannels = OutputChannels(channels);
    const bool dither = !exact && !ditherOff.load(std::memory_order_relaxed);
    if (channels <= 2) {
        for (uint32_t i = 0; i < frames; ++i) {
            const uint64_t bits = dither ? DitherBits(firstFrame + i) : 0;
            for (int32_t c = 0; c < channels; ++c) {
                double v = sample(c, i);
                if (dither) v += Triangular(bits >> (32 * c));
                *out++ = Clip(v);
            }
        }
        return;
    }
    MixWeights weights[64];
    const int32_t mixed = std::min(channels, 64);
    for (int32_t c = 0; c < mixed; ++c) weights[c] = ChannelWeights(order, channels, c);
    for (uint32_t i = 0; i < frames; ++i) {
        double left = 0, right = 0;
        for (int32_t c = 0; c < mixed; ++c) {
            const double v = sample(c, i);
            left += weights[c].left * v;
            right += weights[c].right * v;
        }
        if (dither) {
            const uint64_t bits = DitherBits(firstFrame + i);
            left += Triangular(bits);
            right += Triangular(bits >> 32);
        }
        out[0] = Clip(left);
        out[1] = Clip(right);
        out += outChannels;
    }
}

}  // namespace

MixWeights ChannelWeights(ChannelOrder order, int32_t channels, int32_t channel) {
    switch (RoleOf(order, channels, channel)) {
        case Role::kLeft:
            return {1, 0};
        case Role::kRight:
            return {0, 1};
        case Role::kCentre:
        case Role::kBackCentre:
            return {kMinus3dB, kMinus3dB};
        case Role::kLfe:
            return {0, 0};
        case Role::kLeftSurround:
            return {kMinus3dB, 0};
        case Role::kRightSurround:
            return {0, kMinus3dB};
    }
    return {};
}

void ReduceIntegerFrames(const int32_t* const* channel, int32_t channels, uint32_t bits,
                         ChannelOrder order, uint32_t frames, uint64_t firstFrame, int16_t* out) {
    if (bits == 16 && channels <= 2) {
        // The common case: the samples as they are.
        for (uint32_t i = 0; i < frames; ++i)
            for (int32_t c = 0; c < channels; ++c) *out++ = int16_t(channel[c][i]);
        return;
    }
    const double scale = std::ldexp(1.0, 16 - int(bits));
    auto sample = [channel, scale](int32_t c, uint32_t i) { return channel[c][i] * scale; };
    Reduce(sample, channels, order, frames, firstFrame, bits <= 16, out);
}

void ReduceFloatFrames(const float* interleaved, int32_t channels, ChannelOrder order,
                       uint32_t frames, uint64_t firstFrame, int16_t* out) {
    if (channels <= 2) {
        auto sample = [interleaved, channels](int32_t c, uint32_t i) {
            return interleaved[size_t(i) * size_t(channels) + size_t(c)];
        };
        return ReduceFewFloat(sample, channels, frames, firstFrame, out);
    }
    auto sample = [interleaved, channels](int32_t c, uint32_t i) {
        const float v = interleaved[size_t(i) * size_t(channels) + size_t(c)];
        return std::isfinite(v) ? double(v) * 32768.0 : 0.0;  // a mix of them must stay finite
    };
    Reduce(sample, channels, order, frames, firstFrame, false, out);
}

void ReduceFloatPlanar(const float* const* channel, int32_t channels, ChannelOrder order,
                       uint32_t frames, uint64_t firstFrame, int16_t* out) {
    if (channels <= 2) {
        auto sample = [channel](int32_t c, uint32_t i) { return channel[c][i]; };
        return ReduceFewFloat(sample, channels, frames, firstFrame, out);
    }
    auto sample = [channel](int32_t c, uint32_t i) {
        const float v = channel[c][i];
        return std::isfinite(v) ? double(v) * 32768.0 : 0.0;
    };
    Reduce(sample, channels, order, frames, firstFrame, false, out);
}

}  // namespace zirvak
