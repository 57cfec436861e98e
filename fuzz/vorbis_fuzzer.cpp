// libFuzzer entry: see fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zirvak::fuzz::PlayVorbis(data, size);
    return 0;
}

// libvorbisfile 1.3.7 itself loses 8 bytes when an open fails partway through a damaged stream
// (a program that calls nothing but ov_fopen shows it too): not a leak of ours. The library has
// no frame pointers, so the stack that names ov_open_callbacks needs the slow unwinder.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:ov_open_callbacks\n";
}
