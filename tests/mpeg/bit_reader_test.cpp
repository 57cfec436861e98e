// The bit reader's contract at its edges: what each call loads, consumes and leaves behind.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <random>
#include <vector>

#include "bit_reader.h"

namespace mpeg {
namespace {

// Bit `i` of a byte array, most significant bit first: the model the reader must follow.
uint32_t ModelBits(const uint8_t* bytes, int32_t position, int32_t n) {
    uint32_t value = 0;
    for (int32_t i = position; i < position + n; ++i)
        value = (value << 1) | ((bytes[i / 8] >> (7 - i % 8)) & 1);
    return value;
}

TEST(BitReader, Get25FromEmptyLoadsFourBytesAndKeepsSevenBits) {
    const uint8_t bytes[8] = {0xA5, 0x5A, 0xC3, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF};
    BitReader r;
    bitsInit(r, bytes);
    EXPECT_EQ(bitsGet(r, 25), 0xA55AC33Cu >> 7);
    EXPECT_EQ(r.validCount, 7);
    EXPECT_EQ(r.loadCursor, bytes + 4);
    EXPECT_EQ(bitsGet(r, 7), 0x3Cu & 0x7F);
    EXPECT_EQ(r.loadCursor, bytes + 4);  // the 7 bits were already there
    EXPECT_EQ(bitsPosition(r), 32);
}

TEST(BitReader, GetZeroChangesNothing) {
    const uint8_t bytes[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    BitReader r;
    bitsInit(r, bytes);
    EXPECT_EQ(bitsGet(r, 0), 0u);
    EXPECT_EQ(r.loadCursor, bytes);  // not even a refill from empty
    EXPECT_EQ(r.validCount, 0);

    bitsGet(r, 5);
    const BitReader before = r;
    EXPECT_EQ(bitsGet(r, 0), 0u);
    EXPECT_EQ(r.loadCursor, before.loadCursor);
    EXPECT_EQ(r.accumulator, before.accumulator);
    EXPECT_EQ(r.validCount, before.validCount);
}

TEST(BitReader, PositionCountsConsumedBitsNotLoadedOnes) {
    const uint8_t bytes[8] = {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
    for (int32_t k = 0; k <= 25; ++k) {
        BitReader r;
        bitsInit(r, bytes);
        bitsGet(r, k);
        EXPECT_EQ(bitsPosition(r), k) << "k=" << k;
        bitsPeek(r, 11);  // loads ahead, consumes nothing
        EXPECT_EQ(bitsPosition(r), k) << "k=" << k;
    }
}

// A long skip jumps over whole bytes without touching them: in the sanitizer build the bytes
// it passes over are poisoned, so reading any of them fails the test.
TEST(BitReader, LongSkipDoesNotReadTheBytesItPasses) {
    alignas(8) uint8_t bytes[32];
    for (int i = 0; i < 32; ++i) bytes[i] = uint8_t(0x3B * i + 7);
    BitReader r;
    bitsInit(r, bytes + 4);
    bitsGet(r, 3);  // loads bytes 4..7, holds 29 bits
    ASSERT_EQ(r.validCount, 29);

    ASAN_POISON_MEMORY_REGION(bytes + 8, 8);
    bitsSkip(r, 29 + 64 + 5);  // the held bits, bytes 8..15, then 5 bits of byte 16
    ASAN_UNPOISON_MEMORY_REGION(bytes + 8, 8);

    EXPECT_EQ(r.loadCursor, bytes + 17);
    EXPECT_EQ(r.validCount, 3);
    EXPECT_EQ(bitsPosition(r), 3 + 29 + 64 + 5);
    EXPECT_EQ(bitsGet(r, 3), uint32_t(bytes[16] & 7));
    EXPECT_EQ(bitsGet(r, 8), uint32_t(bytes[17]));
}

// Every kind of read against the bit model, over a long seeded random walk.
TEST(BitReader, AllReadsAgreeWithTheBitModel) {
    std::mt19937 random(1234);
    std::vector<uint8_t> bytes(4096);
    for (uint8_t& b : bytes) b = uint8_t(random());
    BitReader r;
    bitsInit(r, bytes.data());
    int32_t position = 0;
    while (position < 30000) {
        const int32_t op = int32_t(random() % 6);
        if (op == 0) {
            const int32_t n = int32_t(random() % 26);
            ASSERT_EQ(bitsGet(r, n), ModelBits(bytes.data(), position, n)) << "at " << position;
            position += n;
        } else if (op == 1) {
            const int32_t n = 1 + int32_t(random() % 11);
            const uint32_t peeked = bitsPeek(r, n);
            ASSERT_EQ(peeked, ModelBits(bytes.data(), position, n)) << "at " << position;
            ASSERT_EQ(bitsLook(r, n), peeked);
            ASSERT_EQ(bitsTake(r, n), peeked);
            position += n;
        } else if (op == 2) {
            const int32_t n = 1 + int32_t(random() % 11);
            bitsPeek(r, n);
            bitsDrop(r, n);
            position += n;
        } else if (op == 3) {
            const int32_t n = 1 + int32_t(random() % 19);
            ASSERT_EQ(bitsGetAhead2(r, n), ModelBits(bytes.data(), position, n));
            position += n;
            ASSERT_GE(r.validCount, 2);
            ASSERT_EQ(bitsTake1(r), ModelBits(bytes.data(), position, 1));
            ASSERT_EQ(bitsTake1(r), ModelBits(bytes.data(), position + 1, 1));
            position += 2;
        } else if (op == 4) {
            bitsEnsure(r, 25);
            ASSERT_GE(r.validCount, 25);
        } else {
            const int32_t n = int32_t(random() % 100);
            bitsSkip(r, n);
            position += n;
        }
        ASSERT_EQ(bitsPosition(r), position);
        ASSERT_LT(uint64_t(r.accumulator), uint64_t{1} << r.validCount);
    }
}

TEST(BitReader, PastEndComparesTheLoadCursor) {
    const uint8_t bytes[8] = {};
    BitReader r;
    bitsInit(r, bytes);
    bitsSetEnd(r, bytes + 4);
    bitsGet(r, 1);  // one bit consumed, four bytes loaded
    EXPECT_FALSE(bitsPastEnd(r));
    bitsSetEnd(r, bytes + 3);
    EXPECT_TRUE(bitsPastEnd(r));  // although only one bit was consumed
    bitsSetEnd(r, bytes + 4);
    bitsGet(r, 25);
    bitsGet(r, 6);  // exactly the 32 bits up to the limit
    EXPECT_FALSE(bitsPastEnd(r));
    bitsGet(r, 1);
    EXPECT_TRUE(bitsPastEnd(r));
}

}  // namespace
}  // namespace mpeg
