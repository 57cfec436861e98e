// Builds MPEG audio frames field by field, for tests that need exact control over a frame.
#pragma once

#include <cstdint>
#include <vector>

namespace zirvak::test {

// Appends fields most significant bit first, as the decoder reads them.
class FrameWriter {
public:
    // Starts a frame with its four header bytes.
    explicit FrameWriter(const std::vector<uint8_t>& header) {
        for (uint8_t b : header) Put(b, 8);
    }

    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (bitCount_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (bitCount_ % 8));
            ++bitCount_;
        }
    }

    int BitCount() const { return bitCount_; }

    // The frame, zero-filled (or cut) to exactly `length` bytes.
    std::vector<uint8_t> Finish(int length) const {
        std::vector<uint8_t> frame = bytes_;
        frame.resize(size_t(length), 0);
        return frame;
    }

private:
    std::vector<uint8_t> bytes_;
    int bitCount_ = 0;
};

}  // namespace zirvak::test
