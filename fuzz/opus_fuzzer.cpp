// libFuzzer entry: see fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zirvak::fuzz::PlayOpus(data, size);
    return 0;
}

// opusfile 0.12 itself loses the comments it parsed when a comment header turns out damaged (a
// program that calls nothing but op_open_file shows it too): not a leak of ours. The library
// has no frame pointers, so the stack that names opus_tags_parse needs the slow unwinder.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:opus_tags_parse\n";
}
