// One animation tick's composition: the full background copy, the lights and a sprite frame,
// at the shipped picture and sheet sizes. A tick comes every 75 ms; this has to stay far below.
#include <benchmark/benchmark.h>

#include "scene.h"

namespace {

using zirvak::Image;
using zirvak::PackRgb;
using zirvak::Scene;

// A photograph-like background whose darker, blue-free pixels make a few thousand lights.
Image MakeBackground() {
    Image image(405, 308);
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t blue = (x * 7 + y * 13) % 97 == 0 ? 3 : 40 + (x + y) % 150;
            image.Set(
                x, y,
                PackRgb(static_cast<uint32_t>(x % 256), static_cast<uint32_t>(y % 256), blue));
        }
    return image;
}

// Magenta frames, each with an opaque disc in its middle.
Image MakeSheet() {
    Image sheet(1500, 700, PackRgb(255, 0, 255));
    for (int32_t y = 0; y < sheet.height; ++y)
        for (int32_t x = 0; x < sheet.width; ++x) {
            const int32_t dx = x % 100 - 50, dy = y % 100 - 50;
            if (dx * dx + dy * dy < 35 * 35)
                sheet.Set(x, y, PackRgb(200, 120, static_cast<uint32_t>(x % 200)));
        }
    return sheet;
}

void BM_ComposeScene(benchmark::State& state) {
    const Image background = MakeBackground();
    Scene scene(background, background, MakeSheet());
    int32_t column = 0;
    for (auto _ : state) {
        // Walk the frames so the first-draw blackening of each is part of the measure too.
        scene.Compose({{{200, 150}, 2}, column * Scene::frameWidth, true, PackRgb(255, 100, 0)});
        column = (column + 1) % Scene::framesPerRow;
        benchmark::DoNotOptimize(scene.backBuffer().pixels.data());
    }
    state.counters["lights"] = static_cast<double>(scene.lightRegion().pixelCount);
}
BENCHMARK(BM_ComposeScene)->Unit(benchmark::kMicrosecond);

}  // namespace
