// The synthesis on SSE2's four-lane vectors, which every x86-64 processor has.
#include <emmintrin.h>

#include "synthesis_vector.h"

namespace mpeg {

namespace {

struct Sse2 {
    using V = __m128;
    static constexpr int32_t kWidth = 4;
    static V Zero() { return _mm_setzero_ps(); }
    static V Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
    static V Add(V a, V b) { return _mm_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm_sub_ps(a, b); }
    static V Mul(V a, V b) { return _mm_mul_ps(a, b); }
    static V Reverse(V v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
};

}  // namespace

const VectorSynthesis kSse2Synthesis = kVectorSynthesis<Sse2>;

}  // namespace mpeg
