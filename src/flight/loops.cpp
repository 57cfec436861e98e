#include "loops.h"

#include <cstddef>

namespace zirvak {

const Loop kRightLoopGrid = {
    {{12, 4}, {14, 3}, {17, 3}, {19, 4}, {20, 7}, {19, 10}, {17, 11}, {14, 11}, {12, 10}}};
const Loop kLeftLoopGrid = {
    {{10, 10}, {8, 11}, {5, 11}, {3, 10}, {2, 7}, {3, 4}, {5, 3}, {8, 3}, {10, 4}}};

namespace {

Loop Scale(const Loop& grid, uint32_t pictureWidth) {
    Loop out;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        out[i].x = static_cast<int32_t>(static_cast<uint32_t>(grid[i].x) * pictureWidth / 22u);
        out[i].y = static_cast<int32_t>(static_cast<uint32_t>(grid[i].y) * pictureWidth / 22u);
    }
    return out;
}

}  // namespace

ScaledLoops ScaleLoops(int32_t pictureWidth) {
    const auto width = static_cast<uint32_t>(pictureWidth);
    return {Scale(kRightLoopGrid, width), Scale(kLeftLoopGrid, width)};
}

}  // namespace zirvak
