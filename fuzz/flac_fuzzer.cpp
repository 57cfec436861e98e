// libFuzzer entry: see fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zirvak::fuzz::PlayFlac(data, size);
    return 0;
}
