// Layer III Huffman code tables, stored for look-up decoding.
//
// The codes are those of ISO/IEC 11172-3 Annex B, Table B.7: big-value tables 1 to 31 and the
// count1 tables A and B. They are listed in reviewable form in tools/huffman/huffman_codes.txt;
// huffman_tables.cpp is generated from that listing by tools/huffman/make_huffman_tables.py.
#pragma once

#include <cstdint>

namespace mpeg {

// One big-value table as the decoder sees it, indexed by table_select.
//
// `table` points at a sequence of 32-bit words (bytes 0..3 from least significant):
//   header: byte 0 = look-up width w in bits (1..9), bytes 1 and 2 = 0, byte 3 = 255; it is
//           followed by 2^w entries indexed by the next w bits of the stream, first bit highest.
//   leaf:   byte 0 = how many of x and y are nonzero (0..2), byte 1 = x, byte 2 = y (0..15),
//           byte 3 = code length L >= 1 counted from the first bit of this level. A code
//           shorter than w fills 2^(w - L) consecutive entries.
//   link:   byte 3 = 0, bytes 0..2 = offset in words from the table's top header to the header
//           of the sub-table that decodes the rest of the code after these w bits.
//
// kind 0: no table (table_select 0, and 4 and 14, which the standard leaves undefined); the
//         region is all zeros and no bits are read.
// kind 1: single level, every code decoded by one look-up (tables 1, 2, 3, 5, 6; widths 3, 6,
//         6, 8, 7).
// kind 2: multi-level without linbits (tables 7..13 and 15; first widths 6, 8, 6, 8, 8, 7, 6
//         and 8, sub-tables 1 to 6 bits).
// kind 3: multi-level with linbits: table_select 16..23 share the 16x16 table 16 (first width
//         8) with linbits 1, 2, 3, 4, 6, 8, 10, 13; 24..31 share table 24 (first width 9) with
//         linbits 4, 5, 6, 7, 8, 9, 11, 13. A value of 15 is followed by linbits more bits.
//
// Pair ranges: table 1 is 2x2; 2 and 3 are 3x3; 5 and 6 are 4x4; 7, 8 and 9 are 6x6; 10, 11
// and 12 are 8x8; 13, 15, 16 and 24 are 16x16. Every level is at most 9 bits wide, so one
// refill to 11 bits covers a look-up and, at a leaf, the code's two sign bits.
struct HuffmanTableDescriptor {
    const uint32_t* table;  // null for kind 0
    int32_t linbits;
    int32_t kind;
};

// Indexed by table_select 0..31; entries 32 and 33 stand for the count1 tables and are empty
// (kind 0): those are decoded through count1TableA and the complement rule below.
extern const HuffmanTableDescriptor huffmanTables[34];

// Count1 table A (count1table_select 0), indexed by the next 6 bits of the stream:
// {code length 1..6, value} with v, w, x, y in bits 3, 2, 1, 0 of value. Table B (select 1)
// is not stored: its 4-bit code is the complement of vwxy.
extern const uint8_t count1TableA[64][2];

}  // namespace mpeg
