// Which pixels are lights, and how rows of them become runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "light_region.h"

namespace zirvak {
namespace {

TEST(LightPixel, PackedValueBelowTheLimitAndNeverOutside) {
    const struct {
        uint32_t r, g, b;
        bool light;
    } cases[] = {{255, 0, 0, true}, {0, 0, 10, true},    {9, 10, 10, true}, {10, 10, 10, false},
                 {0, 0, 11, false}, {255, 255, 9, true}, {0, 11, 10, false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsLightPixel(Image(1, 1, PackRgb(c.r, c.g, c.b)), 0, 0), c.light)
            << c.r << "," << c.g << "," << c.b;
    const Image black(2, 2, 0);
    for (auto [x, y] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 2}})
        EXPECT_FALSE(IsLightPixel(black, x, y)) << x << "," << y;
}

TEST(LightRegion, RunsOfEachRow) {
    const struct {
        std::vector<std::string> rows;  // '#' a light pixel
        std::vector<LightRun> runs;
        int64_t pixels;
    } cases[] = {
        {{"..###"}, {{0, 2, 5}}, 3},  // a run ending at the right edge
        {{".....", "#....", "....."}, {{1, 0, 1}}, 1},
        {{"#.##.#"}, {{0, 0, 1}, {0, 2, 4}, {0, 5, 6}}, 4},
        {{"#", ".", "#"}, {{0, 0, 1}, {2, 0, 1}}, 2},
    };
    for (const auto& c : cases) {
        Image picture(static_cast<int32_t>(c.rows[0].size()), static_cast<int32_t>(c.rows.size()));
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x)
                picture.Set(x, y, c.rows[y][x] == '#' ? 0u : PackRgb(200, 200, 200));
        const LightRegion region = BuildLightRegion(picture);
        EXPECT_EQ(region.runs, c.runs) << c.rows[0];
        EXPECT_EQ(region.pixelCount, c.pixels) << c.rows[0];
    }
}

}  // namespace
}  // namespace zirvak
