// The window's face, composed off-screen: the background picture, the lights in one colour,
// then the butterfly's current sprite frame.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry.h"
#include "image.h"
#include "light_region.h"

namespace zirvak {

// Where the butterfly is drawn: `position` is the frame's centre, `heading` its sheet row.
struct SpritePose {
    Point position;
    int32_t heading = 0;
};

// What one picture shows, as the flight decides it: the butterfly's pose and the x of its frame
// in the sheet (a multiple of the frame width; negative once it has landed, drawing nothing),
// and the lights, on in their colour or off.
struct SceneFrame {
    SpritePose pose;
    int32_t sheetX = 0;
    bool lightsOn = false;
    uint32_t lightColour = 0;
};

// What a drawn picture changed, so the window repaints just that: the lights (whether or not
// they were drawn this time) and a rectangle around the sprite.
struct RepaintAreas {
    std::span<const LightRun> lightRuns;
    Rect spriteSurroundings;
};

class Scene {
public:
    // The sheet is a grid of framesPerRow columns of frameWidth × frameHeight frames.
    static constexpr int32_t frameWidth = 100;
    static constexpr int32_t frameHeight = 100;
    static constexpr int32_t framesPerRow = 15;
    // A frame is placed this far up and left of the position, so the position is its centre.
    static constexpr int32_t spriteOffset = 50;

    // `scanPicture` is the copy of the background the lights are found in. The sheet is kept
    // as a private copy because drawing changes it.
    Scene(Image background, const Image& scanPicture, Image sheet);

    // Matches the composed image to a new client size; its content is undefined (black) until
    // the next composition.
    void ResizeBackBuffer(int32_t width, int32_t height);

    // Composes `frame` into the back buffer: the background, the lights when on, the sprite
    // frame. Returns the areas to repaint.
    RepaintAreas Compose(const SceneFrame& frame);

    const Image& backBuffer() const { return backBuffer_; }
    const Image& background() const { return background_; }
    const Image& sheet() const { return sheet_; }
    const LightRegion& lightRegion() const { return lightRegion_; }
    int32_t pictureWidth() const { return background_.width; }
    int32_t pictureHeight() const { return background_.height; }

private:
    Image background_;
    Image sheet_;
    Image backBuffer_;
    LightRegion lightRegion_;
    std::vector<uint8_t> mask_;
};

}  // namespace zirvak
