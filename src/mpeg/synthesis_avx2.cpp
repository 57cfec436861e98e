// The synthesis on AVX2's eight-lane vectors. This file alone is compiled for AVX2; its code
// runs only where the processor says it has AVX2.
#include <immintrin.h>

#include "synthesis_vector.h"

namespace mpeg {

namespace {

struct Avx2 {
    using V = __m256;
    static constexpr int32_t kWidth = 8;
    static V Zero() { return _mm256_setzero_ps(); }
    static V Load(const float* p) { return _mm256_loadu_ps(p); }
    static void Store(float* p, V v) { _mm256_storeu_ps(p, v); }
    static V Add(V a, V b) { return _mm256_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_ps(a, b); }
    static V Mul(V a, V b) { return _mm256_mul_ps(a, b); }
    static V Reverse(V v) {
        return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
};

}  // namespace

const VectorSynthesis kAvx2Synthesis = kVectorSynthesis<Avx2>;

}  // namespace mpeg
