// Scenes checked pixel by pixel: background, lights, and the sprite frame with its key colour
// transparent, clipped at the edges.
#include <gtest/gtest.h>

#include "scene.h"
#include "scene/test_pictures.h"

namespace zirvak {
namespace {

using namespace zirvak::testing;

constexpr int32_t kWidth = 160, kHeight = 120;
constexpr uint32_t kLightColour = PackRgb(1, 2, 3);
const Point kHome{-158, 145};

Scene MakeScene() {
    return Scene(MakeBackground(kWidth, kHeight), MakeBackground(kWidth, kHeight), MakeSheet());
}

// The frame of the sheet at `sheetX` for `pose`, the lights on or off.
SceneFrame Frame(int32_t sheetX, const SpritePose& pose, bool lightsOn) {
    return {pose, sheetX, lightsOn, kLightColour};
}

// Background, lights if asked, and the body of frame (column, row) centred at `centre`.
Image Expected(bool withLights, Point centre, int32_t column, int32_t row) {
    Image image = MakeBackground(kWidth, kHeight);
    if (withLights) {
        for (int32_t x : {0, 1, 2}) image.Set(x, 10, kLightColour);
        image.Set(kWidth - 1, 20, kLightColour);
    }
    for (int32_t fy = 0; fy < 100; ++fy)
        for (int32_t fx = 0; fx < 100; ++fx)
            if (InBody(fx, fy) && image.Contains(centre.x - 50 + fx, centre.y - 50 + fy))
                image.Set(centre.x - 50 + fx, centre.y - 50 + fy, BodyColour(column, row));
    return image;
}

TEST(SceneCompose, KeyPixelsTransparentAndBlackenedInTheSheet) {
    Scene scene = MakeScene();
    const SpritePose pose{{80, 60}, 2};
    scene.Compose(Frame(300, pose, true));
    EXPECT_EQ(scene.backBuffer(), Expected(true, pose.position, 3, 2));
    // The drawn frame's key pixels are black now, its body is not; other frames are untouched.
    EXPECT_EQ(scene.sheet().At(300, 201), 0u);
    EXPECT_EQ(scene.sheet().At(399, 299), 0u);
    EXPECT_EQ(scene.sheet().At(340, 250), BodyColour(3, 2));
    EXPECT_EQ(scene.sheet().At(400, 201), kMagenta);
    EXPECT_EQ(scene.sheet().At(300, 301), kMagenta);
    // Drawn again, black is read as the key and the frame comes out the same.
    const Image first = scene.backBuffer();
    scene.Compose(Frame(300, pose, true));
    EXPECT_EQ(scene.backBuffer(), first);
}

// The key is the colour of the frame's left column, second row, (sheetX, heading × 100 + 1):
// there a green pixel makes green transparent and the magenta background opaque.
TEST(SceneCompose, TheKeyIsReadAtTheFramesSecondRow) {
    Scene scene(MakeBackground(kWidth, kHeight), MakeBackground(kWidth, kHeight), [] {
        Image sheet = MakeSheet();
        for (auto [x, y] : {std::pair{500, 401}, {510, 420}, {560, 450}})
            sheet.Set(x, y, PackRgb(0, 255, 0));
        return sheet;
    }());
    scene.Compose(Frame(500, {{80, 60}, 4}, false));
    const auto green = [](int32_t fx, int32_t fy) {
        return (fx == 0 && fy == 1) || (fx == 10 && fy == 20) || (fx == 60 && fy == 50);
    };
    const Image background = MakeBackground(kWidth, kHeight);
    Image expected = Expected(false, {80, 60}, 5, 4);  // frame's top-left corner at (30, 10)
    for (int32_t fy = 0; fy < 100; ++fy)
        for (int32_t fx = 0; fx < 100; ++fx)
            if (green(fx, fy))
                expected.Set(30 + fx, 10 + fy, background.At(30 + fx, 10 + fy));
            else if (!InBody(fx, fy))
                expected.Set(30 + fx, 10 + fy, kMagenta);
    EXPECT_EQ(scene.backBuffer(), expected);
}

TEST(SceneCompose, FramesClippedAtTheEdges) {
    const Point centres[] = {{10, 5},           {kWidth - 5, kHeight - 8}, {-49, 60}, {80, -49},
                             {kWidth + 49, 60}, {80, kHeight + 49},        kHome};
    for (Point centre : centres) {
        Scene scene = MakeScene();
        scene.Compose(Frame(1400, {centre, 6}, false));
        EXPECT_EQ(scene.backBuffer(), Expected(false, centre, 14, 6))
            << centre.x << "," << centre.y;
    }
    Scene scene = MakeScene();  // a frame left of the sheet (after a landing) draws nothing
    scene.Compose(Frame(-200, {{80, 60}, 0}, false));
    EXPECT_EQ(scene.backBuffer(), MakeBackground(kWidth, kHeight));
}

TEST(SceneCompose, LightsOnlyWhenOnAndWhatToRepaint) {
    for (bool lightsOn : {true, false}) {
        Scene scene = MakeScene();
        const RepaintAreas areas =
            scene.Compose(Frame(lightsOn ? 0 : 100, {{80, 60}, 1}, lightsOn));
        EXPECT_EQ(areas.spriteSurroundings, (Rect{20, 0, 190, 170}));
        EXPECT_EQ(scene.lightRegion().pixelCount, 4);
        EXPECT_EQ(scene.lightRegion().runs,
                  (std::vector<LightRun>{{10, 0, 3}, {20, kWidth - 1, kWidth}}));
        EXPECT_EQ(areas.lightRuns.size(), 2u);
        EXPECT_EQ(scene.backBuffer(), Expected(lightsOn, {80, 60}, lightsOn ? 0 : 1, 1));
    }
}

}  // namespace
}  // namespace zirvak
