// A reader of a frame's fields bit by bit that never reads past its bytes, for checks of whole
// frames off the decoding path. Private to src/mpeg.
#pragma once

#include <cstdint>

#include "mpeg_decoder.h"

namespace mpeg {

// Reads bits from [bytes, bytes + length) and says when a read would pass the end.
class FieldReader {
public:
    FieldReader(const uint8_t* bytes, int32_t length) : bytes_(bytes), bits_(int64_t(length) * 8) {}

    uint32_t Take(int32_t n) {
        uint32_t v = 0;
        for (int32_t i = 0; i < n; ++i, ++at_) {
            if (at_ >= bits_) {
                overrun_ = true;
                return 0;
            }
            v = v << 1 | uint32_t(bytes_[at_ >> 3] >> (7 - (at_ & 7)) & 1);
        }
        return v;
    }
    bool overrun() const { return overrun_; }

private:
    const uint8_t* bytes_;
    int64_t bits_;
    int64_t at_ = 0;
    bool overrun_ = false;
};

// Layer II's fields by its allocation tables (layer2.cpp): an allowed table for the bit rate,
// and no scale factor past the table.
FrameFields ReadLayer2Fields(FieldReader& r, const FrameHeader& header);

}  // namespace mpeg
