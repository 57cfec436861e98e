// The fairy lights of the window's picture: the region the window builds from the background.
#include <gtest/gtest.h>

#include <QImage>

#include "image_conversion.h"
#include "light_region.h"
#include "support/fixtures.h"

namespace zirvak::test {
namespace {

// Our own picture's lights, counted here pixel by pixel from the picture file (a light has
// blue × 65536 + green × 256 + red below 0x0A0A0A; a run starts at a light with no light to its
// left), and the region the window builds from it.
TEST(PictureLights, TheBackgroundsFairyLights) {
    const QImage picture(QString::fromStdString(RepoPath("res/background.png")));
    ASSERT_EQ(picture.size(), QSize(405, 308));
    const auto light = [&picture](int x, int y) {
        const QRgb p = picture.pixel(x, y);
        return qBlue(p) * 65536 + qGreen(p) * 256 + qRed(p) < 0x0A0A0A;
    };
    int64_t pixels = 0;
    size_t runs = 0;
    int firstRow = -1, lastRow = -1;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (light(x, y)) {
                ++pixels;
                runs += x == 0 || !light(x - 1, y);
                lastRow = y;
                if (firstRow < 0) firstRow = y;
            }
    const LightRegion lights = BuildLightRegion(ToImage(picture));
    EXPECT_EQ(lights.pixelCount, pixels);
    EXPECT_EQ(lights.runs.size(), runs);
    EXPECT_EQ(lights.runs.front().y, firstRow);
    EXPECT_EQ(lights.runs.back().y, lastRow);
    // The picture's own figures, as the count above finds them.
    EXPECT_EQ(pixels, 2828);
    EXPECT_EQ(runs, 2042u);
    EXPECT_EQ(firstRow, 61);
    EXPECT_EQ(lastRow, 307);
}

}  // namespace
}  // namespace zirvak::test
