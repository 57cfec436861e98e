// What went out last, handed again after a loss: in order, as much as is kept, counted back from
// where an earlier hand-over had got to, and forgotten on a clear.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "output_history.h"

namespace zirvak {
namespace {

std::vector<uint8_t> Counting(uint8_t from, size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), from);
    return bytes;
}

std::vector<uint8_t> HandedAgain(OutputHistory& history, uint32_t room) {
    std::vector<uint8_t> out(room);
    out.resize(history.CopyOut(out.data(), room));
    return out;
}

TEST(OutputHistory, HandsAgainTheLastBytesInOrderAsFarAsKept) {
    struct Case {
        const char* what;
        std::vector<size_t> kept;  // lengths kept one after another, counting up from 0
        uint64_t again;
        std::vector<uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"within what is kept", {6}, 4, {2, 3, 4, 5}},
        {"across two pieces", {3, 3}, 4, {2, 3, 4, 5}},
        {"more than is kept: all of it", {3}, 10, {0, 1, 2}},
        {"across the ring's end", {6, 4}, 5, {5, 6, 7, 8, 9}},
        {"more than the ring: the ring's worth", {6, 4}, 20, {2, 3, 4, 5, 6, 7, 8, 9}},
        {"a piece larger than the ring: its end", {12}, 20, {4, 5, 6, 7, 8, 9, 10, 11}},
        {"nothing kept", {}, 4, {}},
    };
    for (const Case& c : cases) {
        OutputHistory history(8);
        uint8_t next = 0;
        for (size_t n : c.kept) {
            const std::vector<uint8_t> piece = Counting(next, n);
            history.Keep(piece.data(), uint32_t(n));
            next = uint8_t(next + n);
        }
        history.HandAgain(c.again);
        EXPECT_EQ(history.pending(), c.expected.size()) << c.what;
        EXPECT_EQ(HandedAgain(history, 64), c.expected) << c.what;
        EXPECT_EQ(history.pending(), 0u) << c.what;
    }
}

// A second loss while the first is being handed again counts back from what has gone out since.
TEST(OutputHistory, ASecondLossCountsBackFromWhereTheFirstHadGot) {
    OutputHistory history(16);
    const std::vector<uint8_t> piece = Counting(0, 10);
    history.Keep(piece.data(), 10);
    history.HandAgain(6);  // 4..9 to go again
    EXPECT_EQ(HandedAgain(history, 3), (std::vector<uint8_t>{4, 5, 6}));
    history.HandAgain(2);  // 5 and 6 were lost again
    EXPECT_EQ(HandedAgain(history, 64), (std::vector<uint8_t>{5, 6, 7, 8, 9}));
    history.HandAgain(4);
    history.Clear();  // a seek: nothing of before is to be heard
    EXPECT_EQ(history.pending(), 0u);
    EXPECT_TRUE(HandedAgain(history, 64).empty());
}

}  // namespace
}  // namespace zirvak
