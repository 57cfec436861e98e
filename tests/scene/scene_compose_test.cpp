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
    Scene scene(MakeBackground(kWidth, kHeight), MakeBackground(kWidth, kHeight), MakeSheet());
    scene.lightColour = kLightColour;
    return scene;
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
    scene.sheetX = 300;
    const SpritePose pose{{80, 60}, 2};
    scene.ComposeScene(true, pose);
    EXPECT_EQ(scene.backBuffer(), Expected(true, pose.position, 3, 2));
    // The drawn frame's key pixels are black now, its body is not; other frames are untouched.
    EXPECT_EQ(scene.sheet().At(300, 201), 0u);
    EXPECT_EQ(scene.sheet().At(399, 299), 0u);
    EXPECT_EQ(scene.sheet().At(340, 250), BodyColour(3, 2));
    EXPECT_EQ(scene.sheet().At(400, 201), kMagenta);
    EXPECT_EQ(scene.sheet().At(300, 301), kMagenta);
    // Drawn again, black is read as the key and the frame comes out the same.
    const Image first = scene.backBuffer();
    scene.ComposeScene(true, pose);
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
    scene.sheetX = 500;
    scene.ComposeScene(false, {{80, 60}, 4});
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

TEST(SceneFrame, AdvancesOnBeatsAndWrapsOnlyBeforeLanding) {
    const struct {
        int32_t sheetX;
        bool endReached, beatFound, beforeLanding;
        int32_t sheetXAfter;
    } cases[] = {
        {300, false, false, true, 300},   {300, false, true, true, 400},
        {1300, false, true, true, 1400},  {1400, false, true, true, 0},
        {1400, false, true, false, 1500}, {1400, true, false, true, 0},
        {-100, true, false, false, 0},
    };
    for (const auto& c : cases) {
        Scene scene = MakeScene();
        scene.sheetX = c.sheetX;
        bool beatFound = c.beatFound;
        scene.AdvanceFrame(c.endReached, beatFound, c.beforeLanding);
        EXPECT_EQ(scene.sheetX, c.sheetXAfter) << c.sheetX;
        EXPECT_EQ(beatFound, c.beatFound || c.endReached) << c.sheetX;
    }
}

TEST(SceneCompose, FramesClippedAtTheEdges) {
    const Point centres[] = {{10, 5},           {kWidth - 5, kHeight - 8}, {-49, 60}, {80, -49},
                             {kWidth + 49, 60}, {80, kHeight + 49},        kHome};
    for (Point centre : centres) {
        Scene scene = MakeScene();
        scene.sheetX = 1400;
        scene.ComposeScene(false, {centre, 6});
        EXPECT_EQ(scene.backBuffer(), Expected(false, centre, 14, 6))
            << centre.x << "," << centre.y;
    }
    Scene scene = MakeScene();  // a frame left of the sheet (after a landing) draws nothing
    scene.sheetX = -200;
    scene.ComposeScene(false, {{80, 60}, 0});
    EXPECT_EQ(scene.backBuffer(), MakeBackground(kWidth, kHeight));
}

TEST(SceneCompose, DrawSceneLightsOnlyWhilePlayingAndReportsWhatToRepaint) {
    for (bool endReached : {false, true}) {
        Scene scene = MakeScene();
        bool beatFound = false;
        const RepaintAreas areas = scene.DrawScene(endReached, beatFound, true, {{80, 60}, 1});
        EXPECT_EQ(areas.spriteSurroundings, (Rect{20, 0, 190, 170}));
        EXPECT_EQ(scene.lightRegion().pixelCount, 4);
        EXPECT_EQ(scene.lightRegion().runs,
                  (std::vector<LightRun>{{10, 0, 3}, {20, kWidth - 1, kWidth}}));
        EXPECT_EQ(areas.lightRuns.size(), 2u);
        // The end of playback advances the frame like a beat.
        EXPECT_EQ(scene.backBuffer(), Expected(!endReached, {80, 60}, endReached ? 1 : 0, 1));
    }
}

}  // namespace
}  // namespace zirvak
