// The Layer III vector stages on AVX2's eight-lane vectors. This file is compiled for AVX2, like
// the synthesis's; their code runs only where the processor says it has AVX2.
#include "layer3_imdct_vector.h"

namespace mpeg {

const VectorLayer3 kAvx2Layer3 = {Granule<Avx2>, Accumulate<Avx2>};

}  // namespace mpeg
