// Between Qt's pictures and the scene's plain pixel arrays.
#pragma once

#include <QImage>
#include <QRegion>
#include <span>

#include "image.h"
#include "light_region.h"

namespace zirvak {

// Reads any QImage as 8-bit RGB (alpha dropped), packed as the scene packs colours.
Image ToImage(const QImage& picture);
// The scene's pixels as a QImage for painting.
QImage ToQImage(const Image& image);
// A picture compiled into the program (":/pictures/...").
Image LoadPicture(const char* resource);
// The pixels of `runs` as a region, for repainting the lights alone.
QRegion RegionOfRuns(std::span<const LightRun> runs);

}  // namespace zirvak
