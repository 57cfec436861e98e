#include "byte_window.h"

#include <algorithm>
#include <cstring>

namespace zirvak {

ByteWindow::ByteWindow(ByteSource& source, uint64_t end)
    : source_(source), end_(std::min(end, source.size())), buffer_(new uint8_t[kCapacity]) {}

std::span<const uint8_t> ByteWindow::At(uint64_t offset, size_t want) {
    if (offset >= end_) return {};
    want = size_t(std::min<uint64_t>(std::min(want, kCapacity / 2), end_ - offset));
    const bool inside = offset >= base_ && offset <= base_ + valid_;
    if (!inside || offset + want > base_ + valid_) {
        // Keep what is already here from `offset` on, then read on to fill the buffer.
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
    }
    return {buffer_.get() + (offset - base_), size_t(base_ + valid_ - offset)};
}

}  // namespace zirvak
