// The bit reader's contract at its edges: what each call loads, consumes and leaves behind.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <random>
#include <vector>

#include "bit_reader.h"

namespace mpeg {
namespace {

// The n bits of `bytes` from bit `position` on, first bit highest, read one bit at a time.
uint32_t ReferenceBits(const std::vector<uint8_t>& bytes, int32_t position, int32_t n) {
    uint32_t value = 0;
    for (int32_t i = position; i < position + n; ++i)
        value = (value << 1) | ((bytes[size_t(i / 8)] >> (7 - i % 8)) & 1);
    return value;
}

TEST(BitReader, GetZeroAndGet25FromEmpty) {
    const uint8_t bytes[16] = {0xA5, 0x5A, 0xC3, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF};
    BitReader r;
    bitsInit(r, bytes);
    EXPECT_EQ(bitsGet(r, 0), 0u);
    EXPECT_EQ(r.loadCursor, bytes);  // not even a refill from empty
    EXPECT_EQ(bitsGet(r, 25), 0xA55AC33Cu >> 7);
    EXPECT_EQ(r.validCount, 31);  // seven bytes loaded
    EXPECT_EQ(r.loadCursor, bytes + 7);
    const BitReader before = r;
    EXPECT_EQ(bitsGet(r, 0), 0u);
    EXPECT_EQ(r.cache, before.cache);
    EXPECT_EQ(r.validCount, 31);
    EXPECT_EQ(bitsGet(r, 7), 0x3Cu & 0x7F);
    EXPECT_EQ(r.loadCursor, bytes + 7);  // the 7 bits were already there
    EXPECT_EQ(bitsPosition(r), 32);
    bitsPeek(r, 11);  // loads ahead, consumes nothing
    EXPECT_EQ(bitsPosition(r), 32);
}

// Every mix of widths, refills and skips reads the stream's bits in order: the bits a refill
// fetches beyond the whole bytes it keeps must never disturb the next one.
TEST(BitReader, MixedReadsFollowTheStream) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(4096 + 64);
    for (auto& b : bytes) b = uint8_t(random());
    BitReader r;
    bitsInit(r, bytes.data());
    int32_t position = 0;
    while (position < 4096 * 8 - 200) {
        const int32_t n = int32_t(random() % 33);
        switch (random() % 4) {
            case 0:
                ASSERT_EQ(bitsGet(r, n), ReferenceBits(bytes, position, n)) << position;
                break;
            case 1:  // a pair's worth after one refill, as the Huffman loop reads it
                bitsRefill(r);
                ASSERT_GE(r.validCount, 56);
                ASSERT_EQ(bitsTake(r, n), ReferenceBits(bytes, position, n)) << position;
                ASSERT_EQ(bitsTake(r, 24), ReferenceBits(bytes, position + n, 24)) << position;
                position += 24;
                break;
            case 2:
                ASSERT_EQ(bitsPeek(r, n % 12), ReferenceBits(bytes, position, n % 12));
                bitsSkip(r, n);
                break;
            default:
                bitsSkip(r, 8 * n + n % 5);
                position += 7 * n + n % 5;
                break;
        }
        position += n;
        ASSERT_EQ(bitsPosition(r), position);
    }
}

// A long skip jumps over whole bytes without touching them: in the sanitizer build the bytes it
// passes over are poisoned, so reading any of them fails the test.
TEST(BitReader, LongSkipDoesNotReadTheBytesItPasses) {
    alignas(8) uint8_t bytes[48];
    for (int i = 0; i < 48; ++i) bytes[i] = uint8_t(0x3B * i + 7);
    BitReader r;
    bitsInit(r, bytes + 4);
    bitsGet(r, 3);  // loads bytes 4..10, holds 53 bits
    ASAN_POISON_MEMORY_REGION(bytes + 12, 8);
    bitsSkip(r, 53 + 8 + 64 + 5);  // the held bits, byte 11, bytes 12..19, 5 bits of byte 20
    ASAN_UNPOISON_MEMORY_REGION(bytes + 12, 8);
    EXPECT_EQ(bitsPosition(r), 3 + 53 + 8 + 64 + 5);
    EXPECT_EQ(bitsGet(r, 3), uint32_t(bytes[20] & 7));
    EXPECT_EQ(bitsGet(r, 8), uint32_t(bytes[21]));
}

TEST(BitReader, PastEndComparesTheBitsConsumed) {
    const uint8_t bytes[16] = {};
    BitReader r;
    bitsInit(r, bytes);
    bitsSetEnd(r, 32);
    bitsGet(r, 1);
    EXPECT_FALSE(bitsPastEnd(r));  // seven bytes loaded, but only one bit consumed
    bitsGet(r, 25);
    bitsGet(r, 6);  // exactly the 32 bits up to the end
    EXPECT_FALSE(bitsPastEnd(r));
    bitsGet(r, 1);
    EXPECT_TRUE(bitsPastEnd(r));
}

}  // namespace
}  // namespace mpeg
