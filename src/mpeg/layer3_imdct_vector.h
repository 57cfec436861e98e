// The long-block IMDCT with its windows and overlap on vectors whose lanes are subbands, written
// once over the operations of a vector type `S` of vector_ops.h. Every lane does the same IEEE
// operations in the same order as Imdct18 and the unfolding of layer3_imdct.cpp do for its
// subband, so each path gives exactly the plain path's values. Private to src/mpeg; see
// vector_ops.h on why it has internal linkage.
//
// A subband's 18 lines are contiguous, so the lines of kWidth subbands are transposed into 18
// vectors on the way in, and the new overlap back on the way out; the outputs are rows of
// samples[18][32], where neighbouring subbands lie side by side already.
#pragma once

#include <algorithm>
#include <cstring>

#include "layer3.h"
#include "vector_ops.h"

namespace mpeg {
namespace {

// Imdct18 on each lane of x[0..17].
template <class S>
[[gnu::always_inline]] inline void Imdct18Lanes(const DecoderConstants& c, typename S::V* x) {
    using V = typename S::V;
    const auto k = [](float v) { return S::Set1(v); };
    const auto add = [](V a, V b) { return S::Add(a, b); };
    const auto sub = [](V a, V b) { return S::Sub(a, b); };
    const auto mul = [](V a, V b) { return S::Mul(a, b); };
    const float* P = c.longPreScale;
    const float* Q = c.longOddScale;
    const float(*M)[4] = c.longCosMatrix;
    V E[5], F[4], G[5], H[4];
    for (int32_t j = 0; j < 4; ++j) {
        const V a = mul(k(P[j]), x[j]);
        const V b = mul(k(P[17 - j]), x[17 - j]);
        const V s = add(a, b);
        const V d = mul(sub(a, b), k(Q[j]));
        const V a2 = mul(k(P[8 - j]), x[8 - j]);
        const V b2 = mul(k(P[9 + j]), x[9 + j]);
        const V s2 = add(a2, b2);
        const V d2 = mul(sub(a2, b2), k(Q[8 - j]));
        E[j] = add(s, s2);
        F[j] = sub(s, s2);
        G[j] = add(d, d2);
        H[j] = sub(d, d2);
    }
    {
        const V a = mul(k(P[4]), x[4]);
        const V b = mul(k(P[13]), x[13]);
        E[4] = add(a, b);
        G[4] = mul(sub(a, b), k(Q[4]));
    }
    const auto dot = [&](int32_t row, const V* v) {
        return add(
            add(add(mul(k(M[row][0]), v[0]), mul(k(M[row][1]), v[1])), mul(k(M[row][2]), v[2])),
            mul(k(M[row][3]), v[3]));
    };
    const V half = k(0.5f);
    V* y = x;  // every input is read before the first output is written
    y[0] = mul(half, add(add(add(add(E[0], E[1]), E[2]), E[3]), E[4]));
    y[1] = mul(half, add(add(add(add(G[0], G[1]), G[2]), G[3]), G[4]));
    y[2] = dot(1, F);
    y[3] = sub(dot(1, H), y[1]);
    y[1] = sub(y[1], y[0]);
    y[2] = sub(y[2], y[1]);
    y[4] = sub(dot(2, E), E[4]);
    y[5] = sub(sub(dot(2, G), G[4]), y[3]);
    y[3] = sub(y[3], y[2]);
    y[4] = sub(y[4], y[3]);
    y[6] = mul(sub(sub(F[0], F[2]), F[3]), k(M[3][0]));
    y[7] = sub(mul(sub(sub(H[0], H[2]), H[3]), k(M[3][0])), y[5]);
    y[5] = sub(y[5], y[4]);
    y[6] = sub(y[6], y[5]);
    y[8] = add(dot(4, E), E[4]);
    y[9] = sub(add(dot(4, G), G[4]), y[7]);
    y[7] = sub(y[7], y[6]);
    y[8] = sub(y[8], y[7]);
    y[10] = dot(5, F);
    y[11] = sub(dot(5, H), y[9]);
    y[9] = sub(y[9], y[8]);
    y[10] = sub(y[10], y[9]);
    y[12] = sub(sub(mul(half, add(add(E[0], E[2]), E[3])), E[1]), E[4]);
    y[13] = sub(sub(sub(mul(half, add(add(G[0], G[2]), G[3])), G[1]), G[4]), y[11]);
    y[11] = sub(y[11], y[10]);
    y[12] = sub(y[12], y[11]);
    y[14] = dot(7, F);
    y[15] = sub(dot(7, H), y[13]);
    y[13] = sub(y[13], y[12]);
    y[14] = sub(y[14], y[13]);
    y[16] = add(dot(8, E), E[4]);
    y[17] = sub(add(dot(8, G), G[4]), y[15]);
    y[15] = sub(y[15], y[14]);
    y[16] = sub(y[16], y[15]);
    y[17] = sub(y[17], y[16]);
}

// Imdct6x3 on each lane of x[0..17], into z.
template <class S>
[[gnu::always_inline]] inline void Imdct6x3Lanes(const DecoderConstants& c, const typename S::V* x,
                                                 typename S::V* z) {
    using V = typename S::V;
    const auto k = [](float v) { return S::Set1(v); };
    const float* C = c.shortPreScale;
    const float* D3 = c.shortOddScale;
    const V r = k(c.shortRoot3), two = k(2.0f);
    for (int32_t w = 0; w < 3; ++w) {
        const V a0 = S::Mul(k(C[0]), x[w]), b0 = S::Mul(k(C[5]), x[w + 15]);
        const V a1 = S::Mul(k(C[1]), x[w + 3]), b1 = S::Mul(k(C[4]), x[w + 12]);
        const V a2 = S::Mul(k(C[2]), x[w + 6]), b2 = S::Mul(k(C[3]), x[w + 9]);
        const V t0 = S::Add(a0, b0), t3 = S::Mul(S::Sub(a0, b0), k(D3[0]));
        const V t1 = S::Add(a1, b1), t4 = S::Mul(S::Sub(a1, b1), k(D3[1]));
        const V t2 = S::Add(a2, b2), t5 = S::Mul(S::Sub(a2, b2), k(D3[2]));
        const V e = S::Add(t0, t2);
        const V f = S::Add(t3, t5);
        V* out = z + 6 * w;
        out[0] = S::Add(e, t1);
        out[1] = S::Add(f, t4);
        out[2] = S::Mul(S::Sub(t0, t2), r);
        out[3] = S::Sub(S::Mul(S::Sub(t3, t5), r), out[1]);
        out[1] = S::Sub(out[1], out[0]);
        out[2] = S::Sub(out[2], out[1]);
        out[4] = S::Sub(e, S::Mul(two, t1));
        out[5] = S::Sub(S::Sub(f, S::Mul(two, t4)), out[3]);
        out[3] = S::Sub(out[3], out[2]);
        out[4] = S::Sub(out[4], out[3]);
        out[5] = S::Sub(out[5], out[4]);
    }
}

// The block of kWidth subbands from `first` (a multiple of kWidth) on, of which the lanes
// lo..hi - 1 are worked on. The other lanes compute from whatever the arrays hold there, and
// their results are never stored.
template <class S>
struct Block {
    using V = typename S::V;
    static constexpr int32_t L = S::kWidth;

    Block(int32_t start, int32_t from, int32_t to)
        : first(start),
          lo(std::max(from - start, 0)),
          hi(std::min(to - start, L)),
          full(lo == 0 && hi == L),
          mask(S::LanesIn(lo, hi)) {}

    // The lanes' columns of 18 values each, from the rows of subbands in `a`.
    void Load(const float* a, V* columns) const { LoadColumns18<S>(a + 18 * first, columns); }
    // The columns back into the rows of the lanes worked on.
    void Store(const V* columns, float* a) const {
        if (full) {
            StoreColumns18<S>(columns, a + 18 * first);
            return;
        }
        float rows[18 * L];
        StoreColumns18<S>(columns, rows);
        std::memcpy(a + 18 * (first + lo), rows + 18 * lo, sizeof(float) * 18 * size_t(hi - lo));
    }
    V Output(float (*samples)[32], int32_t t) const { return S::Load(samples[t] + first); }
    // Output row t of the lanes worked on; the other lanes keep what they hold.
    void Put(float (*samples)[32], int32_t t, V v) const {
        float* p = samples[t] + first;
        S::Store(p, full ? v : S::Select(mask, v, S::Load(p)));
    }

    int32_t first, lo, hi;
    bool full;
    V mask;
};

template <class S, class Work>
void ForBlocks(int32_t from, int32_t to, Work work) {
    constexpr int32_t L = S::kWidth;
    if (from >= to) return;
    for (int32_t first = from / L * L; first < to; first += L) work(Block<S>(first, from, to));
}

// Long blocks: the outputs and the new overlap of the block's subbands, as UnfoldLong gives
// them. Lanes of subbands below `normalSubbands` take the normal window when `Mixed`.
template <class S, bool Accumulate, bool Mixed>
void LongBlock(const DecoderConstants& c, const Block<S>& b, float* spectrum, const float* overlap,
               float* overlapOut, float (*samples)[32], const float* window,
               int32_t normalSubbands) {
    using V = typename S::V;
    V x[18];
    b.Load(spectrum, x);
    Imdct18Lanes<S>(c, x);
    const float* normal = c.imdctWindows[0];
    const V normalLanes = Mixed ? S::LanesIn(0, normalSubbands - b.first) : S::Zero();
    const auto w = [&](int32_t j) {
        if constexpr (Mixed) return S::Select(normalLanes, S::Set1(normal[j]), S::Set1(window[j]));
        return S::Set1(window[j]);
    };
    V o[18];
    if constexpr (Accumulate)
        for (int32_t t = 0; t < 18; ++t) o[t] = b.Output(samples, t);
    else
        b.Load(overlap, o);
    for (int32_t j = 0; j < 9; ++j) {
        b.Put(samples, j, S::Add(o[j], S::Mul(x[j + 9], w(j))));
        b.Put(samples, j + 9, S::Add(o[j + 9], S::Mul(x[17 - j], w(j + 9))));
    }
    V next[18];
    for (int32_t j = 0; j < 4; ++j) {
        next[j] = S::Mul(x[8 - j], w(18 + j));
        next[8 - j] = S::Mul(x[j], w(26 - j));
        next[9 + j] = S::Mul(x[j], w(27 + j));
        next[17 - j] = S::Mul(x[8 - j], w(35 - j));
    }
    next[4] = S::Mul(x[4], w(22));
    next[13] = S::Mul(x[4], w(31));
    b.Store(next, spectrum);
    if constexpr (Accumulate) {
        b.Load(overlapOut, o);
        for (int32_t t = 0; t < 18; ++t) o[t] = S::Add(o[t], next[t]);
        b.Store(o, overlapOut);
    }
}

// Short blocks: the outputs and the new overlap of the block's subbands, as UnfoldShort gives
// them.
template <class S, bool Accumulate>
void ShortBlock(const DecoderConstants& c, const Block<S>& b, float* spectrum, const float* overlap,
                float* overlapOut, float (*samples)[32]) {
    using V = typename S::V;
    V x[18], y[18];
    b.Load(spectrum, x);
    Imdct6x3Lanes<S>(c, x, y);
    const float* S3 = c.imdctWindows[2];
    const auto w = [S3](int32_t j) { return S::Set1(S3[j]); };
    const auto term = [&](int32_t j, int32_t n) { return S::Mul(w(j), y[n]); };
    if constexpr (Accumulate) {
        const auto add = [&](int32_t t, V v) {
            b.Put(samples, t, S::Add(b.Output(samples, t), v));
        };
        for (int32_t j = 0; j < 3; ++j) {
            add(j + 6, term(j, j + 3));
            add(j + 9, term(3 + j, 5 - j));
            add(j + 12, S::Add(term(6 + j, 2 - j), term(j, j + 9)));
            add(j + 15, S::Add(term(9 + j, j), term(3 + j, 11 - j)));
        }
    } else {
        V o[18];
        b.Load(overlap, o);
        for (int32_t j = 0; j < 3; ++j) {
            b.Put(samples, j, o[j]);
            b.Put(samples, j + 3, o[j + 3]);
            b.Put(samples, j + 6, S::Add(o[j + 6], term(j, j + 3)));
            b.Put(samples, j + 9, S::Add(o[j + 9], term(3 + j, 5 - j)));
            b.Put(samples, j + 12, S::Add(S::Add(o[j + 12], term(6 + j, 2 - j)), term(j, j + 9)));
            b.Put(samples, j + 15, S::Add(S::Add(o[j + 15], term(9 + j, j)), term(3 + j, 11 - j)));
        }
    }
    V next[18];
    for (int32_t j = 0; j < 3; ++j) {
        next[j] = S::Add(term(6 + j, 8 - j), term(j, j + 15));
        next[j + 3] = S::Add(term(9 + j, j + 6), term(3 + j, 17 - j));
        next[j + 6] = term(6 + j, 14 - j);
        next[j + 9] = term(9 + j, j + 12);
        next[j + 12] = S::Zero();
        next[j + 15] = S::Zero();
    }
    b.Store(next, spectrum);
    if constexpr (Accumulate) {
        V o[18];
        b.Load(overlapOut, o);
        for (int32_t t = 0; t < 12; ++t) o[t] = S::Add(o[t], next[t]);
        b.Store(o, overlapOut);
    }
}

// TransformSubbands of layer3_imdct.cpp, kWidth subbands at a time.
template <class S, bool Accumulate>
int32_t Transform(const DecoderConstants& c, float* spectrum, const float* overlap,
                  float* overlapOut, float (*samples)[32], int32_t blockType, int32_t longLines,
                  int32_t lines, int32_t normalSubbands) {
    const float* window = c.imdctWindows[blockType == 2 ? 0 : blockType];
    const int32_t longEnd = (longLines + 17) / 18;
    const int32_t end = std::max(longEnd, (lines + 17) / 18);
    const bool mixed = normalSubbands > 0 && window != c.imdctWindows[0];
    ForBlocks<S>(0, longEnd, [&](const Block<S>& b) {
        if (mixed && b.first < normalSubbands)
            LongBlock<S, Accumulate, true>(c, b, spectrum, overlap, overlapOut, samples, window,
                                           normalSubbands);
        else
            LongBlock<S, Accumulate, false>(c, b, spectrum, overlap, overlapOut, samples, window,
                                            normalSubbands);
    });
    ForBlocks<S>(longEnd, end, [&](const Block<S>& b) {
        ShortBlock<S, Accumulate>(c, b, spectrum, overlap, overlapOut, samples);
    });
    return end;
}

// ImdctGranule of layer3_imdct.cpp: the transform, then the rest of the previous granule's
// overlap and zeros up to the line limit.
template <class S>
int32_t Granule(const DecoderConstants& c, float* spectrum, const float* overlap,
                float (*samples)[32], int32_t blockType, int32_t longLines, int32_t lines,
                int32_t previousLines, int32_t lineLimit, int32_t normalSubbands) {
    using V = typename S::V;
    const int32_t transformed = Transform<S, false>(c, spectrum, overlap, nullptr, samples,
                                                    blockType, longLines, lines, normalSubbands);
    const int32_t played = std::max(transformed, std::min((previousLines + 17) / 18, 32));
    ForBlocks<S>(transformed, played, [&](const Block<S>& b) {
        V o[18];
        b.Load(overlap, o);
        for (int32_t t = 0; t < 18; ++t) b.Put(samples, t, o[t]);
    });
    ForBlocks<S>(played, (lineLimit + 17) / 18, [&](const Block<S>& b) {
        for (int32_t t = 0; t < 18; ++t) b.Put(samples, t, S::Zero());
    });
    return 18 * played;
}

template <class S>
int32_t Accumulate(const DecoderConstants& c, float* spectrum, float* overlapOut,
                   float (*samples)[32], int32_t blockType, int32_t longLines, int32_t lines,
                   int32_t normalSubbands) {
    return 18 * Transform<S, true>(c, spectrum, nullptr, overlapOut, samples, blockType, longLines,
                                   lines, normalSubbands);
}

template <class S>
constexpr VectorImdct kVectorImdct = {Granule<S>, Accumulate<S>};

}  // namespace
}  // namespace mpeg
