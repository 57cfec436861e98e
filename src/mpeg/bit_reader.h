// A big-endian bit cursor over a frame's bytes, built for 32-bit registers: bytes are loaded
// whole and in batches (a refill stops once more than 24 bits are held), so the hot loops can
// take several fields after one refill check.
//
// The reader checks no bounds: a refill may load up to four bytes past the last bit used (and
// fetch three more that it does not keep), and callers make sure that those bytes are
// readable (the frame front end pads short inputs; the Layer III reservoir keeps zeroed room
// behind anything a frame can reach).
#pragma once

#include <cstdint>

namespace mpeg {

struct BitReader {
    const uint8_t* loadCursor = nullptr;  // next byte to load into the accumulator
    const uint8_t* start = nullptr;       // where reading began
    uint32_t accumulator = 0;             // loaded, unconsumed bits, right-aligned
    const uint8_t* limit = nullptr;       // overrun limit, used only by bitsPastEnd
    int32_t validCount = 0;               // valid bits in the accumulator, 0..32
};

inline uint32_t LowBitMask(int32_t count) {
    return uint32_t((uint64_t{1} << count) - 1);
}

inline void bitsInit(BitReader& r, const uint8_t* p) {
    r.loadCursor = p;
    r.start = p;
    r.accumulator = 0;
    r.validCount = 0;
}

// Loads whole bytes until more than 24 bits are held. The bytes are fetched with one 32-bit
// read, of which only the needed ones are taken: the state afterwards is exactly that of
// loading them one by one. The read may touch up to three bytes beyond the last one loaded,
// within the read-ahead room every caller provides.
inline void bitsRefill(BitReader& r) {
    if (r.validCount > 24) return;
    const int32_t bytes = (32 - r.validCount) >> 3;
    const uint32_t next = (uint32_t{r.loadCursor[0]} << 24) | (uint32_t{r.loadCursor[1]} << 16) |
                          (uint32_t{r.loadCursor[2]} << 8) | r.loadCursor[3];
    const uint64_t merged = (uint64_t{r.accumulator} << (8 * bytes)) | (next >> (32 - 8 * bytes));
    r.accumulator = uint32_t(merged);
    r.loadCursor += bytes;
    r.validCount += 8 * bytes;
}

// Takes n bits that are known to be loaded.
inline uint32_t bitsTake(BitReader& r, int32_t n) {
    r.validCount -= n;
    const uint32_t value = r.accumulator >> r.validCount;
    r.accumulator &= LowBitMask(r.validCount);
    return value;
}

inline uint32_t bitsTake1(BitReader& r) {
    return bitsTake(r, 1);
}

inline uint32_t bitsLook(const BitReader& r, int32_t n) {
    return r.accumulator >> (r.validCount - n);
}

inline void bitsDrop(BitReader& r, int32_t n) {
    r.validCount -= n;
    r.accumulator &= LowBitMask(r.validCount);
}

inline void bitsEnsure(BitReader& r, int32_t n) {
    if (r.validCount < n) bitsRefill(r);
}

// n = 0..25.
inline uint32_t bitsGet(BitReader& r, int32_t n) {
    if (n == 0) return 0;
    bitsEnsure(r, n);
    return bitsTake(r, n);
}

// Skips n bits without reading the whole bytes it passes over.
inline void bitsSkip(BitReader& r, int32_t n) {
    if (r.validCount >= n) {
        bitsDrop(r, n);
        return;
    }
    n -= r.validCount;
    r.loadCursor += n / 8;
    r.accumulator = *r.loadCursor++;
    r.validCount = 8;
    bitsDrop(r, n % 8);
}

// Takes n bits with two more loaded behind them (a linbits field and its sign).
inline uint32_t bitsGetAhead2(BitReader& r, int32_t n) {
    bitsEnsure(r, n + 2);
    return bitsTake(r, n);
}

// The next n (at most 11) bits, not consumed.
inline uint32_t bitsPeek(BitReader& r, int32_t n) {
    if (r.validCount < 11) bitsRefill(r);
    return bitsLook(r, n);
}

inline void bitsSetEnd(BitReader& r, const uint8_t* p) {
    r.limit = p;
}

inline bool bitsPastEnd(const BitReader& r) {
    return r.limit < r.loadCursor;
}

inline int32_t bitsPosition(const BitReader& r) {
    return int32_t(r.loadCursor - r.start) * 8 - r.validCount;
}

}  // namespace mpeg
