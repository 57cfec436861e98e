// A big-endian bit cursor over a frame's bytes, built for 64-bit registers: the unconsumed
// bits sit at the top of one 64-bit cache, and a refill tops it up to 56..63 bits with a
// single eight-byte load and no loop or branch, so the hot loops can take a whole Huffman pair
// (code, linbits and signs, at most 47 bits) or several fields after one refill.
//
// The reader checks no bounds: a refill reads the eight bytes at its load cursor, which may
// lie up to seven bytes past the last bit it keeps, and callers make sure that those bytes are
// readable (the frame front end pads short inputs; the Layer III reservoir keeps zeroed room
// behind anything a frame can reach).
#pragma once

#include <cstdint>
#include <cstring>

namespace mpeg {

struct BitReader {
    // Unconsumed bits, the next one highest. Below the validCount loaded bits the cache holds
    // either zeros or the stream's following bits, so a refill may OR new bytes in.
    uint64_t cache = 0;
    const uint8_t* loadCursor = nullptr;  // the byte after the last one loaded
    const uint8_t* start = nullptr;       // where reading began
    int32_t validCount = 0;               // loaded, unconsumed bits, 0..63
    int32_t endPosition = 0;              // bit position past which reading is overrun
};

inline void bitsInit(BitReader& r, const uint8_t* p) {
    r.cache = 0;
    r.loadCursor = p;
    r.start = p;
    r.validCount = 0;
    r.endPosition = 0;
}

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) v = __builtin_bswap64(v);
    return v;
}

// Loads whole bytes until 56 or more bits are held. The eight bytes at the load cursor are
// fetched at once; those that do not fit whole are left for the next refill, which ORs in the
// same bits again.
inline void bitsRefill(BitReader& r) {
    r.cache |= LoadBigEndian64(r.loadCursor) >> r.validCount;
    r.loadCursor += (63 - r.validCount) >> 3;
    r.validCount |= 56;
}

// The next n (0..32) loaded bits, not consumed.
inline uint32_t bitsLook(const BitReader& r, int32_t n) {
    return uint32_t((r.cache >> (63 - n)) >> 1);
}

inline void bitsDrop(BitReader& r, int32_t n) {
    r.cache <<= n;
    r.validCount -= n;
}

// Takes n (0..32) bits that are known to be loaded.
inline uint32_t bitsTake(BitReader& r, int32_t n) {
    const uint32_t value = bitsLook(r, n);
    bitsDrop(r, n);
    return value;
}

inline void bitsEnsure(BitReader& r, int32_t n) {
    if (r.validCount < n) bitsRefill(r);
}

// n = 0..32.
inline uint32_t bitsGet(BitReader& r, int32_t n) {
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
    r.cache = 0;
    r.validCount = 0;
    bitsRefill(r);
    bitsDrop(r, n % 8);
}

// The next n (at most 11) bits, not consumed.
inline uint32_t bitsPeek(BitReader& r, int32_t n) {
    bitsEnsure(r, 11);
    return bitsLook(r, n);
}

inline int32_t bitsPosition(const BitReader& r) {
    return int32_t(r.loadCursor - r.start) * 8 - r.validCount;
}

// Reading is overrun once it has consumed bits past `position` (counted from where it began).
inline void bitsSetEnd(BitReader& r, int32_t position) {
    r.endPosition = position;
}

inline bool bitsPastEnd(const BitReader& r) {
    return bitsPosition(r) > r.endPosition;
}

}  // namespace mpeg
