// Between Qt's pictures and the scene's plain pixel arrays.
#pragma once

#include <QImage>

#include "image.h"

namespace zirvak {

// Reads any QImage as 8-bit RGB (alpha dropped), packed as the scene packs colours.
Image ToImage(const QImage& picture);
// The scene's pixels as a QImage for painting.
QImage ToQImage(const Image& image);

}  // namespace zirvak
