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
