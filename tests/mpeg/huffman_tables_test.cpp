// The Layer III Huffman tables: the reviewable code listing must be a set of complete prefix
// codes of the right shape, the checked-in tables must be exactly what the generator makes of
// it, and walking the stored layout the way the decoder does must give back every listed code.
#include "huffman_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace zirvak::test {
namespace {

namespace fs = std::filesystem;

struct Code {
    std::vector<int> values;  // x, y or v, w, x, y
    std::string bits;
};

// The listing, by table name ("1" .. "24", "A", "B").
using Listing = std::map<std::string, std::vector<Code>>;

Listing ReadListing() {
    std::ifstream in(RepoPath("tools/huffman/huffman_codes.txt"));
    EXPECT_TRUE(in) << "cannot read tools/huffman/huffman_codes.txt";
    Listing listing;
    std::string line, table;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string s; fields >> s;) f.push_back(s);
        if (f.empty()) continue;
        if (f[0] == "table") {
            table = f.at(1);
            continue;
        }
        Code code;
        for (size_t i = 0; i + 2 < f.size(); ++i) code.values.push_back(std::stoi(f[i]));
        code.bits = f.back();
        EXPECT_EQ(std::stoul(f[f.size() - 2]), code.bits.size())
            << "table " << table << ": " << line;
        listing[table].push_back(code);
    }
    return listing;
}

struct BigValueTable {
    int number;
    int size;        // x and y run over 0 .. size - 1
    int maxLength;   // longest code word
    int firstWidth;  // width of the first look-up
};

const BigValueTable kBigValueTables[] = {
    {1, 2, 3, 3},   {2, 3, 6, 6},    {3, 3, 6, 6},    {5, 4, 8, 8},    {6, 4, 7, 7},
    {7, 6, 10, 6},  {8, 6, 11, 8},   {9, 6, 9, 6},    {10, 8, 11, 8},  {11, 8, 11, 8},
    {12, 8, 10, 7}, {13, 16, 19, 6}, {15, 16, 13, 8}, {16, 16, 17, 8}, {24, 16, 12, 9},
};

std::string FindPython() {
    std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');) {
        const fs::path candidate = fs::path(dir.empty() ? "." : dir) / "python3";
        if (fs::exists(candidate)) return candidate.string();
    }
    return {};
}

TEST(HuffmanTables, CheckedInSourceIsWhatTheGeneratorWrites) {
    const std::string python = FindPython();
    if (python.empty()) FAIL() << "python3 is needed to regenerate src/mpeg/huffman_tables.cpp";
    // A name of its own, so that the release and sanitizer runs may overlap.
    const fs::path out =
        fs::path(::testing::TempDir()) /
        ("zirvak_huffman_tables_" + std::to_string(std::random_device{}()) + ".cpp");
    const std::string command = "'" + python + "' '" +
                                RepoPath("tools/huffman/make_huffman_tables.py") + "' --output '" +
                                out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<uint8_t> generated = ReadFileBytes(out.string());
    fs::remove(out);
    EXPECT_FALSE(generated.empty());
    EXPECT_TRUE(generated == ReadFileBytes(RepoPath("src/mpeg/huffman_tables.cpp")))
        << "src/mpeg/huffman_tables.cpp is stale: run python3 tools/huffman/make_huffman_tables.py";
}

// Kraft sum exactly 1 and no code word a prefix of another: the decoder can never meet a bit
// pattern that matches nothing or matches twice.
void ExpectCompletePrefixCode(const std::string& name, std::vector<Code> codes) {
    uint64_t kraft = 0;  // in units of 2^-32
    for (const Code& c : codes) kraft += uint64_t(1) << (32 - c.bits.size());
    EXPECT_EQ(kraft, uint64_t(1) << 32) << "table " << name;
    std::sort(codes.begin(), codes.end(), [](auto& a, auto& b) { return a.bits < b.bits; });
    for (size_t i = 1; i < codes.size(); ++i)
        EXPECT_NE(codes[i].bits.rfind(codes[i - 1].bits, 0), 0u)
            << "table " << name << ": " << codes[i - 1].bits << " is a prefix of " << codes[i].bits;
}

TEST(HuffmanTables, ListingHoldsCompletePrefixCodesOfTheRightShape) {
    const Listing listing = ReadListing();
    EXPECT_EQ(listing.size(), std::size(kBigValueTables) + 2);
    for (const BigValueTable& t : kBigValueTables) {
        const std::string name = std::to_string(t.number);
        const std::vector<Code>& codes = listing.at(name);
        ExpectCompletePrefixCode(name, codes);
        std::vector<int> seen(t.size * t.size, 0);
        size_t longest = 0;
        for (const Code& c : codes) {
            ASSERT_EQ(c.values.size(), 2u);
            ASSERT_TRUE(c.values[0] >= 0 && c.values[0] < t.size && c.values[1] >= 0 &&
                        c.values[1] < t.size)
                << "table " << name;
            ++seen[c.values[0] * t.size + c.values[1]];
            longest = std::max(longest, c.bits.size());
        }
        EXPECT_EQ(seen, std::vector<int>(t.size * t.size, 1)) << "table " << name;
        EXPECT_EQ(longest, size_t(t.maxLength)) << "table " << name;
    }
    for (const std::string name : {"A", "B"}) {
        const std::vector<Code>& codes = listing.at(name);
        ASSERT_EQ(codes.size(), 16u);
        ExpectCompletePrefixCode(name, codes);
        for (int q = 0; q < 16; ++q) {
            const std::vector<int> vwxy = {q >> 3 & 1, q >> 2 & 1, q >> 1 & 1, q & 1};
            EXPECT_EQ(codes[q].values, vwxy) << "table " << name << " line " << q;
            if (name == "A") {
                EXPECT_TRUE(codes[q].bits.size() >= 1 && codes[q].bits.size() <= 6);
            } else {
                std::string complement;
                for (int b = 3; b >= 0; --b) complement += (q >> b & 1) ? '0' : '1';
                EXPECT_EQ(codes[q].bits, complement);
            }
        }
    }
}

struct Walk {
    int x = -1, y = -1, nonzero = -1;
    size_t used = 0;  // bits consumed
    int levels = 0;
};

// Decodes one pair from `bits` exactly as the decoder does: look at w bits; while the entry is
// a link, drop the w bits and look again in the sub-table; at a leaf, drop its length.
Walk WalkTable(const uint32_t* table, const std::vector<int>& bits, int firstWidth) {
    Walk walk;
    const uint32_t* level = table;
    for (;;) {
        const uint32_t header = level[0];
        const int width = int(header & 0xff);
        EXPECT_EQ(header >> 8, 0xff0000u);
        if (walk.levels == 0) {
            EXPECT_EQ(width, firstWidth);
        } else {
            EXPECT_TRUE(width >= 1 && width <= 6) << "sub-table width " << width;
        }
        uint32_t index = 0;
        for (int i = 0; i < width; ++i) index = index << 1 | uint32_t(bits.at(walk.used + i));
        const uint32_t entry = level[1 + index];
        if (++walk.levels > 6) {
            ADD_FAILURE() << "links do not end in a leaf";
            return walk;
        }
        if (entry >> 24 == 0) {
            walk.used += width;
            level = table + entry;
            continue;
        }
        walk.nonzero = int(entry & 0xff);
        walk.x = int(entry >> 8 & 0xff);
        walk.y = int(entry >> 16 & 0xff);
        walk.used += entry >> 24;
        return walk;
    }
}

std::vector<int> WithPadding(const std::string& code, std::mt19937& random) {
    std::vector<int> bits;
    for (char c : code) bits.push_back(c - '0');
    for (int i = 0; i < 24; ++i) bits.push_back(int(random() & 1));
    return bits;
}

TEST(HuffmanTables, StoredLayoutDecodesEveryListedCode) {
    const Listing listing = ReadListing();
    std::mt19937 random(20261206u);
    for (const BigValueTable& t : kBigValueTables) {
        const mpeg::HuffmanTableDescriptor& d = mpeg::huffmanTables[t.number];
        ASSERT_NE(d.table, nullptr) << "table " << t.number;
        const bool singleLevel = t.number <= 6;
        EXPECT_EQ(d.kind, singleLevel ? 1 : t.number <= 15 ? 2 : 3) << "table " << t.number;
        for (const Code& c : listing.at(std::to_string(t.number))) {
            for (int pass = 0; pass < 3; ++pass) {
                const Walk w = WalkTable(d.table, WithPadding(c.bits, random), t.firstWidth);
                EXPECT_EQ(w.x, c.values[0]) << "table " << t.number << " code " << c.bits;
                EXPECT_EQ(w.y, c.values[1]) << "table " << t.number << " code " << c.bits;
                EXPECT_EQ(w.nonzero, (c.values[0] != 0) + (c.values[1] != 0));
                EXPECT_EQ(w.used, c.bits.size()) << "table " << t.number << " code " << c.bits;
                if (singleLevel) {
                    EXPECT_EQ(w.levels, 1);
                }
            }
        }
    }
    for (const std::string name : {"A", "B"}) {
        for (const Code& c : listing.at(name)) {
            const int vwxy = c.values[0] << 3 | c.values[1] << 2 | c.values[2] << 1 | c.values[3];
            const std::vector<int> bits = WithPadding(c.bits, random);
            if (name == "A") {
                int index = 0;
                for (int i = 0; i < 6; ++i) index = index << 1 | bits[i];
                EXPECT_EQ(mpeg::count1TableA[index][0], c.bits.size()) << c.bits;
                EXPECT_EQ(mpeg::count1TableA[index][1], vwxy) << c.bits;
            } else {
                EXPECT_EQ(15 - (bits[0] << 3 | bits[1] << 2 | bits[2] << 1 | bits[3]), vwxy);
            }
        }
    }
}

TEST(HuffmanTables, DescriptorsFollowTableSelect) {
    const int linbits16[8] = {1, 2, 3, 4, 6, 8, 10, 13};
    const int linbits24[8] = {4, 5, 6, 7, 8, 9, 11, 13};
    for (int select : {0, 4, 14, 32, 33}) {
        EXPECT_EQ(mpeg::huffmanTables[select].table, nullptr) << select;
        EXPECT_EQ(mpeg::huffmanTables[select].kind, 0) << select;
        EXPECT_EQ(mpeg::huffmanTables[select].linbits, 0) << select;
    }
    for (int select = 1; select < 16; ++select) {
        EXPECT_EQ(mpeg::huffmanTables[select].linbits, 0) << select;
    }
    for (int i = 0; i < 8; ++i) {
        const mpeg::HuffmanTableDescriptor& d16 = mpeg::huffmanTables[16 + i];
        const mpeg::HuffmanTableDescriptor& d24 = mpeg::huffmanTables[24 + i];
        EXPECT_EQ(d16.table, mpeg::huffmanTables[16].table);
        EXPECT_EQ(d24.table, mpeg::huffmanTables[24].table);
        EXPECT_EQ(d16.linbits, linbits16[i]);
        EXPECT_EQ(d24.linbits, linbits24[i]);
        EXPECT_EQ(d16.kind, 3);
        EXPECT_EQ(d24.kind, 3);
    }
}

}  // namespace
}  // namespace zirvak::test
