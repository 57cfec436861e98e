// The requantisation of a run of lines on vectors of lines, written once over the operations of
// a vector type `S` of vector_ops.h: each line takes the plain routine's table entry and the
// same multiplication, so the values are the plain path's bit for bit. Private to src/mpeg; see
// vector_ops.h on why it has internal linkage.
#pragma once

#include "layer3.h"
#include "vector_ops.h"

namespace mpeg {
namespace {

// The plain routine's step for one line; returns the quantised value.
inline int32_t DequantiseLine(float* x, float factor, const float* smallPowers) {
    const int32_t q = int32_t(*x);
    *x = uint32_t(q + 32) < 64u ? factor * smallPowers[q + 32] : DequantiseLarge(q, factor);
    return q;
}

// kWidth lines at a time: whole-number floats to integers, and where all are small (nearly
// always), their table entries times the factor. Returns the bitwise or of the quantised
// values (0 when all are 0).
template <class S>
int32_t DequantiseLines(float* x, int32_t count, float factor, const float* smallPowers) {
    constexpr int32_t L = S::kWidth;
    const typename S::V f = S::Set1(factor);
    typename S::I any = S::ZeroI();
    int32_t i = 0;
    for (; i + L <= count; i += L) {
        const typename S::I q = S::Truncate(S::Load(x + i));
        any = S::Or(any, q);
        const typename S::I index = S::Plus(q, 32);
        if (S::Below64(index)) [[likely]] {
            S::Store(x + i, S::Mul(f, S::Lookup(smallPowers, index)));
        } else {
            for (int32_t k = 0; k < L; ++k) DequantiseLine(x + i + k, factor, smallPowers);
        }
    }
    int32_t rest = 0;
    if constexpr (L == 8) {
        // Four more on half a vector: the lowest bands hold four or six lines.
        if (i + 4 <= count) {
            const __m128i q = FourLanes::Truncate(FourLanes::Load(x + i));
            rest = FourLanes::OrLanes(q);
            const __m128i index = FourLanes::Plus(q, 32);
            if (FourLanes::Below64(index)) [[likely]] {
                FourLanes::Store(
                    x + i, FourLanes::Mul(FourLanes::Set1(factor), S::Lookup4(smallPowers, index)));
            } else {
                for (int32_t k = 0; k < 4; ++k) DequantiseLine(x + i + k, factor, smallPowers);
            }
            i += 4;
        }
    }
    for (; i < count; ++i) rest |= DequantiseLine(x + i, factor, smallPowers);
    return S::OrLanes(any) | rest;
}

}  // namespace
}  // namespace mpeg
