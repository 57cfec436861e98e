// Layer III Huffman decoding of the big-value regions and the count1 region. The code tables
// are stored as multi-level look-up tables (huffman_tables.h): one refill check per level,
// then the code word and its sign bits are taken from the loaded bits.
#include <cstring>

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
inline int32_t LeafX(uint32_t entry) {
    return int32_t((entry >> 8) & 0xFF);
}
inline int32_t LeafY(uint32_t entry) {
    return int32_t((entry >> 16) & 0xFF);
}

// A value with its sign bit, which follows only nonzero values. Branch-free: the sign is a
// take of one bit or of none.
inline float Signed(BitReader& r, int32_t value) {
    const int32_t present = value != 0;
    r.validCount -= present;
    const int32_t negative = int32_t(r.accumulator >> r.validCount) & present;
    r.accumulator &= LowBitMask(r.validCount);
    return float(value - 2 * negative * value);
}

// Walks the levels of a table to a leaf and drops its code. `Peek` refills at every level
// itself (for tables whose linbits need fresh bits after the code).
template <bool Peek>
uint32_t FindLeaf(BitReader& r, const uint32_t* table) {
    const uint32_t* level = table;
    for (;;) {
        const int32_t w = WidthOf(level);
        uint32_t entry;
        if constexpr (Peek) {
            entry = level[1 + bitsPeek(r, w)];
        } else {
            bitsEnsure(r, 11);
            entry = level[1 + bitsLook(r, w)];
        }
        if (!IsLink(entry)) {
            bitsDrop(r, LeafLength(entry));
            return entry;
        }
        bitsDrop(r, w);
        level = table + (entry & 0xFFFFFF);
    }
}

}  // namespace

void DecodeBigValues(Decoder& d, float* dest, int32_t lines, int32_t tableSelect) {
    if (lines <= 0) return;
    BitReader& r = d.bits;
    const HuffmanTableDescriptor& t = huffmanTables[tableSelect];
    const int32_t pairs = lines / 2;
    switch (t.kind) {
        case kZeroRegion:
            std::memset(dest, 0, sizeof(float) * size_t(2 * pairs));
            return;
        case kSingleLevel: {
            const int32_t w = WidthOf(t.table);
            for (int32_t i = 0; i < pairs; ++i, dest += 2) {
                bitsEnsure(r, 11);
                const uint32_t entry = t.table[1 + bitsLook(r, w)];
                bitsDrop(r, LeafLength(entry));
                dest[0] = Signed(r, LeafX(entry));
                dest[1] = Signed(r, LeafY(entry));
                if (bitsPastEnd(r)) return;
            }
            return;
        }
        case kMultiLevel:
            for (int32_t i = 0; i < pairs; ++i, dest += 2) {
                const uint32_t entry = FindLeaf<false>(r, t.table);
                dest[0] = Signed(r, LeafX(entry));
                dest[1] = Signed(r, LeafY(entry));
                if (bitsPastEnd(r)) return;
            }
            return;
        default: {
            const int32_t linbits = t.linbits;
            for (int32_t i = 0; i < pairs; ++i, dest += 2) {
                const uint32_t entry = FindLeaf<true>(r, t.table);
                int32_t x = LeafX(entry);
                if (x == 15) x += int32_t(bitsGetAhead2(r, linbits));
                dest[0] = Signed(r, x);
                int32_t y = LeafY(entry);
                if (y == 15) y += int32_t(bitsGetAhead2(r, linbits));
                dest[1] = Signed(r, y);
                if (bitsPastEnd(r)) return;
            }
            return;
        }
    }
}

int32_t DecodeCount1(Decoder& d, float* dest, int32_t linesAvailable, int32_t bitBudget,
                     int32_t count1TableSelect) {
    BitReader& r = d.bits;
    const int32_t quadruples = linesAvailable / 4;
    int32_t n = bitBudget;
    int32_t decoded = 0;
    int32_t lastNonzero = -1;
    int32_t lastVwxy = 0;
    while (decoded < quadruples && (count1TableSelect == 0 ? n > 0 : n >= 4)) {
        int32_t vwxy;
        if (count1TableSelect == 0) {
            bitsEnsure(r, 10);
            const uint8_t* entry = count1TableA[bitsLook(r, 6)];
            bitsDrop(r, entry[0]);
            n -= entry[0];
            vwxy = entry[1];
        } else {
            bitsEnsure(r, 8);
            vwxy = 15 - int32_t(bitsTake(r, 4));
            n -= 4;
        }
        float* q = dest + 4 * decoded;
        for (int32_t i = 0; i < 4; ++i) {
            if ((vwxy >> (3 - i)) & 1) {
                q[i] = bitsTake1(r) ? -1.0f : 1.0f;
                n -= 1;
            } else {
                q[i] = 0.0f;
            }
        }
        if (vwxy != 0) {
            lastNonzero = decoded;
            lastVwxy = vwxy;
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
