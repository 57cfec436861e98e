// The synthesis on AVX2's eight-lane vectors. This file is compiled for AVX2, like the
// IMDCT's; their code runs only where the processor says it has AVX2.
#include "synthesis_lanes.h"

namespace mpeg {

const VectorSynthesis kAvx2Synthesis = kVectorSynthesis<Avx2>;

}  // namespace mpeg
