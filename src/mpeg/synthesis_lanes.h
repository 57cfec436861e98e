// The polyphase synthesis written once over the operations of a lane type `S` of
// vector_ops.h: the plain path runs it one output at a time (OneLane) at every rate and for
// 8-bit output too, the vector paths four or eight outputs side by side at full rate with
// 16-bit output. Every lane does the same IEEE operations in the same order, so every path
// gives the same samples. Private to src/mpeg; see vector_ops.h on why it has internal linkage.
//
// The DCT and the conversion to PCM are the two parts each kind of lane has its own form of.
// One lane takes the plain DCT, which serves every rate (and FastDct); vectors take one that
// holds a slot's 32 values in eight four-lane registers and follows the plain one stage by
// stage. One lane converts and stores each value alone, at any rate and sample size; vectors
// pack eight at a time, converted as ToPcm16 does.
#pragma once

#include <bit>
#include <cstring>

#include "synthesis.h"
#include "synthesis_parts.h"
#include "vector_ops.h"

namespace mpeg {
namespace {

constexpr int32_t kFullN = 32;  // values per slot at full rate
// Window sums of a slot: its outputs and scratch lanes (see WindowSums).
constexpr int32_t kSumsRoom = kFullN + 8;

// The window over the ring at position p (ISO/IEC 11172-3 Annex A windowing and summation, with
// the ring's symmetries folded into the index arithmetic): outputs 0..H - 1 in sums[0..H - 1],
// the middle one in sums[H], outputs H + 1..N - 1 in sums[H + 1..N - 1] (sums[N] is scratch:
// the last high lane, whose coefficients are zero, so the loop runs in whole vectors). Each
// output is one single-precision running sum, its terms added in a fixed order.
template <class S, int32_t Shift>
void WindowSums(const float* ring, const float* reversed, int32_t p, float* sums) {
    constexpr int32_t N = kFullN >> Shift, R = 16 * N, H = N / 2, T = 2 * N, kMask = R - 1;
    constexpr int32_t W = S::kWidth, K = H / W;
    static_assert(K * W == H, "whole vectors of outputs");
    const WindowLayout& w = LayoutFor<Shift>();
    typename S::V low[K], high[K];
    for (int32_t j = 0; j < K; ++j) low[j] = high[j] = S::Zero();
    float middle = 0.0f;
    for (int32_t m = 0; m < 8; ++m) {
        // Runs that go down from an index of the ring go up from its mirror in the reversed one.
        const int32_t fall = (p + 2 * H + T * m) & kMask;
        const float* rising = ring + ((p + H + T * m) & kMask);
        const float* falling = reversed + ((-(fall + H + 1)) & kMask);
        for (int32_t j = 0; j < K; ++j) {
            low[j] = S::Add(low[j], S::Mul(S::Load(w.a[m] + j * W), S::Load(rising + j * W)));
            low[j] = S::Sub(low[j], S::Mul(S::Load(w.b[m] + j * W), S::Load(falling + j * W)));
        }
        const int32_t centre = (p + N + T * m) & kMask;
        middle = middle + w.middle[m] * ring[centre];
        const float* below = reversed + ((-centre) & kMask);
        const float* above = ring + centre + 1;
        for (int32_t j = 0; j < K; ++j) {
            high[j] = S::Add(high[j], S::Mul(S::Load(w.c[m] + j * W), S::Load(below + j * W)));
            high[j] = S::Add(high[j], S::Mul(S::Load(w.d[m] + j * W), S::Load(above + j * W)));
        }
    }
    for (int32_t j = 0; j < K; ++j) S::Store(sums + j * W, low[j]);
    for (int32_t j = 0; j < K; ++j) S::Store(sums + H + 1 + j * W, high[j]);
    sums[H] = middle;
}

#if defined(__SSE2__)
// (u1, u2, u3, next0): the values one place on.
inline __m128 OnePlaceOn(__m128 u, __m128 next) {
    const __m128 t = _mm_shuffle_ps(u, next, _MM_SHUFFLE(0, 0, 3, 3));  // u3 u3 n0 n0
    return _mm_shuffle_ps(u, t, _MM_SHUFFLE(2, 0, 2, 1));
}

// Sums of neighbours in the second half of a block of `Regs` registers, the last value alone
// (taken whole, not summed with anything), interleaved with the first half's values.
template <int32_t Regs>
void Recombine(const __m128* in, __m128* out) {
    constexpr int32_t kHalf = Regs / 2;
    const __m128 last = _mm_castsi128_ps(_mm_setr_epi32(0, 0, 0, -1));
    for (int32_t k = 0; k < kHalf; ++k) {
        const __m128 u = in[kHalf + k];
        __m128 odds = _mm_add_ps(u, OnePlaceOn(u, k + 1 < kHalf ? in[kHalf + k + 1] : u));
        if (k + 1 == kHalf) odds = _mm_or_ps(_mm_andnot_ps(last, odds), _mm_and_ps(last, u));
        out[2 * k] = _mm_unpacklo_ps(in[k], odds);
        out[2 * k + 1] = _mm_unpackhi_ps(in[k], odds);
    }
}

// The 32-point DCT of Dct<32> on four-lane vectors, every value from the same operations in
// the same order, the 32 values held in eight registers throughout. The first two stages run
// on contiguous values. The stages after them work within blocks of eight, so the four blocks
// go side by side, one per lane (after a transpose): every step is then the same for all of
// them. The last two stages interleave contiguous values again.
inline void VectorDct32(const float* x, float* y) {
    const float* c = Constants().dctCoefficients;
    __m128 a[8], b[8];
    for (int32_t k = 0; k < 4; ++k) {
        const __m128 lo = _mm_loadu_ps(x + 4 * k),
                     hi = FourLanes::Reverse(_mm_loadu_ps(x + 28 - 4 * k));
        a[k] = _mm_add_ps(lo, hi);
        a[4 + k] = _mm_mul_ps(_mm_sub_ps(lo, hi), _mm_loadu_ps(c + kDctSection[0] + 4 * k));
    }
    for (int32_t block = 0; block < 8; block += 4) {
        for (int32_t k = 0; k < 2; ++k) {
            const __m128 lo = a[block + k], hi = FourLanes::Reverse(a[block + 3 - k]);
            b[block + k] = _mm_add_ps(lo, hi);
            b[block + 2 + k] =
                _mm_mul_ps(_mm_sub_ps(lo, hi), _mm_loadu_ps(c + kDctSection[1] + 4 * k));
        }
    }
    // v[j]: element j of each block of eight (b[2 * block] and b[2 * block + 1]).
    __m128 v[8];
    for (int32_t half = 0; half < 2; ++half) {
        __m128 r0 = b[half], r1 = b[2 + half], r2 = b[4 + half], r3 = b[6 + half];
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        v[4 * half] = r0, v[4 * half + 1] = r1, v[4 * half + 2] = r2, v[4 * half + 3] = r3;
    }
    const float* c2 = c + kDctSection[2];
    __m128 t[8];
    for (int32_t j = 0; j < 4; ++j) {
        t[j] = _mm_add_ps(v[j], v[7 - j]);
        t[4 + j] = _mm_mul_ps(_mm_sub_ps(v[j], v[7 - j]), _mm_set1_ps(c2[j]));
    }
    const float* c3 = c + kDctSection[3];
    for (int32_t s = 0; s < 8; s += 4) {
        for (int32_t j = 0; j < 2; ++j) {
            v[s + j] = _mm_add_ps(t[s + j], t[s + 3 - j]);
            v[s + 2 + j] = _mm_mul_ps(_mm_sub_ps(t[s + j], t[s + 3 - j]), _mm_set1_ps(c3[j]));
        }
    }
    const __m128 c4 = _mm_set1_ps(c[kDctSection[4]]);
    for (int32_t s = 0; s < 8; s += 2) {
        t[s] = _mm_add_ps(v[s], v[s + 1]);
        t[s + 1] = _mm_mul_ps(_mm_sub_ps(v[s], v[s + 1]), c4);
    }
    for (int32_t s = 0; s < 8; s += 4) {  // pairs into fours
        v[s] = t[s];
        v[s + 2] = t[s + 1];
        v[s + 1] = _mm_add_ps(t[s + 2], t[s + 3]);
        v[s + 3] = t[s + 3];
    }
    for (int32_t j = 0; j < 4; ++j) t[2 * j] = v[j];  // fours into eights
    for (int32_t j = 0; j < 3; ++j) t[2 * j + 1] = _mm_add_ps(v[4 + j], v[5 + j]);
    t[7] = v[7];
    for (int32_t half = 0; half < 2; ++half) {  // back to contiguous blocks of eight
        __m128 r0 = t[4 * half], r1 = t[4 * half + 1], r2 = t[4 * half + 2], r3 = t[4 * half + 3];
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        a[half] = r0, a[2 + half] = r1, a[4 + half] = r2, a[6 + half] = r3;
    }
    Recombine<4>(a, b);  // eights into sixteens
    Recombine<4>(a + 4, b + 4);
    Recombine<8>(b, a);  // sixteens into the 32 outputs
    for (int32_t k = 0; k < 8; ++k) _mm_storeu_ps(y + 4 * k, a[k]);
}

// Four window sums as 16-bit samples in 32-bit lanes: negated (the stored window holds -D),
// NaN made 0, clipped, truncated toward zero, as ToPcm16 does.
inline __m128i Pcm16x4(const float* sums) {
    __m128 v = _mm_sub_ps(_mm_setzero_ps(), _mm_loadu_ps(sums));
    v = _mm_and_ps(v, _mm_cmpeq_ps(v, v));
    v = _mm_max_ps(v, _mm_set1_ps(-32768.0f));
    v = _mm_min_ps(v, _mm_set1_ps(32767.0f));
    return _mm_cvttps_epi32(v);
}

inline __m128i Pcm16x8(const float* sums) {
    return _mm_packs_epi32(Pcm16x4(sums), Pcm16x4(sums + 4));
}
#endif  // __SSE2__

// The DCT of a slot into the ring: the plain one on one lane, at every rate; on vectors the
// one that follows it on four-lane vectors, at full rate.
template <int32_t N>
void SlotDct(OneLane, const float* x, float* y) {
    Dct<N>(x, y);
}
#if defined(__SSE2__)
template <int32_t N, class S>
void SlotDct(S, const float* x, float* y) {
    static_assert(N == kFullN, "the vector paths run at full rate");
    VectorDct32(x, y);
}
#endif

// One slot of one channel: the DCT into the ring and, reversed, into its mirror; the window.
template <class S, int32_t Shift>
void SynthSlot(const float* x, float* ring, float* reversed, int32_t position, float* sums) {
    constexpr int32_t N = kFullN >> Shift, R = 16 * N, W = S::kWidth;
    float* values = ring + position;
    SlotDct<N>(S{}, x, values);
    std::memcpy(values + R, values, sizeof(float) * N);
    float* mirror = reversed + R - N - position;
    for (int32_t j = 0; j < N / W; ++j) {
        const typename S::V v = S::Reverse(S::Load(values + N - (j + 1) * W));
        S::Store(mirror + j * W, v);
        S::Store(mirror + R + j * W, v);
    }
    WindowSums<S, Shift>(ring, reversed, position, sums);
}

template <int32_t Shift>
int32_t NextPosition(int32_t position) {
    constexpr int32_t N = kFullN >> Shift, R = 16 * N;
    return (position - N) & (R - 1);
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

// The samples of one slot from its window sums: one channel's, or two channels' interleaved.
// One lane converts each value alone, at any rate and sample size; vectors eight at a time, at
// full rate in 16 bits.
template <int32_t N, bool Eight>
void StoreSlot(OneLane, const float* sums, uint8_t* out) {
    StoreSamples<N, Eight, 1>(sums, out);
}
template <int32_t N, bool Eight>
void StoreSlot(OneLane, const float* left, const float* right, uint8_t* out) {
    StoreSamples<N, Eight, 2>(left, out);
    StoreSamples<N, Eight, 2>(right, out + (Eight ? 1 : 2));
}
#if defined(__SSE2__)
template <int32_t N, bool Eight, class S>
void StoreSlot(S, const float* sums, uint8_t* out) {
    static_assert(N == kFullN && !Eight, "the vector paths give full-rate 16-bit samples");
    for (int32_t k = 0; k < N; k += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), Pcm16x8(sums + k));
}
template <int32_t N, bool Eight, class S>
void StoreSlot(S, const float* left, const float* right, uint8_t* out) {
    static_assert(N == kFullN && !Eight, "the vector paths give full-rate 16-bit samples");
    for (int32_t k = 0; k < N; k += 8) {
        const __m128i l = Pcm16x8(left + k), r = Pcm16x8(right + k);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), _mm_unpacklo_epi16(l, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k + 16), _mm_unpackhi_epi16(l, r));
    }
}
#endif

// Layer I/II, one output channel from the slot's values as `In` reads them.
template <class S, int32_t Shift, bool Eight, Input In>
int32_t SynthLayer12Mono(Decoder& d, float* samples, uint8_t* out, int32_t slots) {
    constexpr int32_t N = kFullN >> Shift;
    constexpr int32_t kBytesPerSlot = N * (Eight ? 1 : 2);
    for (int32_t s = 0; s < slots; ++s, samples += 64, out += kBytesPerSlot) {
        float x[N];
        alignas(32) float sums[kSumsRoom];
        LoadSubbands<N, In, Shift == 0>(d, samples, x);
        SynthSlot<S, Shift>(x, d.synthHistory[0], d.synthHistoryReversed[0], d.synthPosition, sums);
        StoreSlot<N, Eight>(S{}, sums, out);
        d.synthPosition = NextPosition<Shift>(d.synthPosition);
    }
    return 1;
}

// Layer I/II, both channels into their own rings at one position, interleaved output.
template <class S, int32_t Shift, bool Eight>
int32_t SynthLayer12Stereo(Decoder& d, float* samples, uint8_t* out, int32_t slots) {
    constexpr int32_t N = kFullN >> Shift;
    constexpr int32_t kBytesPerSlot = 2 * N * (Eight ? 1 : 2);
    for (int32_t s = 0; s < slots; ++s, samples += 64, out += kBytesPerSlot) {
        float x[N];
        alignas(32) float left[kSumsRoom];
        alignas(32) float right[kSumsRoom];
        LoadSubbands<N, Input::Left, Shift == 0>(d, samples, x);
        SynthSlot<S, Shift>(x, d.synthHistory[0], d.synthHistoryReversed[0], d.synthPosition, left);
        LoadSubbands<N, Input::Right, Shift == 0>(d, samples, x);
        SynthSlot<S, Shift>(x, d.synthHistory[1], d.synthHistoryReversed[1], d.synthPosition,
                            right);
        StoreSlot<N, Eight>(S{}, left, right, out);
        d.synthPosition = NextPosition<Shift>(d.synthPosition);
    }
    return 1;
}

// Layer III: 18 slots of 32 values of one channel. The mono form uses the left ring. The
// stereo form uses the ring and position of `channel`, and is called for channel 0 and then
// channel 1 of each granule: channel 0's window sums wait in the decoder, and channel 1's call
// stores both as pairs.
template <class S, int32_t Shift, bool Eight, bool Stereo>
int32_t SynthLayer3(Decoder& d, float* samples, uint8_t* out, int32_t channel) {
    static_assert(kSumsRoom <= kPendingSumsRoom);
    constexpr int32_t N = kFullN >> Shift;
    const int32_t c = Stereo ? channel : 0;
    int32_t& position = c == 0 ? d.synthPosition : d.synthPositionRight;
    constexpr int32_t kSlotBytes = (Stereo ? 2 : 1) * N * (Eight ? 1 : 2);
    for (int32_t s = 0; s < 18; ++s, samples += 32, out += kSlotBytes) {
        float x[N];
        alignas(32) float local[kSumsRoom];
        float* sums = Stereo && c == 0 ? d.pendingLeftSums[s] : local;
        LoadSubbands<N, Input::Contiguous, Shift == 0>(d, samples, x);
        SynthSlot<S, Shift>(x, d.synthHistory[c], d.synthHistoryReversed[c], position, sums);
        if constexpr (!Stereo)
            StoreSlot<N, Eight>(S{}, sums, out);
        else if (c == 1)
            StoreSlot<N, Eight>(S{}, d.pendingLeftSums[s], sums, out);
        position = NextPosition<Shift>(position);
    }
    return 1;
}

// The routines of a vector path: full rate, 16-bit output.
template <class S>
constexpr VectorSynthesis kVectorSynthesis = {
    SynthLayer12Mono<S, 0, false, Input::Contiguous>,
    SynthLayer12Stereo<S, 0, false>,
    SynthLayer3<S, 0, false, false>,
    SynthLayer3<S, 0, false, true>,
};

}  // namespace
}  // namespace mpeg
