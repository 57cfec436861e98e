// The Layer III hybrid filterbank on SSE2's four-lane vectors, which every x86-64 processor
// has.
#include "layer3_imdct_lanes.h"

namespace mpeg {

const HybridFilterbank kSse2Filterbank = {Granule<FourLanes>, Accumulate<FourLanes>};

}  // namespace mpeg
