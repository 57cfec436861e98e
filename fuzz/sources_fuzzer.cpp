// libFuzzer entry: see fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zirvak::fuzz::PlaySourceOf(data, size);
    return 0;
}

// The libraries themselves lose memory on some damaged streams (a program that calls nothing
// but their own open shows it too): not leaks of ours. libvorbisfile 1.3.7 loses 8 bytes when
// an open fails partway through a damaged stream; opusfile 0.12 loses the comments it parsed
// when a comment header turns out damaged. The libraries have no frame pointers, so the stacks
// that name them need the slow unwinder.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:ov_open_callbacks\nleak:opus_tags_parse\n";
}
