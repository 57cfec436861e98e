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

// What a drawn tick changed, so the window repaints just that: the lights (whether or not they
// were drawn this time) and a rectangle around the sprite.
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

    // Composes a whole scene into the back buffer.
    void ComposeScene(bool withLights, const SpritePose& pose);

    // Moves to the next frame of the row on a beat. The end of playback counts as a beat on every
    // tick so the wings beat on the way home. The column wraps only before landing, where the
    // landing counts the column down itself.
    void AdvanceFrame(bool endReached, bool& beatFound, bool beforeLanding);

    // One animation tick's drawing: next frame, scene (lights only while the music plays), and
    // the areas to repaint. While nobody sees the picture (SetComposing(false)) the frame still
    // moves on, but nothing is composed.
    RepaintAreas DrawScene(bool endReached, bool& beatFound, bool beforeLanding,
                           const SpritePose& pose);

    void SetComposing(bool composing) { composing_ = composing; }
    bool composing() const { return composing_; }

    const Image& backBuffer() const { return backBuffer_; }
    const Image& background() const { return background_; }
    const Image& sheet() const { return sheet_; }
    const LightRegion& lightRegion() const { return lightRegion_; }
    int32_t pictureWidth() const { return background_.width; }
    int32_t pictureHeight() const { return background_.height; }

    // Colour of the lights; set on every tick before a scene is drawn with them.
    uint32_t lightColour = 0;
    // x of the current frame in the sheet, a multiple of frameWidth; negative after a landing.
    int32_t sheetX = 0;

private:
    Image background_;
    Image sheet_;
    Image backBuffer_;
    LightRegion lightRegion_;
    std::vector<uint8_t> mask_;
    bool composing_ = true;
};

}  // namespace zirvak
