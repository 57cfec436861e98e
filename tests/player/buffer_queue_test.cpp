// The queue every device copies out of: buffers in order, each at the gain and channel count it
// was written with, copied in pieces of any size.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "buffer_queue.h"

namespace zirvak {
namespace {

std::vector<int16_t> CopyAll(BufferQueue& queue, uint32_t outChannels, uint32_t piece,
                             std::vector<int32_t>& done) {
    std::vector<int16_t> out;
    std::vector<uint8_t> room(piece);
    while (!queue.empty()) {
        const uint32_t copied = queue.CopyOut(room.data(), piece, outChannels, 100,
                                              [&](int32_t tag) { done.push_back(tag); });
        EXPECT_EQ(copied % 2, 0u);
        const size_t at = out.size();
        out.resize(at + copied / 2);
        std::memcpy(out.data() + at, room.data(), copied);
        if (copied < piece) break;
    }
    return out;
}

// Pieces of every size, down to less than one frame of a stereo output: a mono buffer sounds
// on both sides, at its own gain; each buffer is done once, in order, when its last sample is
// out; what is pending counts the frames not yet out, whatever their channels.
TEST(BufferQueue, MonoAndStereoBuffersComeOutAsStereoInAnyPieces) {
    const std::vector<int16_t> mono = {100, -200, 300, -400, 500};
    const std::vector<int16_t> stereo = {1, 2, 3, 4, 5, 6};
    for (const uint32_t piece : {4u, 8u, 12u, 64u}) {
        SCOPED_TRACE(piece);
        BufferQueue queue;
        ASSERT_TRUE(queue.Push(reinterpret_cast<const uint8_t*>(stereo.data()), 12, 7, 1.0, 2));
        ASSERT_TRUE(queue.Push(reinterpret_cast<const uint8_t*>(mono.data()), 10, 8, 0.5, 1));
        ASSERT_TRUE(queue.Push(nullptr, 0, 9, 1.0, 1));
        EXPECT_EQ(queue.pendingFrames(), 3u + 5u);
        std::vector<int32_t> done;
        const std::vector<int16_t> out = CopyAll(queue, 2, piece, done);
        EXPECT_EQ(out, (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 50, 50, -100, -100, 150, 150, -200,
                                             -200, 250, 250}));
        EXPECT_EQ(done, (std::vector<int32_t>{7, 8, 9}));
        EXPECT_EQ(queue.pendingFrames(), 0u);
    }
    // Too little room for one stereo frame: nothing is taken.
    BufferQueue queue;
    ASSERT_TRUE(queue.Push(reinterpret_cast<const uint8_t*>(mono.data()), 10, 1, 1.0, 1));
    uint8_t room[2];
    EXPECT_EQ(queue.CopyOut(room, 2, 2, 100, [](int32_t) { FAIL(); }), 0u);
    EXPECT_EQ(queue.pendingFrames(), 5u);
}

// Written and played at one channel count, a buffer comes out as it went in.
TEST(BufferQueue, AMonoOutputTakesMonoBuffersAsTheyAre) {
    const std::vector<int16_t> mono = {9, 8, 7};
    BufferQueue queue;
    ASSERT_TRUE(queue.Push(reinterpret_cast<const uint8_t*>(mono.data()), 6, 1, 1.0, 1));
    std::vector<int32_t> done;
    EXPECT_EQ(CopyAll(queue, 1, 4, done), mono);
    EXPECT_EQ(done, std::vector<int32_t>{1});
}

}  // namespace
}  // namespace zirvak
