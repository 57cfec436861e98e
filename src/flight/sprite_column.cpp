#include "sprite_column.h"

#include "scene.h"

namespace zirvak {

bool AdvanceSpriteColumn(int32_t& sheetX, bool endReached, bool beatFound, bool beforeLanding) {
    if (endReached) beatFound = true;
    if (!beatFound) return false;
    sheetX += Scene::frameWidth;
    if (sheetX >= Scene::framesPerRow * Scene::frameWidth && beforeLanding) sheetX = 0;
    return true;
}

}  // namespace zirvak
