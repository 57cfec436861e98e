// The Layer III hybrid filterbank on SSE2's four-lane vectors, which every x86-64 processor
// has.
#include "layer3_imdct_vector.h"

namespace mpeg {

const VectorHybrid kSse2Hybrid = {Granule<FourLanes>, Accumulate<FourLanes>};

}  // namespace mpeg
