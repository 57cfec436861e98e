// Look-up tables derived once from the Huffman code tables, shaped for the decoding loops:
// big-value tables whose leaves carry their sign bits where the look-up already saw them, and
// count1 tables that decode a quadruple and its signs in one step.
#pragma once

#include <cstdint>

namespace mpeg {

// Big-value entries keep the layout of huffman_tables.h, with one more kind of leaf: a leaf
// whose code is short enough that its sign bits fall within the same look-up has them
// resolved. Such a leaf has this flag in byte 0, x and y as signed bytes, and counts the sign
// bits in its length (byte 3). Values of 15 in a table with linbits are never resolved: their
// linbits come before the sign.
inline constexpr uint32_t kSignsResolved = 0x80;

// A count1 quadruple decoded together with its sign bits, indexed by the next ten bits (the
// longest code, six bits, and four signs).
struct Count1Quad {
    int8_t values[4];  // v, w, x, y: -1, 0 or 1
    uint8_t bits;      // code and sign bits taken
    uint8_t vwxy;      // which values are nonzero, v highest
};

inline constexpr int32_t kCount1IndexBits = 10;

// Words of the distinct big-value tables (1, 2, 3, 5..13, 15, 16 and 24) together.
inline constexpr int32_t kBigValueWords = 4299;

struct HuffmanLookup {
    const uint32_t* bigValues[34];                // by table_select; null without codes
    Count1Quad count1[2][1 << kCount1IndexBits];  // by count1table_select
    uint32_t words[kBigValueWords];               // storage of bigValues
};

// Built on first use (thread-safe) and constant afterwards.
const HuffmanLookup& HuffmanLookupTables();

}  // namespace mpeg
