// Which vector instructions the decoder runs on: what the processor offers, what the
// environment asks for, and each decoder's own choice.
#include <cstdlib>
#include <cstring>

#include "decoder.h"

namespace mpeg {

namespace {

constexpr const char* kNames[] = {"generic", "sse2", "avx2"};

bool ProcessorRuns(SimdPath path) {
#if defined(__x86_64__) && defined(__GNUC__)
    switch (path) {
        case SimdPath::kGeneric:
        case SimdPath::kSse2:
            return true;
        case SimdPath::kAvx2:
            return __builtin_cpu_supports("avx2");
    }
    return false;
#else
    return path == SimdPath::kGeneric;
#endif
}

SimdPath Best() {
    for (SimdPath path : {SimdPath::kAvx2, SimdPath::kSse2})
        if (ProcessorRuns(path)) return path;
    return SimdPath::kGeneric;
}

SimdPath Chosen() {
    const char* wanted = std::getenv("ZIRVAK_DECODER_PATH");
    if (wanted != nullptr) {
        for (int32_t i = 0; i < 3; ++i)
            if (std::strcmp(wanted, kNames[i]) == 0 && ProcessorRuns(SimdPath(i)))
                return SimdPath(i);
    }
    return Best();
}

}  // namespace

bool SimdPathAvailable(SimdPath path) {
    return int32_t(path) >= 0 && int32_t(path) < 3 && ProcessorRuns(path);
}

SimdPath DefaultSimdPath() {
    static const SimdPath path = Chosen();
    return path;
}

const char* SimdPathName(SimdPath path) {
    return int32_t(path) >= 0 && int32_t(path) < 3 ? kNames[int32_t(path)] : "unknown";
}

int32_t SetSimdPath(Decoder& d, SimdPath path) {
    if (!SimdPathAvailable(path)) {
        d.lastError = kErrorUnsupported;
        return 0;
    }
    d.simdPath = path;
    return 1;
}

SimdPath GetSimdPath(const Decoder& d) {
    return d.simdPath;
}

}  // namespace mpeg
