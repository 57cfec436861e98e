// The synthesis on SSE2's four-lane vectors, which every x86-64 processor has.
#include "synthesis_lanes.h"

namespace mpeg {

const VectorSynthesis kSse2Synthesis = kVectorSynthesis<FourLanes>;

}  // namespace mpeg
