// Frames built field by field for the decoder's tests, and the decoder's front end driven one
// frame at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder.h"
#include "mpeg_decoder.h"

namespace mpeg {

using Bytes = std::vector<uint8_t>;

// Builds a frame field by field, most significant bit first, as the decoder reads them.
class FrameWriter {
public:
    explicit FrameWriter(const Bytes& header) {
        for (uint8_t b : header) Put(b, 8);
    }
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i, ++count_) {
            if (count_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (count_ % 8));
        }
    }
    int BitCount() const { return count_; }
    Bytes Finish(size_t length) const {  // zero-filled or cut to `length` bytes
        Bytes frame = bytes_;
        frame.resize(length, 0);
        return frame;
    }

private:
    Bytes bytes_;
    int count_ = 0;
};

// A frame of `size` bytes: the header, then zeros.
inline Bytes Frame(const Bytes& header, size_t size = 1500) {
    return FrameWriter(header).Finish(size);
}

inline DecoderPtr NewDecoder(const DecoderOptions& options = {}) {
    DecoderPtr d = CreateDecoder();
    InitDecoderTables(*d);
    SetDecoderOptions(*d, options);
    return d;
}

inline int32_t Decode(Decoder& d, const uint8_t* in, int32_t inLength, Bytes& out, FrameJob& job) {
    job.input = in;
    job.inputLength = inLength;
    job.output = out.data();
    job.outputLength = int32_t(out.size());
    return DecodeFrame(d, job);
}

}  // namespace mpeg
