// The full-rate, 16-bit polyphase synthesis on vectors of W floats, written once over the
// operations of a vector type `S` of vector_ops.h (four lanes for SSE2, eight for AVX2). Every
// lane does the same IEEE operations in the same order as the plain routine, so each path gives
// exactly the plain path's samples. Private to src/mpeg; see vector_ops.h on why it has
// internal linkage.
#pragma once

#include <cstring>

#include "synthesis.h"
#include "synthesis_parts.h"
#include "vector_ops.h"

namespace mpeg {
namespace {

constexpr int32_t kFullN = 32;              // values per slot
constexpr int32_t kFullRing = 16 * kFullN;  // R: values a ring holds
constexpr int32_t kFullHalf = kFullN / 2;   // H
constexpr int32_t kFullStep = 2 * kFullN;   // T: ring distance between window taps
constexpr int32_t kFullMask = kFullRing - 1;

// The window over the ring at position p: outputs 0..15 in sums[0..15], the middle one in
// sums[16], outputs 17..31 in sums[17..31] (sums[32] is scratch: the sixteenth high lane).
template <class S>
void WindowFullRate(const float* ring, const float* reversed, int32_t p, float* sums) {
    constexpr int32_t W = S::kWidth, K = kFullHalf / W;
    const WindowLayout& w = LayoutFor<0>();
    typename S::V low[K], high[K];
    for (int32_t j = 0; j < K; ++j) low[j] = high[j] = S::Zero();
    float middle = 0.0f;
    for (int32_t m = 0; m < 8; ++m) {
        // Runs that go down from an index of the ring go up from its mirror in the reversed one.
        const int32_t fall = (p + 2 * kFullHalf + kFullStep * m) & kFullMask;
        const float* rising = ring + ((p + kFullHalf + kFullStep * m) & kFullMask);
        const float* falling = reversed + ((-(fall + kFullHalf + 1)) & kFullMask);
        for (int32_t j = 0; j < K; ++j) {
            low[j] = S::Add(low[j], S::Mul(S::Load(w.a[m] + j * W), S::Load(rising + j * W)));
            low[j] = S::Sub(low[j], S::Mul(S::Load(w.b[m] + j * W), S::Load(falling + j * W)));
        }
        const int32_t centre = (p + kFullN + kFullStep * m) & kFullMask;
        middle = middle + w.middle[m] * ring[centre];
        const float* below = reversed + ((-centre) & kFullMask);
        const float* above = ring + centre + 1;
        for (int32_t j = 0; j < K; ++j) {
            high[j] = S::Add(high[j], S::Mul(S::Load(w.c[m] + j * W), S::Load(below + j * W)));
            high[j] = S::Add(high[j], S::Mul(S::Load(w.d[m] + j * W), S::Load(above + j * W)));
        }
    }
    for (int32_t j = 0; j < K; ++j) S::Store(sums + j * W, low[j]);
    for (int32_t j = 0; j < K; ++j) S::Store(sums + kFullHalf + 1 + j * W, high[j]);
    sums[kFullHalf] = middle;
}

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

// One slot of one channel: the DCT into the ring and, reversed, into its mirror; the window.
template <class S>
void SynthSlot(const float* x, float* ring, float* reversed, int32_t position, float* sums) {
    constexpr int32_t W = S::kWidth;
    float* values = ring + position;
    VectorDct32(x, values);
    std::memcpy(values + kFullRing, values, sizeof(float) * kFullN);
    float* mirror = reversed + kFullRing - kFullN - position;
    for (int32_t j = 0; j < kFullN / W; ++j) {
        const typename S::V v = S::Reverse(S::Load(values + kFullN - (j + 1) * W));
        S::Store(mirror + j * W, v);
        S::Store(mirror + kFullRing + j * W, v);
    }
    WindowFullRate<S>(ring, reversed, position, sums);
}

int32_t NextFullRatePosition(int32_t position) {
    return (position - kFullN) & kFullMask;
}

// Four window sums as 16-bit samples in 32-bit lanes: negated (the stored window holds -D),
// NaN made 0, clipped, truncated toward zero, as ToPcm16 does.
__m128i Pcm16x4(const float* sums) {
    __m128 v = _mm_sub_ps(_mm_setzero_ps(), _mm_loadu_ps(sums));
    v = _mm_and_ps(v, _mm_cmpeq_ps(v, v));
    v = _mm_max_ps(v, _mm_set1_ps(-32768.0f));
    v = _mm_min_ps(v, _mm_set1_ps(32767.0f));
    return _mm_cvttps_epi32(v);
}

__m128i Pcm16x8(const float* sums) {
    return _mm_packs_epi32(Pcm16x4(sums), Pcm16x4(sums + 4));
}

void StoreMono(const float* sums, uint8_t* out) {
    for (int32_t k = 0; k < kFullN; k += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), Pcm16x8(sums + k));
}

void StoreStereo(const float* left, const float* right, uint8_t* out) {
    for (int32_t k = 0; k < kFullN; k += 8) {
        const __m128i l = Pcm16x8(left + k), r = Pcm16x8(right + k);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), _mm_unpacklo_epi16(l, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k + 16), _mm_unpackhi_epi16(l, r));
    }
}

// sums holds 32 outputs and room for the window's scratch lane.
constexpr int32_t kSumsRoom = kFullN + 8;

template <class S>
int32_t VectorLayer12Mono(Decoder& d, float* samples, uint8_t* out, int32_t slots) {
    for (int32_t s = 0; s < slots; ++s, samples += 64, out += 2 * kFullN) {
        float x[kFullN];
        alignas(32) float sums[kSumsRoom];
        LoadSubbands<kFullN, Input::Contiguous, true>(d, samples, x);
        SynthSlot<S>(x, d.synthHistory[0], d.synthHistoryReversed[0], d.synthPosition, sums);
        StoreMono(sums, out);
        d.synthPosition = NextFullRatePosition(d.synthPosition);
    }
    return 1;
}

template <class S>
int32_t VectorLayer12Stereo(Decoder& d, float* samples, uint8_t* out, int32_t slots) {
    for (int32_t s = 0; s < slots; ++s, samples += 64, out += 4 * kFullN) {
        float x[kFullN];
        alignas(32) float left[kSumsRoom];
        alignas(32) float right[kSumsRoom];
        LoadSubbands<kFullN, Input::Left, true>(d, samples, x);
        SynthSlot<S>(x, d.synthHistory[0], d.synthHistoryReversed[0], d.synthPosition, left);
        LoadSubbands<kFullN, Input::Right, true>(d, samples, x);
        SynthSlot<S>(x, d.synthHistory[1], d.synthHistoryReversed[1], d.synthPosition, right);
        StoreStereo(left, right, out);
        d.synthPosition = NextFullRatePosition(d.synthPosition);
    }
    return 1;
}

// Layer III: 18 slots of one channel. The stereo form is called for channel 0 and then channel 1
// of each granule: channel 0's window sums wait in the decoder, and channel 1's call stores
// both as pairs.
template <class S, bool Stereo>
int32_t VectorLayer3(Decoder& d, float* samples, uint8_t* out, int32_t channel) {
    static_assert(kSumsRoom <= kPendingSumsRoom);
    const int32_t c = Stereo ? channel : 0;
    int32_t& position = c == 0 ? d.synthPosition : d.synthPositionRight;
    constexpr int32_t kSlotBytes = (Stereo ? 4 : 2) * kFullN;
    for (int32_t s = 0; s < 18; ++s, samples += 32, out += kSlotBytes) {
        float x[kFullN];
        alignas(32) float local[kSumsRoom];
        float* sums = Stereo && c == 0 ? d.pendingLeftSums[s] : local;
        LoadSubbands<kFullN, Input::Contiguous, true>(d, samples, x);
        SynthSlot<S>(x, d.synthHistory[c], d.synthHistoryReversed[c], position, sums);
        if constexpr (!Stereo)
            StoreMono(sums, out);
        else if (c == 1)
            StoreStereo(d.pendingLeftSums[s], sums, out);
        position = NextFullRatePosition(position);
    }
    return 1;
}

template <class S>
constexpr VectorSynthesis kVectorSynthesis = {
    VectorLayer12Mono<S>,
    VectorLayer12Stereo<S>,
    VectorLayer3<S, false>,
    VectorLayer3<S, true>,
};

}  // namespace
}  // namespace mpeg
