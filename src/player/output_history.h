// What was last handed to a sound output, kept so that what the output lost unplayed (its server
// went away with it) can be handed again to the output that comes next, even when the buffers it
// came from have long been refilled. A ring of bytes as they went out, silence included, so a
// stretch of the stream is told by its length alone. Allocated once; Keep, HandAgain and CopyOut
// never allocate and may run on the output's own thread.
#pragma once

#include <cstdint>
#include <vector>

namespace zirvak {

class OutputHistory {
public:
    // Keeps the last `capacityBytes` handed out (a whole number of frames).
    explicit OutputHistory(uint32_t capacityBytes) : ring_(capacityBytes) {}

    // `bytes` were handed to the output after everything kept so far.
    void Keep(const uint8_t* bytes, uint32_t length);
    // The last `length` bytes handed out (as many as are kept) are to be handed again, in
    // order, before anything new. Twice in a row, the second counts back from where the first
    // has got to.
    void HandAgain(uint64_t length);
    // Copies up to `length` of the bytes to be handed again into `out`; the bytes copied.
    uint32_t CopyOut(uint8_t* out, uint32_t length);
    // The bytes still to be handed again.
    uint64_t pending() const { return kept_ - handed_; }
    // Forgets everything: what went out before is no longer the stream's (a seek, a new format).
    void Clear() { kept_ = handed_ = 0; }

private:
    std::vector<uint8_t> ring_;
    uint64_t kept_ = 0;    // bytes kept since the start or the last Clear
    uint64_t handed_ = 0;  // of those, how far the output has been given them
};

}  // namespace zirvak
