// The Layer III hybrid filterbank on AVX2's eight-lane vectors. This file is compiled for AVX2,
// like the synthesis's; their code runs only where the processor says it has AVX2.
#include "layer3_imdct_lanes.h"

namespace mpeg {

const HybridFilterbank kAvx2Filterbank = {Granule<Avx2>, Accumulate<Avx2>};

}  // namespace mpeg
