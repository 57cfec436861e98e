// Moving through the queue: next at the end, previous at the start and the three-second rule.
#include <gtest/gtest.h>

#include "play_queue.h"

namespace zirvak {
namespace {

TEST(PlayQueue, NextAndPreviousAtBothEnds) {
    PlayQueue queue;
    EXPECT_EQ(queue.NextIndex(), std::nullopt);  // empty
    EXPECT_EQ(queue.PreviousIndex(0), std::nullopt);
    EXPECT_EQ(queue.CurrentFile(), "");
    queue.Replace({"a.mp3", "b.mp3", "c.mp3"});
    EXPECT_EQ(queue.current(), std::nullopt);
    EXPECT_EQ(queue.NextIndex(), 0u);  // nothing current yet: the first
    EXPECT_FALSE(queue.MoveTo(3));
    EXPECT_EQ(queue.current(), std::nullopt);

    const struct {
        size_t current;
        uint32_t positionMs;
        std::optional<size_t> next, previous;
    } cases[] = {
        {0, 0, 1, 0},
        {0, 2999, 1, 0},
        {0, 3000, 1, 0},  // the first stays first
        {1, 0, 2, 0},
        {1, 2999, 2, 0},
        {1, 3000, 2, 1},  // 3 s: the song again
        {2, 1500, std::nullopt, 1},
        {2, 60000, std::nullopt, 2},  // no song after the last
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(queue.MoveTo(c.current));
        EXPECT_EQ(queue.NextIndex(), c.next) << c.current << " at " << c.positionMs;
        EXPECT_EQ(queue.PreviousIndex(c.positionMs), c.previous)
            << c.current << " at " << c.positionMs;
    }
    EXPECT_EQ(queue.CurrentFile(), "c.mp3");
    queue.Replace({"d.mp3"});  // a new queue: nothing current, its first song next
    EXPECT_EQ(queue.current(), std::nullopt);
    EXPECT_EQ(queue.NextIndex(), 0u);
}

}  // namespace
}  // namespace zirvak
