#include "image_conversion.h"

#include <vector>

namespace zirvak {

Image ToImage(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    Image image(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* line = rgb.constScanLine(y);
        uint32_t* row = image.Row(y);
        for (int x = 0; x < rgb.width(); ++x)
            row[x] = PackRgb(line[3 * x], line[3 * x + 1], line[3 * x + 2]);
    }
    return image;
}

QImage ToQImage(const Image& image) {
    QImage out(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        const uint32_t* row = image.Row(y);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x)
            line[x] = qRgb(int(row[x] & 0xFF), int(row[x] >> 8 & 0xFF), int(row[x] >> 16 & 0xFF));
    }
    return out;
}

Image LoadPicture(const char* resource) {
    return ToImage(QImage(QString::fromLatin1(resource)));
}

QRegion RegionOfRuns(std::span<const LightRun> runs) {
    std::vector<QRect> rects;
    rects.reserve(runs.size());
    for (const LightRun& run : runs) rects.emplace_back(run.x0, run.y, run.x1 - run.x0, 1);
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}

}  // namespace zirvak
