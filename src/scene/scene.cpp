#include "scene.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "sprite_blit.h"

namespace zirvak {

Scene::Scene(Image background, const Image& scanPicture, Image sheet)
    : background_(std::move(background)),
      sheet_(std::move(sheet)),
      backBuffer_(background_.width, background_.height),
      lightRegion_(BuildLightRegion(scanPicture)) {
    mask_.reserve(static_cast<std::size_t>(frameWidth) * frameHeight);
}

void Scene::ResizeBackBuffer(int32_t width, int32_t height) {
    backBuffer_ = Image(width, height);
}

void Scene::ComposeScene(bool withLights, const SpritePose& pose) {
    const Rect frame{sheetX, pose.heading * frameHeight, sheetX + frameWidth,
                     pose.heading * frameHeight + frameHeight};
    PrepareSpriteFrame(sheet_, frame, mask_);

    const int32_t copyWidth = std::min(pictureWidth(), backBuffer_.width);
    const int32_t copyHeight = std::min(pictureHeight(), backBuffer_.height);
    for (int32_t y = 0; y < copyHeight; ++y)
        std::copy_n(background_.Row(y), copyWidth, backBuffer_.Row(y));

    if (withLights) FillLightRegion(backBuffer_, lightRegion_, lightColour);

    const Point topLeft{pose.position.x - spriteOffset, pose.position.y - spriteOffset};
    PlaceSpriteFrame(backBuffer_, sheet_, frame, mask_, topLeft);
}

void Scene::AdvanceFrame(bool endReached, bool& beatFound, bool beforeLanding) {
    if (endReached) beatFound = true;
    if (!beatFound) return;
    sheetX += frameWidth;
    if (sheetX >= framesPerRow * frameWidth && beforeLanding) sheetX = 0;
}

RepaintAreas Scene::DrawScene(bool endReached, bool& beatFound, bool beforeLanding,
                              const SpritePose& pose) {
    AdvanceFrame(endReached, beatFound, beforeLanding);
    if (composing_) ComposeScene(!endReached, pose);
    const Point p = pose.position;
    // 10 pixels of margin left and above the frame, 60 right and below.
    return {lightRegion_.runs,
            {p.x - spriteOffset - 10, p.y - spriteOffset - 10, p.x + frameWidth + 10,
             p.y + frameHeight + 10}};
}

}  // namespace zirvak
