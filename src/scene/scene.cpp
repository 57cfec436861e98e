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

RepaintAreas Scene::Compose(const SceneFrame& frame) {
    const SpritePose& pose = frame.pose;
    const Rect sprite{frame.sheetX, pose.heading * frameHeight, frame.sheetX + frameWidth,
                      pose.heading * frameHeight + frameHeight};
    PrepareSpriteFrame(sheet_, sprite, mask_);

    const int32_t copyWidth = std::min(pictureWidth(), backBuffer_.width);
    const int32_t copyHeight = std::min(pictureHeight(), backBuffer_.height);
    for (int32_t y = 0; y < copyHeight; ++y)
        std::copy_n(background_.Row(y), copyWidth, backBuffer_.Row(y));

    if (frame.lightsOn) FillLightRegion(backBuffer_, lightRegion_, frame.lightColour);

    const Point p = pose.position;
    PlaceSpriteFrame(backBuffer_, sheet_, sprite, mask_, {p.x - spriteOffset, p.y - spriteOffset});
    // 10 pixels of margin left and above the frame, 60 right and below.
    return {lightRegion_.runs,
            {p.x - spriteOffset - 10, p.y - spriteOffset - 10, p.x + frameWidth + 10,
             p.y + frameHeight + 10}};
}

}  // namespace zirvak
