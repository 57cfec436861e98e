// The lane types the decoder's inner loops are written over: one lane (the plain path's, and
// the only one off x86-64), four lanes of SSE (the SSE2 path's) and, in files compiled for AVX2
// only, eight lanes of AVX2. The routines are templates over these structs, so one text gives
// every path, and the paths agree by construction. Private to src/mpeg.
//
// Everything here has internal linkage on purpose: each file that includes it compiles its own
// copy with its own instruction set, so code built for AVX2 is never shared with a path that
// must run on any x86-64.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include <cstdint>

namespace mpeg {
namespace {

// The lane order of a four-lane shuffle: lanes (a[i], a[j], b[k], b[l]), as _MM_SHUFFLE gives
// it, written out so the templates read the same where there is no SSE.
constexpr int ShuffleOrder(int l, int k, int j, int i) {
    return (l << 6) | (k << 4) | (j << 2) | i;
}

// One lane: plain floats, every operation the scalar one. The compiler is free to vectorise the
// loops over them (without changing a result, as it never reorders float arithmetic).
struct OneLane {
    using V = float;
    using Mask = bool;
    static constexpr int32_t kWidth = 1;
    static V Zero() { return 0.0f; }
    static V Set1(float v) { return v; }
    static V Load(const float* p) { return *p; }
    static void Store(float* p, V v) { *p = v; }
    static V Add(V a, V b) { return a + b; }
    static V Sub(V a, V b) { return a - b; }
    static V Mul(V a, V b) { return a * b; }
    static V Reverse(V v) { return v; }
    static Mask LanesIn(int32_t lo, int32_t hi) { return lo <= 0 && hi > 0; }
    static V Select(Mask mask, V a, V b) { return mask ? a : b; }
};

#if defined(__SSE2__)
// SSE's four lanes. Lane l of a register of rows holds row l (see Rows4).
struct FourLanes {
    using V = __m128;
    using Mask = __m128;
    static constexpr int32_t kWidth = 4;
    static V Zero() { return _mm_setzero_ps(); }
    static V Set1(float v) { return _mm_set1_ps(v); }
    static V Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
    static V Add(V a, V b) { return _mm_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm_sub_ps(a, b); }
    static V Mul(V a, V b) { return _mm_mul_ps(a, b); }
    static V Reverse(V v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
    // All bits set in lanes lo..hi - 1, clear in the others.
    static Mask LanesIn(int32_t lo, int32_t hi) {
        const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
        return _mm_castsi128_ps(_mm_and_si128(_mm_cmpgt_epi32(lane, _mm_set1_epi32(lo - 1)),
                                              _mm_cmpgt_epi32(_mm_set1_epi32(hi), lane)));
    }
    // a in the lanes the mask sets, b in the others.
    static V Select(Mask mask, V a, V b) {
        return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
    }

    // The shuffles of a 4 × 4 transpose, within each group of four lanes.
    static V UnpackLo(V a, V b) { return _mm_unpacklo_ps(a, b); }
    static V UnpackHi(V a, V b) { return _mm_unpackhi_ps(a, b); }
    // Lanes (a[i], a[j], b[k], b[l]) of Imm = ShuffleOrder(l, k, j, i).
    template <int Imm>
    static V Shuffle(V a, V b) {
        return _mm_shuffle_ps(a, b, Imm);
    }
    // Four values of row k, from row[k * Stride] on.
    template <int32_t Stride>
    static V Rows4(const float* row, int32_t k) {
        return _mm_loadu_ps(row + k * Stride);
    }
    // Two values each of rows k and k + 1.
    template <int32_t Stride>
    static V Rows2(const float* row, int32_t k) {
        const __m128 low =
            _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(row + k * Stride)));
        return _mm_loadh_pi(low, reinterpret_cast<const __m64*>(row + (k + 1) * Stride));
    }
};

#if defined(__AVX2__)
// AVX2's eight lanes: two groups of four, the low one holding rows 0..3, the high one rows
// 4..7, so the four-lane transposes work on both groups at once.
struct Avx2 {
    using V = __m256;
    using Mask = __m256;
    static constexpr int32_t kWidth = 8;
    static V Zero() { return _mm256_setzero_ps(); }
    static V Set1(float v) { return _mm256_set1_ps(v); }
    static V Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, V v) { _mm256_storeu_ps(p, v); }
    static V Add(V a, V b) { return _mm256_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_ps(a, b); }
    static V Mul(V a, V b) { return _mm256_mul_ps(a, b); }
    static V Reverse(V v) {
        return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
    static Mask LanesIn(int32_t lo, int32_t hi) {
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        return _mm256_castsi256_ps(
            _mm256_and_si256(_mm256_cmpgt_epi32(lane, _mm256_set1_epi32(lo - 1)),
                             _mm256_cmpgt_epi32(_mm256_set1_epi32(hi), lane)));
    }
    static V Select(Mask mask, V a, V b) { return _mm256_blendv_ps(b, a, mask); }

    static V UnpackLo(V a, V b) { return _mm256_unpacklo_ps(a, b); }
    static V UnpackHi(V a, V b) { return _mm256_unpackhi_ps(a, b); }
    template <int Imm>
    static V Shuffle(V a, V b) {
        return _mm256_shuffle_ps(a, b, Imm);
    }
    // Rows k and k + 4, four values each.
    template <int32_t Stride>
    static V Rows4(const float* row, int32_t k) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(row + k * Stride)),
                                    _mm_loadu_ps(row + (k + 4) * Stride), 1);
    }
    // Rows k, k + 1, k + 4 and k + 5, two values each.
    template <int32_t Stride>
    static V Rows2(const float* row, int32_t k) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(FourLanes::Rows2<Stride>(row, k)),
                                    FourLanes::Rows2<Stride>(row, k + 4), 1);
    }
};
#endif  // __AVX2__
#endif  // __SSE2__

// Transposes each group of four lanes of r[0..3] (types of four lanes or more): lane l of r[m]
// becomes lane m of r[l].
template <class S>
[[gnu::always_inline]] inline void Transpose4(typename S::V* r) {
    const typename S::V t0 = S::UnpackLo(r[0], r[1]), t1 = S::UnpackLo(r[2], r[3]);
    const typename S::V t2 = S::UnpackHi(r[0], r[1]), t3 = S::UnpackHi(r[2], r[3]);
    constexpr int kLow = ShuffleOrder(1, 0, 1, 0), kHigh = ShuffleOrder(3, 2, 3, 2);
    r[0] = S::template Shuffle<kLow>(t0, t1);
    r[1] = S::template Shuffle<kHigh>(t0, t1);
    r[2] = S::template Shuffle<kLow>(t2, t3);
    r[3] = S::template Shuffle<kHigh>(t2, t3);
}

}  // namespace
}  // namespace mpeg
