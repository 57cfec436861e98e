// The long-block IMDCT on SSE2's four-lane vectors, which every x86-64 processor has.
#include "layer3_imdct_vector.h"

namespace mpeg {

const VectorImdct kSse2Imdct = kVectorImdct<FourLanes>;

}  // namespace mpeg
