// The IMDCT of the hybrid filterbank with its windows and overlap, on lanes that are subbands:
// an 18-point core built from two 9-point halves for long blocks, three 6-point cores for short
// blocks, unfolded into the 36 (or 3 × 12) windowed outputs with the sign-adjusted windows of
// the constant tables. Written once over the operations of a lane type `S` of vector_ops.h:
// the plain path runs it one subband at a time (OneLane), the vector paths four or eight side
// by side, every lane doing the same IEEE operations in the same order, so every path gives the
// same values. Private to src/mpeg; see vector_ops.h on why it has internal linkage.
//
// A subband's 18 lines are contiguous, so the lines of a granule are transposed into rows of
// 32 subbands first; the outputs (samples[18][32]) and the overlap are kept as such rows, where
// neighbouring subbands lie side by side.
#pragma once

#include <algorithm>
#include <cstring>

#include "layer3.h"
#include "vector_ops.h"

namespace mpeg {
namespace {

// The IMDCT's constants with each value in every lane, so the transforms take them straight
// from memory rather than spreading each one anew.
template <class S>
struct WideConstants {
    using V = typename S::V;
    V longPre[18], longOdd[9], longCos[9][4];
    V shortPre[6], shortOdd[3], root3, half, two;
    V windows[4][36];
};

template <class S>
const WideConstants<S>& Wide() {
    static const WideConstants<S> wide = [] {
        const DecoderConstants& c = Constants();
        const auto spread = [](const float* from, typename S::V* to, int32_t n) {
            for (int32_t i = 0; i < n; ++i) to[i] = S::Set1(from[i]);
        };
        WideConstants<S> w;
        spread(c.longPreScale, w.longPre, 18);
        spread(c.longOddScale, w.longOdd, 9);
        spread(&c.longCosMatrix[0][0], &w.longCos[0][0], 36);
        spread(c.shortPreScale, w.shortPre, 6);
        spread(c.shortOddScale, w.shortOdd, 3);
        w.root3 = S::Set1(c.shortRoot3);
        w.half = S::Set1(0.5f);
        w.two = S::Set1(2.0f);
        spread(&c.imdctWindows[0][0], &w.windows[0][0], 4 * 36);
        return w;
    }();
    return wide;
}

// The 18-point IMDCT core of a long block on each lane of x[0..17], in place.
template <class S>
[[gnu::always_inline]] inline void Imdct18Lanes(const WideConstants<S>& c, typename S::V* x) {
    using V = typename S::V;
    const auto add = [](V a, V b) { return S::Add(a, b); };
    const auto sub = [](V a, V b) { return S::Sub(a, b); };
    const auto mul = [](V a, V b) { return S::Mul(a, b); };
    const V* P = c.longPre;
    const V* Q = c.longOdd;
    const V(*M)[4] = c.longCos;
    V E[5], F[4], G[5], H[4];
    for (int32_t j = 0; j < 4; ++j) {
        const V a = mul(P[j], x[j]);
        const V b = mul(P[17 - j], x[17 - j]);
        const V s = add(a, b);
        const V d = mul(sub(a, b), Q[j]);
        const V a2 = mul(P[8 - j], x[8 - j]);
        const V b2 = mul(P[9 + j], x[9 + j]);
        const V s2 = add(a2, b2);
        const V d2 = mul(sub(a2, b2), Q[8 - j]);
        E[j] = add(s, s2);
        F[j] = sub(s, s2);
        G[j] = add(d, d2);
        H[j] = sub(d, d2);
    }
    {
        const V a = mul(P[4], x[4]);
        const V b = mul(P[13], x[13]);
        E[4] = add(a, b);
        G[4] = mul(sub(a, b), Q[4]);
    }
    const auto dot = [&](int32_t row, const V* v) {
        return add(add(add(mul(M[row][0], v[0]), mul(M[row][1], v[1])), mul(M[row][2], v[2])),
                   mul(M[row][3], v[3]));
    };
    const V half = c.half;
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
    y[6] = mul(sub(sub(F[0], F[2]), F[3]), M[3][0]);
    y[7] = sub(mul(sub(sub(H[0], H[2]), H[3]), M[3][0]), y[5]);
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

// The three 6-point IMDCT cores of a short block on each lane of x[0..17] (window w's six
// values at w, w + 3, ... w + 15), into z (window w's six outputs at 6 · w).
template <class S>
[[gnu::always_inline]] inline void Imdct6x3Lanes(const WideConstants<S>& c, const typename S::V* x,
                                                 typename S::V* z) {
    using V = typename S::V;
    const V* C = c.shortPre;
    const V* D3 = c.shortOdd;
    for (int32_t w = 0; w < 3; ++w) {
        const V a0 = S::Mul(C[0], x[w]), b0 = S::Mul(C[5], x[w + 15]);
        const V a1 = S::Mul(C[1], x[w + 3]), b1 = S::Mul(C[4], x[w + 12]);
        const V a2 = S::Mul(C[2], x[w + 6]), b2 = S::Mul(C[3], x[w + 9]);
        const V t0 = S::Add(a0, b0), t3 = S::Mul(S::Sub(a0, b0), D3[0]);
        const V t1 = S::Add(a1, b1), t4 = S::Mul(S::Sub(a1, b1), D3[1]);
        const V t2 = S::Add(a2, b2), t5 = S::Mul(S::Sub(a2, b2), D3[2]);
        const V e = S::Add(t0, t2);
        const V f = S::Add(t3, t5);
        V* out = z + 6 * w;
        out[0] = S::Add(e, t1);
        out[1] = S::Add(f, t4);
        out[2] = S::Mul(S::Sub(t0, t2), c.root3);
        out[3] = S::Sub(S::Mul(S::Sub(t3, t5), c.root3), out[1]);
        out[1] = S::Sub(out[1], out[0]);
        out[2] = S::Sub(out[2], out[1]);
        out[4] = S::Sub(e, S::Mul(c.two, t1));
        out[5] = S::Sub(S::Sub(f, S::Mul(c.two, t4)), out[3]);
        out[3] = S::Sub(out[3], out[2]);
        out[4] = S::Sub(out[4], out[3]);
        out[5] = S::Sub(out[5], out[4]);
    }
}

// The block of kWidth subbands from `first` (a multiple of kWidth) on, of which the lanes
// lo..hi - 1 are worked on. The other lanes compute from whatever the arrays hold there; their
// results are never stored.
template <class S>
struct Block {
    using V = typename S::V;
    static constexpr int32_t L = S::kWidth;

    Block(int32_t start, int32_t from, int32_t to)
        : first(start),
          full(L == 1 || (from <= start && to >= start + L)),
          mask(S::LanesIn(from - start, to - start)) {}

    // The block's lanes of a row of 32 subbands.
    V Get(const float* row) const { return S::Load(row + first); }
    // v into the lanes worked on; the other lanes keep what they hold.
    void Put(float* row, V v) const {
        float* p = row + first;
        S::Store(p, full ? v : S::Select(mask, v, S::Load(p)));
    }

    int32_t first;
    bool full;
    typename S::Mask mask;
};

template <class S, class Work>
void ForBlocks(int32_t from, int32_t to, Work work) {
    constexpr int32_t L = S::kWidth;
    if (from >= to) return;
    for (int32_t first = from / L * L; first < to; first += L) work(Block<S>(first, from, to));
}

// Rows of 32 subbands, 18 of them: outputs and the overlap.
using Rows = float (*)[32];
using ConstRows = const float (*)[32];

// The lines of subbands [0, to) (whole blocks of them) as the transform reads them. On
// vectors they become rows, lines[n][sb] line n of subband sb, so the subbands of a block lie
// side by side; one lane reads a subband's 18 lines one after another, as the spectrum holds
// them, from a copy (the spectrum is overwritten with the new overlap).
template <class S>
void TakeLines(const float* spectrum, Rows lines, int32_t to) {
    using V = typename S::V;
    if constexpr (S::kWidth == 1) {
        std::memcpy(lines, spectrum, sizeof(float) * size_t(18 * to));
    } else {
        for (int32_t first = 0; first < to; first += S::kWidth) {
            const float* block = spectrum + 18 * first;
            for (int32_t col = 0; col < 16; col += 4) {
                V r[4];
                for (int32_t k = 0; k < 4; ++k) r[k] = S::template Rows4<18>(block + col, k);
                Transpose4<S>(r);
                for (int32_t k = 0; k < 4; ++k) S::Store(lines[col + k] + first, r[k]);
            }
            // The last two lines from pairs of subbands: (0, 1) and (2, 3), and in the high
            // group of eight lanes (4, 5) and (6, 7).
            const V a = S::template Rows2<18>(block + 16, 0);
            const V b = S::template Rows2<18>(block + 16, 2);
            S::Store(lines[16] + first, S::template Shuffle<ShuffleOrder(2, 0, 2, 0)>(a, b));
            S::Store(lines[17] + first, S::template Shuffle<ShuffleOrder(3, 1, 3, 1)>(a, b));
        }
    }
}

// Line n of the block's subbands, from TakeLines.
template <class S>
typename S::V LineOf(ConstRows lines, const Block<S>& b, int32_t n) {
    if constexpr (S::kWidth == 1) return reinterpret_cast<const float*>(lines)[18 * b.first + n];
    return b.Get(lines[n]);
}

// The new overlap of the block into `next`: stored alone, added to it accumulating (the first
// `count` rows).
template <class S, bool Accumulate>
void PutOverlap(const Block<S>& b, const typename S::V* values, Rows next, int32_t count) {
    for (int32_t t = 0; t < count; ++t)
        b.Put(next[t], Accumulate ? S::Add(b.Get(next[t]), values[t]) : values[t]);
}

// Long blocks: the outputs (the second half of the windowed IMDCT, plus the previous overlap)
// and the new overlap (its first half) of the block's subbands. Lanes of subbands below
// `normalSubbands` take the normal window when `Mixed`.
template <class S, bool Accumulate, bool Mixed>
void LongBlock(const WideConstants<S>& c, const Block<S>& b, ConstRows lines, ConstRows overlap,
               Rows next, Rows samples, const typename S::V* window, int32_t normalSubbands) {
    using V = typename S::V;
    V x[18];
    for (int32_t n = 0; n < 18; ++n) x[n] = LineOf<S>(lines, b, n);
    Imdct18Lanes<S>(c, x);
    const V* normal = c.windows[0];
    const typename S::Mask normalLanes = S::LanesIn(0, Mixed ? normalSubbands - b.first : 0);
    const auto w = [&](int32_t j) {
        if constexpr (Mixed) return S::Select(normalLanes, normal[j], window[j]);
        return window[j];
    };
    // Alone, the outputs start from the previous overlap; accumulating, from themselves.
    const ConstRows base = Accumulate ? samples : overlap;
    for (int32_t j = 0; j < 9; ++j) {
        b.Put(samples[j], S::Add(b.Get(base[j]), S::Mul(x[j + 9], w(j))));
        b.Put(samples[j + 9], S::Add(b.Get(base[j + 9]), S::Mul(x[17 - j], w(j + 9))));
    }
    V o[18];
    for (int32_t j = 0; j < 4; ++j) {
        o[j] = S::Mul(x[8 - j], w(18 + j));
        o[8 - j] = S::Mul(x[j], w(26 - j));
        o[9 + j] = S::Mul(x[j], w(27 + j));
        o[17 - j] = S::Mul(x[8 - j], w(35 - j));
    }
    o[4] = S::Mul(x[4], w(22));
    o[13] = S::Mul(x[4], w(31));
    PutOverlap<S, Accumulate>(b, o, next, 18);
}

// Short blocks: the outputs and the new overlap of the block's subbands, from the three
// overlapping windows.
template <class S, bool Accumulate>
void ShortBlock(const WideConstants<S>& c, const Block<S>& b, ConstRows lines, ConstRows overlap,
                Rows next, Rows samples) {
    using V = typename S::V;
    V x[18], y[18];
    for (int32_t n = 0; n < 18; ++n) x[n] = LineOf<S>(lines, b, n);
    Imdct6x3Lanes<S>(c, x, y);
    const typename S::V* S3 = c.windows[2];
    const auto term = [&](int32_t j, int32_t n) { return S::Mul(S3[j], y[n]); };
    if constexpr (Accumulate) {
        const auto add = [&](int32_t t, V v) { b.Put(samples[t], S::Add(b.Get(samples[t]), v)); };
        for (int32_t j = 0; j < 3; ++j) {
            add(j + 6, term(j, j + 3));
            add(j + 9, term(3 + j, 5 - j));
            add(j + 12, S::Add(term(6 + j, 2 - j), term(j, j + 9)));
            add(j + 15, S::Add(term(9 + j, j), term(3 + j, 11 - j)));
        }
    } else {
        const auto o = [&](int32_t t) { return b.Get(overlap[t]); };
        for (int32_t j = 0; j < 3; ++j) {
            b.Put(samples[j], o(j));
            b.Put(samples[j + 3], o(j + 3));
            b.Put(samples[j + 6], S::Add(o(j + 6), term(j, j + 3)));
            b.Put(samples[j + 9], S::Add(o(j + 9), term(3 + j, 5 - j)));
            b.Put(samples[j + 12], S::Add(S::Add(o(j + 12), term(6 + j, 2 - j)), term(j, j + 9)));
            b.Put(samples[j + 15], S::Add(S::Add(o(j + 15), term(9 + j, j)), term(3 + j, 11 - j)));
        }
    }
    V o[18];
    for (int32_t j = 0; j < 3; ++j) {
        o[j] = S::Add(term(6 + j, 8 - j), term(j, j + 15));
        o[j + 3] = S::Add(term(9 + j, j + 6), term(3 + j, 17 - j));
        o[j + 6] = term(6 + j, 14 - j);
        o[j + 9] = term(9 + j, j + 12);
        o[j + 12] = S::Zero();
        o[j + 15] = S::Zero();
    }
    // Accumulating, the zeros of the last six rows are not added.
    PutOverlap<S, Accumulate>(b, o, next, Accumulate ? 12 : 18);
}

// Transforms the long and the short subbands of one channel, kWidth at a time, from the lines
// as rows, the new overlap into `next`. Alone, each output is the overlap of the previous
// granule plus the windowed transform; accumulating, the transform is added to the outputs and
// its overlap to `next`. Returns the subbands transformed.
template <class S, bool Accumulate>
int32_t Transform(ConstRows lines, ConstRows overlap, Rows next, Rows samples, int32_t blockType,
                  int32_t longEnd, int32_t end, int32_t normalSubbands) {
    const WideConstants<S>& c = Wide<S>();
    const typename S::V* window = c.windows[blockType == 2 ? 0 : blockType];
    const bool mixed = normalSubbands > 0 && window != c.windows[0];
    ForBlocks<S>(0, longEnd, [&](const Block<S>& b) {
        if (mixed && b.first < normalSubbands)
            LongBlock<S, Accumulate, true>(c, b, lines, overlap, next, samples, window,
                                           normalSubbands);
        else
            LongBlock<S, Accumulate, false>(c, b, lines, overlap, next, samples, window,
                                            normalSubbands);
    });
    ForBlocks<S>(longEnd, end, [&](const Block<S>& b) {
        ShortBlock<S, Accumulate>(c, b, lines, overlap, next, samples);
    });
    return end;
}

// ImdctGranule of layer3.h. The overlap is kept as rows of 32 subbands, so the transform reads
// and writes it in whole vectors: the lines of the granule are turned into rows first (the
// spectrum becomes the new overlap), then transformed. Subbands past the transform keep their
// lines as their overlap.
template <class S>
int32_t Granule(float* spectrum, const float* overlap, Rows samples, int32_t blockType,
                int32_t longLines, int32_t lines, int32_t previousLines, int32_t lineLimit,
                int32_t normalSubbands) {
    using V = typename S::V;
    const int32_t longEnd = (longLines + 17) / 18;
    const int32_t end = std::max(longEnd, (lines + 17) / 18);
    const int32_t limitEnd = (lineLimit + 17) / 18;
    const int32_t played = std::max(end, std::min((previousLines + 17) / 18, 32));
    // Every subband a later granule may read the overlap of.
    const int32_t kept = std::max(limitEnd, played);
    alignas(32) float rows[18][32];
    TakeLines<S>(spectrum, rows, kept);
    const ConstRows previous = reinterpret_cast<ConstRows>(overlap);
    const Rows next = reinterpret_cast<Rows>(spectrum);
    Transform<S, false>(rows, previous, next, samples, blockType, longEnd, end, normalSubbands);
    ForBlocks<S>(end, kept, [&](const Block<S>& b) {
        for (int32_t t = 0; t < 18; ++t) b.Put(next[t], LineOf<S>(rows, b, t));
    });
    // The previous granule reached further: its overlap still has to be played out.
    ForBlocks<S>(end, played, [&](const Block<S>& b) {
        for (int32_t t = 0; t < 18; ++t) b.Put(samples[t], b.Get(previous[t]));
    });
    ForBlocks<S>(played, limitEnd, [&](const Block<S>& b) {
        const V zero = S::Zero();
        for (int32_t t = 0; t < 18; ++t) b.Put(samples[t], zero);
    });
    return 18 * played;
}

// ImdctAccumulate of layer3.h: the transform added to the outputs and its overlap to
// `overlapOut`, rows of 32 subbands. The spectrum is left as scratch.
template <class S>
int32_t Accumulate(float* spectrum, float* overlapOut, Rows samples, int32_t blockType,
                   int32_t longLines, int32_t lines, int32_t normalSubbands) {
    const int32_t longEnd = (longLines + 17) / 18;
    const int32_t end = std::max(longEnd, (lines + 17) / 18);
    alignas(32) float rows[18][32];
    TakeLines<S>(spectrum, rows, end);
    Transform<S, true>(rows, nullptr, reinterpret_cast<Rows>(overlapOut), samples, blockType,
                       longEnd, end, normalSubbands);
    return 18 * end;
}

}  // namespace
}  // namespace mpeg
