// The Layer III Huffman tables: the reviewable code listing must hold complete prefix codes of
// the right shape, the checked-in tables must be exactly what the generator makes of it, and
// walking the stored layout the way the decoder does must give back every listed code.
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
std::map<std::string, std::vector<Code>> ReadListing() {
    std::ifstream in(RepoPath("tools/huffman/huffman_codes.txt"));
    EXPECT_TRUE(in) << "cannot read tools/huffman/huffman_codes.txt";
    std::map<std::string, std::vector<Code>> listing;
    std::string line, table;
    while (std::getline(in, line)) {
        std::istringstream fields(line.substr(0, line.find('#')));
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
        EXPECT_EQ(std::stoul(f[f.size() - 2]), code.bits.size()) << table << ": " << line;
        listing[table].push_back(code);
    }
    return listing;
}

TEST(HuffmanTables, CheckedInSourceIsWhatTheGeneratorWrites) {
    // A name of its own, so that the release and sanitizer runs may overlap.
    const fs::path out =
        fs::path(::testing::TempDir()) /
        ("zirvak_huffman_tables_" + std::to_string(std::random_device{}()) + ".cpp");
    const std::string command = "python3 '" + RepoPath("tools/huffman/make_huffman_tables.py") +
                                "' --output '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command << " (python3 is needed)";
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
            << "table " << name << ": " << codes[i - 1].bits << " is a prefix";
}

// Decodes one pair from `bits` as the decoder does: look at w bits; while the entry is a link,
// drop the w bits and look again in the sub-table; at a leaf, drop its length. Returns x, y,
// the count of nonzero values, the bits used and the levels visited.
std::vector<int> WalkTable(const uint32_t* table, const std::vector<int>& bits, int firstWidth) {
    const uint32_t* level = table;
    int used = 0;
    for (int levels = 1; levels <= 6; ++levels) {
        const int width = int(level[0] & 0xff);
        EXPECT_EQ(level[0] >> 8, 0xff0000u);
        EXPECT_TRUE(levels == 1 ? width == firstWidth : width >= 1 && width <= 6) << width;
        uint32_t index = 0;
        for (int i = 0; i < width; ++i) index = index << 1 | uint32_t(bits.at(size_t(used + i)));
        const uint32_t entry = level[1 + index];
        if (entry >> 24 == 0) {
            used += width;
            level = table + entry;
            continue;
        }
        return {int(entry >> 8 & 0xff), int(entry >> 16 & 0xff), int(entry & 0xff),
                used + int(entry >> 24), levels};
    }
    ADD_FAILURE() << "links do not end in a leaf";
    return {};
}

TEST(HuffmanTables, ListingIsCompleteAndTheStoredLayoutDecodesEveryCode) {
    struct BigValueTable {
        int number, size, firstWidth;  // x and y run over 0 .. size - 1
    };
    const BigValueTable tables[] = {
        {1, 2, 3},  {2, 3, 6},   {3, 3, 6},   {5, 4, 8},   {6, 4, 7},
        {7, 6, 6},  {8, 6, 8},   {9, 6, 6},   {10, 8, 8},  {11, 8, 8},
        {12, 8, 7}, {13, 16, 6}, {15, 16, 8}, {16, 16, 8}, {24, 16, 9},
    };
    const auto listing = ReadListing();
    EXPECT_EQ(listing.size(), std::size(tables) + 2);
    std::mt19937 random(20261206u);
    auto padded = [&](const std::string& code) {  // the code word, then random bits
        std::vector<int> bits;
        for (char c : code) bits.push_back(c - '0');
        for (int i = 0; i < 24; ++i) bits.push_back(int(random() & 1));
        return bits;
    };
    for (const BigValueTable& t : tables) {
        const std::string name = std::to_string(t.number);
        SCOPED_TRACE("table " + name);
        const std::vector<Code>& codes = listing.at(name);
        ExpectCompletePrefixCode(name, codes);
        const mpeg::HuffmanTableDescriptor& d = mpeg::huffmanTables[t.number];
        ASSERT_NE(d.table, nullptr);
        EXPECT_EQ(d.kind, t.number <= 6 ? 1 : t.number <= 15 ? 2 : 3);
        std::vector<int> seen(size_t(t.size * t.size), 0);
        for (const Code& c : codes) {
            ASSERT_EQ(c.values.size(), 2u);
            ASSERT_TRUE(c.values[0] >= 0 && c.values[0] < t.size && c.values[1] >= 0 &&
                        c.values[1] < t.size);
            ++seen[size_t(c.values[0] * t.size + c.values[1])];
            const std::vector<int> walk = WalkTable(d.table, padded(c.bits), t.firstWidth);
            ASSERT_EQ(walk.size(), 5u);
            const int nonzero = (c.values[0] != 0) + (c.values[1] != 0);
            EXPECT_EQ(walk, std::vector<int>({c.values[0], c.values[1], nonzero, int(c.bits.size()),
                                              t.number <= 6 ? 1 : walk.at(4)}))
                << "code " << c.bits;
        }
        EXPECT_EQ(seen, std::vector<int>(seen.size(), 1));
    }
    for (const std::string name : {"A", "B"}) {
        const std::vector<Code>& codes = listing.at(name);
        ASSERT_EQ(codes.size(), 16u);
        ExpectCompletePrefixCode(name, codes);
        for (int q = 0; q < 16; ++q) {
            const Code& c = codes[size_t(q)];
            EXPECT_EQ(c.values, std::vector<int>({q >> 3 & 1, q >> 2 & 1, q >> 1 & 1, q & 1}));
            const std::vector<int> bits = padded(c.bits);
            if (name == "A") {
                int index = 0;
                for (int i = 0; i < 6; ++i) index = index << 1 | bits[size_t(i)];
                EXPECT_EQ(mpeg::count1TableA[index][0], c.bits.size()) << c.bits;
                EXPECT_EQ(mpeg::count1TableA[index][1], q) << c.bits;
            } else {  // table B: the four bits, inverted
                EXPECT_EQ(c.bits.size(), 4u);
                EXPECT_EQ(15 - (bits[0] << 3 | bits[1] << 2 | bits[2] << 1 | bits[3]), q);
            }
        }
    }
    for (int select : {0, 4, 14}) EXPECT_EQ(mpeg::huffmanTables[select].table, nullptr) << select;
}

}  // namespace
}  // namespace zirvak::test
