// The IMDCT of the hybrid filterbank: an 18-point core built from two 9-point halves for long
// blocks, three 6-point cores for short blocks, unfolded into the 36 (or 3 × 12) windowed
// outputs with the sign-adjusted windows of the constant tables.
#include "layer3.h"

namespace mpeg {

void Imdct18(float* x) {
    const DecoderConstants& c = Constants();
    const float* P = c.longPreScale;
    const float* Q = c.longOddScale;
    const float(*M)[4] = c.longCosMatrix;
    float E[5], F[4], G[5], H[4];
    for (int32_t k = 0; k < 4; ++k) {
        const float a = P[k] * x[k];
        const float b = P[17 - k] * x[17 - k];
        const float s = a + b;
        const float d = (a - b) * Q[k];
        const float a2 = P[8 - k] * x[8 - k];
        const float b2 = P[9 + k] * x[9 + k];
        const float s2 = a2 + b2;
        const float d2 = (a2 - b2) * Q[8 - k];
        E[k] = s + s2;
        F[k] = s - s2;
        G[k] = d + d2;
        H[k] = d - d2;
    }
    {
        const float a = P[4] * x[4];
        const float b = P[13] * x[13];
        E[4] = a + b;
        G[4] = (a - b) * Q[4];
    }
    auto dot = [M](int32_t row, const float* v) {
        return M[row][0] * v[0] + M[row][1] * v[1] + M[row][2] * v[2] + M[row][3] * v[3];
    };
    float y[18];
    y[0] = 0.5f * (E[0] + E[1] + E[2] + E[3] + E[4]);
    y[1] = 0.5f * (G[0] + G[1] + G[2] + G[3] + G[4]);
    y[2] = dot(1, F);
    y[3] = dot(1, H) - y[1];
    y[1] -= y[0];
    y[2] -= y[1];
    y[4] = dot(2, E) - E[4];
    y[5] = dot(2, G) - G[4] - y[3];
    y[3] -= y[2];
    y[4] -= y[3];
    y[6] = (F[0] - F[2] - F[3]) * M[3][0];
    y[7] = (H[0] - H[2] - H[3]) * M[3][0] - y[5];
    y[5] -= y[4];
    y[6] -= y[5];
    y[8] = dot(4, E) + E[4];
    y[9] = dot(4, G) + G[4] - y[7];
    y[7] -= y[6];
    y[8] -= y[7];
    y[10] = dot(5, F);
    y[11] = dot(5, H) - y[9];
    y[9] -= y[8];
    y[10] -= y[9];
    y[12] = 0.5f * (E[0] + E[2] + E[3]) - E[1] - E[4];
    y[13] = 0.5f * (G[0] + G[2] + G[3]) - G[1] - G[4] - y[11];
    y[11] -= y[10];
    y[12] -= y[11];
    y[14] = dot(7, F);
    y[15] = dot(7, H) - y[13];
    y[13] -= y[12];
    y[14] -= y[13];
    y[16] = dot(8, E) + E[4];
    y[17] = dot(8, G) + G[4] - y[15];
    y[15] -= y[14];
    y[16] -= y[15];
    y[17] -= y[16];
    for (int32_t n = 0; n < 18; ++n) x[n] = y[n];
}

void Imdct6x3(float* x) {
    const DecoderConstants& c = Constants();
    const float* C = c.shortPreScale;
    const float* D3 = c.shortOddScale;
    const float r = c.shortRoot3;
    float in[18];
    for (int32_t n = 0; n < 18; ++n) in[n] = x[n];
    for (int32_t w = 0; w < 3; ++w) {
        const float a0 = C[0] * in[w], b0 = C[5] * in[w + 15];
        const float a1 = C[1] * in[w + 3], b1 = C[4] * in[w + 12];
        const float a2 = C[2] * in[w + 6], b2 = C[3] * in[w + 9];
        const float t0 = a0 + b0, t3 = (a0 - b0) * D3[0];
        const float t1 = a1 + b1, t4 = (a1 - b1) * D3[1];
        const float t2 = a2 + b2, t5 = (a2 - b2) * D3[2];
        const float e = t0 + t2;
        const float f = t3 + t5;
        float z0 = e + t1;
        float z1 = f + t4;
        float z2 = (t0 - t2) * r;
        float z3 = (t3 - t5) * r - z1;
        z1 -= z0;
        z2 -= z1;
        float z4 = e - 2.0f * t1;
        float z5 = f - 2.0f * t4 - z3;
        z3 -= z2;
        z4 -= z3;
        z5 -= z4;
        float* out = x + 6 * w;
        out[0] = z0, out[1] = z1, out[2] = z2, out[3] = z3, out[4] = z4, out[5] = z5;
    }
}

namespace {

// The long-block outputs and the new overlap of one subband whose Imdct18 is in x.
template <bool Accumulate>
void UnfoldLong(float* x, const float* o, float (*samples)[32], int32_t i, const float* W) {
    for (int32_t j = 0; j < 9; ++j) {
        const float first = x[j + 9] * W[j];
        const float second = x[17 - j] * W[j + 9];
        if constexpr (Accumulate) {
            samples[j][i] += first;
            samples[j + 9][i] += second;
        } else {
            samples[j][i] = o[j] + first;
            samples[j + 9][i] = o[j + 9] + second;
        }
    }
    float overlap[18];
    for (int32_t j = 0; j < 4; ++j) {
        overlap[j] = x[8 - j] * W[18 + j];
        overlap[8 - j] = x[j] * W[26 - j];
        overlap[9 + j] = x[j] * W[27 + j];
        overlap[17 - j] = x[8 - j] * W[35 - j];
    }
    overlap[4] = x[4] * W[22];
    overlap[13] = x[4] * W[31];
    for (int32_t j = 0; j < 18; ++j) x[j] = overlap[j];
}

// The short-block outputs (three overlapping windows) and the new overlap of one subband whose
// Imdct6x3 is in x.
template <bool Accumulate>
void UnfoldShort(float* x, const float* o, float (*samples)[32], int32_t i, const float* S) {
    float y[18];
    for (int32_t n = 0; n < 18; ++n) y[n] = x[n];
    for (int32_t j = 0; j < 3; ++j) {
        if constexpr (Accumulate) {
            samples[j + 6][i] += S[j] * y[j + 3];
            samples[j + 9][i] += S[3 + j] * y[5 - j];
            samples[j + 12][i] += S[6 + j] * y[2 - j] + S[j] * y[j + 9];
            samples[j + 15][i] += S[9 + j] * y[j] + S[3 + j] * y[11 - j];
        } else {
            samples[j][i] = o[j];
            samples[j + 3][i] = o[j + 3];
            samples[j + 6][i] = o[j + 6] + S[j] * y[j + 3];
            samples[j + 9][i] = o[j + 9] + S[3 + j] * y[5 - j];
            samples[j + 12][i] = o[j + 12] + S[6 + j] * y[2 - j] + S[j] * y[j + 9];
            samples[j + 15][i] = o[j + 15] + S[9 + j] * y[j] + S[3 + j] * y[11 - j];
        }
    }
    for (int32_t j = 0; j < 3; ++j) {
        x[j] = S[6 + j] * y[8 - j] + S[j] * y[j + 15];
        x[j + 3] = S[9 + j] * y[j + 6] + S[3 + j] * y[17 - j];
        x[j + 6] = S[6 + j] * y[14 - j];
        x[j + 9] = S[9 + j] * y[j + 12];
        x[j + 12] = 0.0f;
        x[j + 15] = 0.0f;
    }
}

// Transforms the long and the short subbands of one channel. Alone, each output is the
// overlap of the previous granule plus the windowed transform, and the spectrum is left holding
// the new overlap; accumulating, the transform is added to the outputs and its overlap to
// `overlapOut`. Returns the subbands transformed.
template <bool Accumulate>
int32_t TransformSubbands(const DecoderConstants& c, float* spectrum, const float* overlap,
                          float* overlapOut, float (*samples)[32], int32_t blockType,
                          int32_t longLines, int32_t lines, int32_t normalSubbands) {
    const float* W = c.imdctWindows[blockType == 2 ? 0 : blockType];
    const float* S = c.imdctWindows[2];
    int32_t i = 0;
    for (const int32_t end = (longLines + 17) / 18; i < end; ++i) {
        float* x = spectrum + 18 * i;
        Imdct18(x);
        const float* window = i < normalSubbands ? c.imdctWindows[0] : W;
        UnfoldLong<Accumulate>(x, Accumulate ? nullptr : overlap + 18 * i, samples, i, window);
        if constexpr (Accumulate)
            for (int32_t t = 0; t < 18; ++t) overlapOut[18 * i + t] += x[t];
    }
    for (const int32_t end = (lines + 17) / 18; i < end; ++i) {
        float* x = spectrum + 18 * i;
        Imdct6x3(x);
        UnfoldShort<Accumulate>(x, Accumulate ? nullptr : overlap + 18 * i, samples, i, S);
        if constexpr (Accumulate)
            for (int32_t t = 0; t < 12; ++t) overlapOut[18 * i + t] += x[t];
    }
    return i;
}

}  // namespace

const VectorHybrid* SelectVectorHybrid(const Decoder& d) {
#if defined(__x86_64__)
    if (d.simdPath == SimdPath::kAvx2) return &kAvx2Hybrid;
    if (d.simdPath == SimdPath::kSse2) return &kSse2Hybrid;
#endif
    (void)d;
    return nullptr;
}

int32_t ImdctGranule(const Decoder& d, float* spectrum, const float* overlap, float (*samples)[32],
                     int32_t blockType, int32_t longLines, int32_t lines, int32_t previousLines,
                     int32_t normalSubbands) {
    if (const VectorHybrid* vector = d.layer3.vectorHybrid)
        return vector->granule(spectrum, overlap, samples, blockType, longLines, lines,
                               previousLines, d.layer3.lineLimit, normalSubbands);
    int32_t i = TransformSubbands<false>(*d.constants, spectrum, overlap, nullptr, samples,
                                         blockType, longLines, lines, normalSubbands);
    // The previous granule reached further: its overlap still has to be played out.
    for (const int32_t end = (previousLines + 17) / 18; i < end && i < 32; ++i)
        for (int32_t t = 0; t < 18; ++t) samples[t][i] = overlap[18 * i + t];
    const int32_t produced = 18 * i;
    for (const int32_t end = (d.layer3.lineLimit + 17) / 18; i < end; ++i)
        for (int32_t t = 0; t < 18; ++t) samples[t][i] = 0.0f;
    return produced;
}

int32_t ImdctAccumulate(const Decoder& d, float* spectrum, float* overlapOut, float (*samples)[32],
                        int32_t blockType, int32_t longLines, int32_t lines,
                        int32_t normalSubbands) {
    if (const VectorHybrid* vector = d.layer3.vectorHybrid)
        return vector->accumulate(spectrum, overlapOut, samples, blockType, longLines, lines,
                                  normalSubbands);
    return 18 * TransformSubbands<true>(*d.constants, spectrum, nullptr, overlapOut, samples,
                                        blockType, longLines, lines, normalSubbands);
}

}  // namespace mpeg
