#include "huffman_lookup.h"

#include <algorithm>

#include "huffman_tables.h"

namespace mpeg {

namespace {

// Words a table occupies: its top level and every level its links reach.
int32_t TableWords(const uint32_t* table, int32_t level) {
    const int32_t width = int32_t(table[level] & 0xFF);
    int32_t end = level + 1 + (1 << width);
    for (int32_t i = 0; i < (1 << width); ++i) {
        const uint32_t entry = table[level + 1 + i];
        if ((entry >> 24) == 0) end = std::max(end, TableWords(table, int32_t(entry & 0xFFFFFF)));
    }
    return end;
}

// Resolves the signs of every leaf of one level whose sign bits lie within its look-up index.
void ResolveLevel(uint32_t* words, int32_t level, bool linbits) {
    const int32_t width = int32_t(words[level] & 0xFF);
    for (int32_t i = 0; i < (1 << width); ++i) {
        uint32_t& entry = words[level + 1 + i];
        const int32_t length = int32_t(entry >> 24);
        if (length == 0) {
            ResolveLevel(words, int32_t(entry & 0xFFFFFF), linbits);
            continue;
        }
        int32_t x = int32_t((entry >> 8) & 0xFF);
        int32_t y = int32_t((entry >> 16) & 0xFF);
        if (linbits && (x == 15 || y == 15)) continue;
        const int32_t signs = (x != 0) + (y != 0);
        if (length + signs > width) continue;
        int32_t next = width - length;  // index bits after the code
        if (x != 0 && ((i >> --next) & 1)) x = -x;
        if (y != 0 && ((i >> --next) & 1)) y = -y;
        entry = (uint32_t(length + signs) << 24) | (uint32_t(uint8_t(int8_t(y))) << 16) |
                (uint32_t(uint8_t(int8_t(x))) << 8) | kSignsResolved | uint32_t(signs);
    }
}

void BuildBigValues(HuffmanLookup& t) {
    int32_t used = 0;
    for (int32_t select = 0; select < 34; ++select) {
        const HuffmanTableDescriptor& d = huffmanTables[select];
        t.bigValues[select] = nullptr;
        if (d.table == nullptr) continue;
        // Tables 17..23 and 25..31 share the words of 16 and 24.
        if (select > 0 && huffmanTables[select - 1].table == d.table) {
            t.bigValues[select] = t.bigValues[select - 1];
            continue;
        }
        const int32_t words = TableWords(d.table, 0);
        uint32_t* copy = t.words + used;
        if (used + words > kBigValueWords) {
            t.bigValues[select] = d.table;  // no room: decoded without resolved signs
            continue;
        }
        std::copy(d.table, d.table + words, copy);
        ResolveLevel(copy, 0, d.linbits > 0);
        t.bigValues[select] = copy;
        used += words;
    }
}

void BuildCount1(HuffmanLookup& t) {
    for (int32_t select = 0; select < 2; ++select) {
        for (uint32_t index = 0; index < (1u << kCount1IndexBits); ++index) {
            // Table B's code is the complement of vwxy; table A is looked up by six bits.
            int32_t codeBits = 4;
            int32_t vwxy = 15 - int32_t(index >> (kCount1IndexBits - 4));
            if (select == 0) {
                const uint8_t* entry = count1TableA[index >> (kCount1IndexBits - 6)];
                codeBits = entry[0];
                vwxy = entry[1];
            }
            Count1Quad& q = t.count1[select][index];
            int32_t taken = codeBits;
            for (int32_t i = 0; i < 4; ++i) {
                q.values[i] = 0;
                if (((vwxy >> (3 - i)) & 1) == 0) continue;
                const uint32_t sign = (index >> (kCount1IndexBits - 1 - taken)) & 1;
                q.values[i] = int8_t(sign ? -1 : 1);
                ++taken;
            }
            q.bits = uint8_t(taken);
            q.vwxy = uint8_t(vwxy);
        }
    }
}

}  // namespace

const HuffmanLookup& HuffmanLookupTables() {
    static const HuffmanLookup tables = [] {
        HuffmanLookup t{};
        BuildBigValues(t);
        BuildCount1(t);
        return t;
    }();
    return tables;
}

}  // namespace mpeg
