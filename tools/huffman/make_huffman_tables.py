#!/usr/bin/env python3
"""Writes src/mpeg/huffman_tables.cpp, the Layer III Huffman look-up tables, from the code
listing in tools/huffman/huffman_codes.txt.

Run from anywhere: python3 tools/huffman/make_huffman_tables.py [--codes FILE] [--output FILE]
(both default to their places in the repository).

Each big-value table becomes an array of 32-bit words that the decoder walks with one look-up
per level: a header word gives the width w of the level, and the next w stream bits index one
of its 2^w entries, which is either a leaf (the pair and its code length) or a link to a
sub-table that decodes the rest of a longer code. Word layouts:

    header  w       | 0      | 0      | 255
    leaf    nonzero | x      | y      | code length counted from this level (>= 1)
    link    offset (24 bits, words from the table's top header)       | 0

Count1 table A becomes 64 {code length, vwxy} pairs indexed by six bits; table B is the
complement of vwxy and needs no storage.
"""

import argparse
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
COMMAND = "python3 tools/huffman/make_huffman_tables.py"

BIG_VALUE_TABLES = (1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 24)
TABLE_SIZE = {1: 2, 2: 3, 3: 3, 5: 4, 6: 4, 7: 6, 8: 6, 9: 6, 10: 8, 11: 8, 12: 8,
              13: 16, 15: 16, 16: 16, 24: 16}
# Width of the first look-up of each table. The five small tables are read in one look-up;
# the others keep their first level small enough to stay in cache and use sub-tables for the
# rare long codes.
FIRST_WIDTH = {1: 3, 2: 6, 3: 6, 5: 8, 6: 7, 7: 6, 8: 8, 9: 6, 10: 8, 11: 8, 12: 7, 13: 6,
               15: 8, 16: 8, 24: 9}
SINGLE_LEVEL = (1, 2, 3, 5, 6)
MAX_SUB_WIDTH = 6
# table_select 16..23 share table 16 and 24..31 share table 24, with these linbits.
LINBITS_16 = (1, 2, 3, 4, 6, 8, 10, 13)
LINBITS_24 = (4, 5, 6, 7, 8, 9, 11, 13)


def read_codes(path):
    """Returns {table name: [(values tuple, code bit string)]} from the listing."""
    tables = {}
    current = None
    with open(path, encoding="ascii") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].split()
            if not line:
                continue
            where = "%s:%d" % (path, number)
            if line[0] == "table":
                current = line[1]
                if current in tables:
                    sys.exit("%s: table %s listed twice" % (where, current))
                tables[current] = []
                continue
            if current is None:
                sys.exit("%s: code before the first table line" % where)
            width = 4 if current in ("A", "B") else 2
            if len(line) != width + 2:
                sys.exit("%s: expected %d fields" % (where, width + 2))
            values = tuple(int(v) for v in line[:width])
            length, code = int(line[width]), line[width + 1]
            if len(code) != length or set(code) - {"0", "1"}:
                sys.exit("%s: code %s does not have %d bits" % (where, code, length))
            tables[current].append((values, code))
    expected = [str(t) for t in BIG_VALUE_TABLES] + ["A", "B"]
    if sorted(tables) != sorted(expected):
        sys.exit("%s: tables %s, expected %s" % (path, sorted(tables), sorted(expected)))
    for t in BIG_VALUE_TABLES:
        n = TABLE_SIZE[t]
        pairs = sorted(v for v, _ in tables[str(t)])
        if pairs != [(x, y) for x in range(n) for y in range(n)]:
            sys.exit("%s: table %d does not list every pair of %dx%d once" % (path, t, n, n))
    return tables


def build_levels(codes, first_width):
    """Lays out one table as a list of words: the top level, then its sub-tables depth first."""
    words = []

    def place(entries, width):
        # entries: (code bits still to decode, (x, y)); all start at this level.
        top = len(words)
        words.append(width | 255 << 24)
        words.extend([None] * (1 << width))
        longer = {}
        for rest, (x, y) in entries:
            if len(rest) <= width:
                first = int(rest, 2) << (width - len(rest))
                leaf = (x != 0) + (y != 0) | x << 8 | y << 16 | len(rest) << 24
                for i in range(first, first + (1 << (width - len(rest)))):
                    if words[top + 1 + i] is not None:
                        sys.exit("code %s overlaps another code" % rest)
                    words[top + 1 + i] = leaf
            else:
                longer.setdefault(int(rest[:width], 2), []).append((rest[width:], (x, y)))
        for index in sorted(longer):
            tail = longer[index]
            if words[top + 1 + index] is not None:
                sys.exit("a longer code continues a shorter one")
            sub_width = min(MAX_SUB_WIDTH, max(len(rest) for rest, _ in tail))
            offset = place(tail, sub_width)
            if offset >= 1 << 24:
                sys.exit("sub-table offset does not fit in 24 bits")
            words[top + 1 + index] = offset
        if None in words[top + 1:top + 1 + (1 << width)]:
            sys.exit("the codes do not fill every entry: not a complete code")
        return top

    place([(code, values) for values, code in codes], first_width)
    return words


def build_count1(codes):
    entries = [None] * 64
    for (v, w, x, y), code in codes:
        if len(code) > 6:
            sys.exit("count1 code %s is longer than six bits" % code)
        first = int(code, 2) << (6 - len(code))
        for i in range(first, first + (1 << (6 - len(code)))):
            if entries[i] is not None:
                sys.exit("count1 code %s overlaps another code" % code)
            entries[i] = (len(code), v << 3 | w << 2 | x << 1 | y)
    if None in entries:
        sys.exit("the count1 codes do not fill every entry")
    return entries


def emit(tables):
    out = []
    out.append("// Generated by tools/huffman/make_huffman_tables.py from "
               "tools/huffman/huffman_codes.txt;\n")
    out.append("// do not edit. Regenerate from the repository root with:\n")
    out.append("//     %s\n" % COMMAND)
    out.append("#include \"huffman_tables.h\"\n\n")
    out.append("namespace mpeg {\n\n")
    out.append("// clang-format off\n")
    total = 0
    for t in BIG_VALUE_TABLES:
        words = build_levels(tables[str(t)], FIRST_WIDTH[t])
        if t in SINGLE_LEVEL and len(words) != 1 + (1 << FIRST_WIDTH[t]):
            sys.exit("table %d was meant to be single-level" % t)
        total += 4 * len(words)
        out.append("\n// Table %d: %d words.\n" % (t, len(words)))
        out.append("static const uint32_t kTable%d[%d] = {\n" % (t, len(words)))
        for i in range(0, len(words), 8):
            out.append("    " + " ".join("0x%08x," % w for w in words[i:i + 8]) + "\n")
        out.append("};\n")

    count1 = build_count1(tables["A"])
    total += 2 * len(count1)
    out.append("\n// Count1 table A: {code length, vwxy} by the next six bits.\n")
    out.append("const uint8_t count1TableA[64][2] = {\n")
    for i in range(0, 64, 8):
        out.append("    " + " ".join("{%d, %d}," % e for e in count1[i:i + 8]) + "\n")
    out.append("};\n")

    descriptors = []
    for select in range(34):
        if select in (1, 2, 3, 5, 6):
            descriptors.append(("kTable%d" % select, 0, 1))
        elif 7 <= select <= 15 and select != 14:
            descriptors.append(("kTable%d" % select, 0, 2))
        elif 16 <= select <= 23:
            descriptors.append(("kTable16", LINBITS_16[select - 16], 3))
        elif 24 <= select <= 31:
            descriptors.append(("kTable24", LINBITS_24[select - 24], 3))
        else:
            descriptors.append(("nullptr", 0, 0))
    out.append("\n// By table_select; 32 and 33 stand for the count1 tables, which are read "
               "otherwise.\n")
    out.append("const HuffmanTableDescriptor huffmanTables[34] = {\n")
    for select, (name, linbits, kind) in enumerate(descriptors):
        entry = "{%s, %d, %d}," % (name, linbits, kind)
        out.append("    %-20s// %d\n" % (entry, select))
    out.append("};\n\n")
    out.append("// clang-format on\n\n")
    out.append("}  // namespace mpeg\n")
    return "".join(out), total


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--codes", default=os.path.join(REPO, "tools", "huffman",
                                                        "huffman_codes.txt"))
    parser.add_argument("--output", default=os.path.join(REPO, "src", "mpeg",
                                                         "huffman_tables.cpp"))
    parser.add_argument("--size", action="store_true",
                        help="also print the size of the generated data in bytes")
    args = parser.parse_args()
    text, total = emit(read_codes(args.codes))
    with open(args.output, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    if args.size:
        print("%d bytes of tables (word arrays and count1 table A), plus 34 descriptors" % total)


if __name__ == "__main__":
    main()
