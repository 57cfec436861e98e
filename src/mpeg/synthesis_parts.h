// The parts of the polyphase synthesis that synthesis_lanes.h builds on: the fast DCT (the
// plain path's, whose stages and coefficients the vector DCT follows, and FastDct's), reading
// a slot's subband values (with the equaliser) and the synthesis window laid out per rate.
// Private to src/mpeg.
//
// Everything here has internal linkage on purpose: each file that includes it compiles its own
// copy with its own instruction set, so code built for AVX2 is never shared with a path that
// must run on any x86-64.
#pragma once

#include <cstdint>

#include "decoder.h"
#include "tables.h"

namespace mpeg {
namespace {

// Stages of the radix-2 DCT, unrolled at compile time: the loops are tiny and their bounds
// known, so the compiler turns each stage into straight-line (and vector) code.
template <int32_t Count, int32_t Size>
[[gnu::always_inline]] inline void DctButterflies(const float* in, float* out, const float* c) {
    constexpr int32_t kHalf = Size / 2;
    for (int32_t b = 0; b < Count; ++b) {
        const float* i = in + b * Size;
        float* o = out + b * Size;
        for (int32_t j = 0; j < kHalf; ++j) {
            o[j] = i[j] + i[Size - 1 - j];
            o[kHalf + j] = (i[j] - i[Size - 1 - j]) * c[j];
        }
    }
}

template <int32_t Count, int32_t Size>
[[gnu::always_inline]] inline void DctRecombine(const float* in, float* out) {
    constexpr int32_t kHalf = Size / 2;
    for (int32_t b = 0; b < Count; ++b) {
        const float* i = in + b * Size;
        float* o = out + b * Size;
        for (int32_t j = 0; j < kHalf; ++j) o[2 * j] = i[j];
        for (int32_t j = 0; j < kHalf - 1; ++j) o[2 * j + 1] = i[kHalf + j] + i[kHalf + j + 1];
        o[Size - 1] = i[Size - 1];
    }
}

// Radix-2 DCT: one folding stage, butterflies down to pairs, then recombination back up.
template <int32_t N>
void Dct(const float* x, float* y) {
    const float* c = Constants().dctCoefficients;
    alignas(32) float a[N];
    alignas(32) float b[N];
    constexpr int32_t kFirst = N == 32 ? 0 : N == 16 ? 1 : 2;
    const float* c0 = c + kDctSection[kFirst];
    for (int32_t q = 0; q < N / 2; ++q) {
        a[q] = x[q] + x[N - 1 - q];
        a[N / 2 + q] = (x[q] - x[N - 1 - q]) * c0[q];
    }
    if constexpr (N == 32) {
        DctButterflies<2, 16>(a, b, c + kDctSection[1]);
        DctButterflies<4, 8>(b, a, c + kDctSection[2]);
        DctButterflies<8, 4>(a, b, c + kDctSection[3]);
        DctButterflies<16, 2>(b, a, c + kDctSection[4]);
        DctRecombine<8, 4>(a, b);
        DctRecombine<4, 8>(b, a);
        DctRecombine<2, 16>(a, b);
        DctRecombine<1, 32>(b, y);
    } else if constexpr (N == 16) {
        DctButterflies<2, 8>(a, b, c + kDctSection[2]);
        DctButterflies<4, 4>(b, a, c + kDctSection[3]);
        DctButterflies<8, 2>(a, b, c + kDctSection[4]);
        DctRecombine<4, 4>(b, a);
        DctRecombine<2, 8>(a, b);
        DctRecombine<1, 16>(b, y);
    } else {
        DctButterflies<2, 4>(a, b, c + kDctSection[3]);
        DctButterflies<4, 2>(b, a, c + kDctSection[4]);
        DctRecombine<2, 4>(a, b);
        DctRecombine<1, 8>(b, y);
    }
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
            for (int32_t sb = 0; sb < 32; ++sb)
                slot[kStride * sb + kOffset] *= d.equaliserFactors[sb];
    }
    for (int32_t n = 0; n < N; ++n) {
        if constexpr (In == Input::Mixed)
            x[n] = (slot[2 * n] + slot[2 * n + 1]) * 0.5f;
        else
            x[n] = slot[kStride * n + kOffset];
    }
    if constexpr (N == 16) x[15] = 0.0f;  // subband 15 is never decoded at half rate
}

// The synthesis window rearranged for one rate, so the window loop runs over outputs with
// contiguous coefficients: outputs k < H take a[m][k] and b[m][k], outputs H + 1 + k take
// c[m][k] and d[m][k], the middle output `middle[m]`.
struct WindowLayout {
    float a[8][16], b[8][16], c[8][16], d[8][16];
    float middle[8];
};

template <int32_t Shift>
const WindowLayout& LayoutFor() {
    static const WindowLayout layout = [] {
        constexpr int32_t N = 32 >> Shift, H = N / 2, G = 1 << Shift;
        const float* w = synthesisWindow.data();
        WindowLayout l{};
        for (int32_t m = 0; m < 8; ++m) {
            for (int32_t k = 0; k < H; ++k) {
                l.a[m][k] = w[16 * (k * G) + 2 * m];
                l.b[m][k] = w[16 * (k * G) + 2 * m + 1];
            }
            for (int32_t k = 0; k < H - 1; ++k) {
                l.c[m][k] = w[16 * ((H - 1 - k) * G) + 15 - 2 * m];
                l.d[m][k] = w[16 * ((H - 1 - k) * G) + 14 - 2 * m];
            }
            l.middle[m] = w[256 + m];
        }
        return l;
    }();
    return layout;
}

}  // namespace
}  // namespace mpeg
