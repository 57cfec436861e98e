// The Layer III vector stages on SSE2's four-lane vectors, which every x86-64 processor has.
#include "layer3_imdct_vector.h"

namespace mpeg {

const VectorLayer3 kSse2Layer3 = {Granule<FourLanes>, Accumulate<FourLanes>};

}  // namespace mpeg
