// Layer III Huffman decoding of the big-value regions and the count1 region. The code tables
// are stored as multi-level look-up tables (huffman_tables.h). One refill of the bit reader
// holds a whole pair (code, linbits and signs), so the pair's walk down the levels reads no
// further bytes; count1 quadruples are decoded with their sign bits by one look-up.
#include <cstring>

#include "huffman_lookup.h"
#include "huffman_tables.h"
#include "layer3.h"

namespace mpeg {

namespace {

enum TableKind : int32_t { kZeroRegion = 0, kSingleLevel = 1, kMultiLevel = 2, kWithLinbits = 3 };

inline int32_t WidthOf(const uint32_t* header) {
    return int32_t(header[0] & 0xFF);
}
inline bool IsLink(uint32_t entry) {
    return (entry >> 24) == 0;
}
inline int32_t LeafLength(uint32_t entry) {
    return int32_t(entry >> 24);
}
// x and y of a leaf; negative only where the leaf's signs are resolved.
inline int32_t SignedX(uint32_t entry) {
    return int8_t(entry >> 8);
}
inline int32_t SignedY(uint32_t entry) {
    return int8_t(entry >> 16);
}

// A value with its sign bit, which follows only nonzero values. Branch-free: the sign is a
// take of one bit or of none.
inline float Signed(BitReader& r, int32_t value) {
    const int32_t present = value != 0;
    const int32_t negative = int32_t(r.cache >> 63) & present;
    bitsDrop(r, present);
    return float(value - 2 * negative * value);
}

// Walks the levels of a table to a leaf and drops its code. The longest code (19 bits) is
// within what the caller's refill loaded.
inline uint32_t FindLeaf(BitReader& r, const uint32_t* table) {
    const uint32_t* level = table;
    for (;;) {
        const int32_t w = WidthOf(level);
        const uint32_t entry = level[1 + bitsLook(r, w)];
        if (!IsLink(entry)) {
            bitsDrop(r, LeafLength(entry));
            return entry;
        }
        bitsDrop(r, w);
        level = table + (entry & 0xFFFFFF);
    }
}

}  // namespace

// Stores a pair whose signs the look-up resolved, or reads its sign bits.
inline void StorePair(BitReader& r, uint32_t entry, int32_t x, int32_t y, float* dest) {
    if (entry & kSignsResolved) {
        dest[0] = float(x);
        dest[1] = float(y);
    } else {
        dest[0] = Signed(r, x);
        dest[1] = Signed(r, y);
    }
}

void DecodeBigValues(Decoder& d, float* dest, int32_t lines, int32_t tableSelect) {
    if (lines <= 0) return;
    BitReader& r = d.bits;
    const HuffmanTableDescriptor& t = huffmanTables[tableSelect];
    const uint32_t* table = HuffmanLookupTables().bigValues[tableSelect];
    const int32_t pairs = lines / 2;
    switch (t.kind) {
        case kZeroRegion:
            std::memset(dest, 0, sizeof(float) * size_t(2 * pairs));
            return;
        case kSingleLevel: {
            const int32_t w = WidthOf(table);
            for (int32_t i = 0; i < pairs; ++i, dest += 2) {
                bitsRefill(r);
                const uint32_t entry = table[1 + bitsLook(r, w)];
                bitsDrop(r, LeafLength(entry));
                StorePair(r, entry, SignedX(entry), SignedY(entry), dest);
                if (bitsPastEnd(r)) return;
            }
            return;
        }
        case kMultiLevel:
            for (int32_t i = 0; i < pairs; ++i, dest += 2) {
                bitsRefill(r);
                const uint32_t entry = FindLeaf(r, table);
                StorePair(r, entry, SignedX(entry), SignedY(entry), dest);
                if (bitsPastEnd(r)) return;
            }
            return;
        default: {
            const int32_t linbits = t.linbits;
            for (int32_t i = 0; i < pairs; ++i, dest += 2) {
                bitsRefill(r);
                const uint32_t entry = FindLeaf(r, table);
                int32_t x = SignedX(entry);
                int32_t y = SignedY(entry);
                if ((entry & kSignsResolved) == 0) {
                    if (x == 15) x += int32_t(bitsTake(r, linbits));
                    dest[0] = Signed(r, x);
                    if (y == 15) y += int32_t(bitsTake(r, linbits));
                    dest[1] = Signed(r, y);
                } else {
                    dest[0] = float(x);
                    dest[1] = float(y);
                }
                if (bitsPastEnd(r)) return;
            }
            return;
        }
    }
}

int32_t DecodeCount1(Decoder& d, float* dest, int32_t linesAvailable, int32_t bitBudget,
                     int32_t count1TableSelect) {
    BitReader& r = d.bits;
    const Count1Quad* table = HuffmanLookupTables().count1[count1TableSelect];
    const int32_t quadruples = linesAvailable / 4;
    // Table A's shortest code is one bit, table B's always four.
    const int32_t minimumBits = count1TableSelect == 0 ? 1 : 4;
    int32_t n = bitBudget;
    int32_t decoded = 0;
    int32_t lastNonzero = -1;
    int32_t lastVwxy = 0;
    while (decoded < quadruples && n >= minimumBits) {
        bitsEnsure(r, kCount1IndexBits);
        const Count1Quad& quad = table[bitsLook(r, kCount1IndexBits)];
        bitsDrop(r, quad.bits);
        n -= quad.bits;
        float* q = dest + 4 * decoded;
        for (int32_t i = 0; i < 4; ++i) q[i] = float(quad.values[i]);
        if (quad.vwxy != 0) {
            lastNonzero = decoded;
            lastVwxy = quad.vwxy;
        }
        ++decoded;
        if (bitsPastEnd(r)) break;
    }
    // The last quadruple ran past part2_3_length: it was never part of the channel.
    if (n < 0 && decoded > 0) std::memset(dest + 4 * (decoded - 1), 0, sizeof(float) * 4);
    if (lastNonzero < 0) return 0;
    return 4 * lastNonzero + ((lastVwxy & 3) ? 4 : 2);
}

}  // namespace mpeg
