// A frame's bytes as the decoder's parser wants them: mpeg::kFrameInfoMinBytes at least,
// whatever the frame's length, so a short tail (the last frame of a file) is offered as a
// zero-padded copy rather than read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "mpeg_decoder.h"

namespace zirvak {

// The frame parser wants this many bytes whatever the frame's length.
inline constexpr size_t kParseBytes = size_t(mpeg::kFrameInfoMinBytes);

// A byte count as the decoder takes it.
inline int32_t ClampToInt(size_t n) {
    return n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

class MpegParseView {
public:
    explicit MpegParseView(std::span<const uint8_t> bytes)
        : data_(bytes.data()), size_(ClampToInt(bytes.size())) {
        if (bytes.size() < kParseBytes) {
            std::memset(padded_, 0, kParseBytes);
            std::memcpy(padded_, bytes.data(), bytes.size());
            data_ = padded_;
            size_ = int32_t(kParseBytes);
        }
    }
    const uint8_t* data() const { return data_; }
    int32_t size() const { return size_; }

private:
    const uint8_t* data_;
    int32_t size_;
    uint8_t padded_[kParseBytes];
};

}  // namespace zirvak
