// The bit reader's contract at its edges: what each call loads, consumes and leaves behind.
#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include "bit_reader.h"

namespace mpeg {
namespace {

TEST(BitReader, GetZeroAndGet25FromEmpty) {
    const uint8_t bytes[8] = {0xA5, 0x5A, 0xC3, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF};
    BitReader r;
    bitsInit(r, bytes);
    EXPECT_EQ(bitsGet(r, 0), 0u);
    EXPECT_EQ(r.loadCursor, bytes);  // not even a refill from empty
    EXPECT_EQ(bitsGet(r, 25), 0xA55AC33Cu >> 7);
    EXPECT_EQ(r.validCount, 7);  // four bytes loaded, seven bits kept
    EXPECT_EQ(r.loadCursor, bytes + 4);
    const BitReader before = r;
    EXPECT_EQ(bitsGet(r, 0), 0u);
    EXPECT_EQ(r.accumulator, before.accumulator);
    EXPECT_EQ(r.validCount, 7);
    EXPECT_EQ(bitsGet(r, 7), 0x3Cu & 0x7F);
    EXPECT_EQ(r.loadCursor, bytes + 4);  // the 7 bits were already there
    EXPECT_EQ(bitsPosition(r), 32);
    bitsPeek(r, 11);  // loads ahead, consumes nothing
    EXPECT_EQ(bitsPosition(r), 32);
}

// A long skip jumps over whole bytes without touching them: in the sanitizer build the bytes it
// passes over are poisoned, so reading any of them fails the test.
TEST(BitReader, LongSkipDoesNotReadTheBytesItPasses) {
    alignas(8) uint8_t bytes[32];
    for (int i = 0; i < 32; ++i) bytes[i] = uint8_t(0x3B * i + 7);
    BitReader r;
    bitsInit(r, bytes + 4);
    bitsGet(r, 3);  // loads bytes 4..7, holds 29 bits
    ASAN_POISON_MEMORY_REGION(bytes + 8, 8);
    bitsSkip(r, 29 + 64 + 5);  // the held bits, bytes 8..15, then 5 bits of byte 16
    ASAN_UNPOISON_MEMORY_REGION(bytes + 8, 8);
    EXPECT_EQ(r.loadCursor, bytes + 17);
    EXPECT_EQ(bitsPosition(r), 3 + 29 + 64 + 5);
    EXPECT_EQ(bitsGet(r, 3), uint32_t(bytes[16] & 7));
    EXPECT_EQ(bitsGet(r, 8), uint32_t(bytes[17]));
}

TEST(BitReader, PastEndComparesTheLoadCursor) {
    const uint8_t bytes[8] = {};
    BitReader r;
    bitsInit(r, bytes);
    bitsSetEnd(r, bytes + 3);
    bitsGet(r, 1);
    EXPECT_TRUE(bitsPastEnd(r));  // four bytes loaded, although one bit was consumed
    bitsSetEnd(r, bytes + 4);
    bitsGet(r, 25);
    bitsGet(r, 6);  // exactly the 32 bits up to the limit
    EXPECT_FALSE(bitsPastEnd(r));
    bitsGet(r, 1);
    EXPECT_TRUE(bitsPastEnd(r));
}

}  // namespace
}  // namespace mpeg
