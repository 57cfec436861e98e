// The long-block IMDCT on AVX2's eight-lane vectors. This file is compiled for AVX2, like the
// synthesis's; their code runs only where the processor says it has AVX2.
#include "layer3_imdct_vector.h"

namespace mpeg {

const VectorImdct kAvx2Imdct = kVectorImdct<Avx2>;

}  // namespace mpeg
