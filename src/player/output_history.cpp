#include "output_history.h"

#include <algorithm>
#include <cstring>

namespace zirvak {

void OutputHistory::Keep(const uint8_t* bytes, uint32_t length) {
    const uint64_t size = ring_.size();
    if (size == 0) return;
    // Only the last ring's worth of a long stretch can be kept.
    if (length > size) {
        bytes += length - size;
        kept_ += length - size;
        length = uint32_t(size);
    }
    while (length > 0) {
        const uint64_t at = kept_ % size;
        const uint32_t piece = uint32_t(std::min<uint64_t>(length, size - at));
        std::memcpy(ring_.data() + at, bytes, piece);
        bytes += piece;
        length -= piece;
        kept_ += piece;
    }
    handed_ = kept_;
}

void OutputHistory::HandAgain(uint64_t length) {
    const uint64_t oldest = kept_ - std::min<uint64_t>(kept_, ring_.size());
    handed_ = handed_ - std::min(length, handed_ - oldest);
}

uint32_t OutputHistory::CopyOut(uint8_t* out, uint32_t length) {
    const uint64_t size = ring_.size();
    uint32_t copied = 0;
    while (copied < length && handed_ < kept_) {
        const uint64_t at = handed_ % size;
        const uint32_t piece =
            uint32_t(std::min({uint64_t(length - copied), kept_ - handed_, size - at}));
        std::memcpy(out + copied, ring_.data() + at, piece);
        copied += piece;
        handed_ += piece;
    }
    return copied;
}

}  // namespace zirvak
