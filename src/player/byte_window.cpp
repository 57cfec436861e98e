#include "byte_window.h"

#include <algorithm>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define ZIRVAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZIRVAK_ASAN 1
#endif
#endif
#ifdef ZIRVAK_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace zirvak {

ByteWindow::ByteWindow(ByteSource& source, uint64_t end)
    : source_(source), end_(std::min(end, source.size())), buffer_(new uint8_t[kCapacity]) {}

ByteWindow::~ByteWindow() {
#ifdef ZIRVAK_ASAN
    ASAN_UNPOISON_MEMORY_REGION(buffer_.get(), kCapacity);
#endif
}

std::span<const uint8_t> ByteWindow::At(uint64_t offset, size_t want) {
    if (offset >= end_) return {};
    want = size_t(std::min<uint64_t>(std::min(want, kCapacity / 2), end_ - offset));
    const bool inside = offset >= base_ && offset <= base_ + valid_;
    if (!inside || offset + want > base_ + valid_) {
        // Keep what is already here from `offset` on, then read on to fill the buffer.
#ifdef ZIRVAK_ASAN
        ASAN_UNPOISON_MEMORY_REGION(buffer_.get(), kCapacity);
#endif
        size_t kept = 0;
        if (inside) {
            kept = size_t(base_ + valid_ - offset);
            std::memmove(buffer_.get(), buffer_.get() + (offset - base_), kept);
        }
        base_ = offset;
        valid_ = kept;
        const size_t ask = size_t(std::min<uint64_t>(kCapacity - kept, end_ - (offset + kept)));
        const size_t got = source_.ReadAt(offset + kept, buffer_.get() + kept, ask);
        valid_ += got;
        if (got < ask) {
            end_ = base_ + valid_;
            cameShort_ = true;
        }
#ifdef ZIRVAK_ASAN
        // The buffer past the bytes read is not input: a read there is caught as out of bounds.
        ASAN_POISON_MEMORY_REGION(buffer_.get() + valid_, kCapacity - valid_);
#endif
    }
    return {buffer_.get() + (offset - base_), size_t(base_ + valid_ - offset)};
}

}  // namespace zirvak
