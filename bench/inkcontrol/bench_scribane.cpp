// Speed of the ink control's hot paths: exporting a large rotated image and drawing
// strokes. Both work on the drawing core that the control calls.
#include "ink_core.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

using namespace scribane::ink;

namespace {

// A 2048 x 2048 writing area with some ink in it.
Bitmap signatureArea() {
    Bitmap ink;
    ink.create(2048, 2048);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(0, 2047);
    Point last{pos(rng), pos(rng)};
    for (int i = 0; i < 2000; ++i) {
        const Point next{pos(rng), pos(rng)};
        drawSegment(ink, last, next, 3);
        last = next;
    }
    return ink;
}

// What ImageData does with Rotation 90: turn the ink, then encode the .bmp file.
void BM_ImageData2048Rotation90(benchmark::State& state) {
    const Bitmap ink = signatureArea();
    for (auto _ : state) {
        // The control turns the ink straight into the byte array it hands out.
        auto* bytes = static_cast<uint8_t*>(std::calloc(rotatedBmpSize(ink, 90), 1));
        encodeRotatedBmpInto(bytes, ink, 90, 0x000000, 0xFFFFFF, 3779, 3779);
        benchmark::DoNotOptimize(bytes);
        std::free(bytes);
    }
    state.SetLabel("rotation + BMP encoding");
}
BENCHMARK(BM_ImageData2048Rotation90)->Unit(benchmark::kMillisecond);

// The baseline: the same export with a plain pixel-by-pixel rotation.
void BM_ImageData2048Rotation90Pixelwise(benchmark::State& state) {
    const Bitmap ink = signatureArea();
    for (auto _ : state) {
        Bitmap turned;
        rotatePixelwise(ink, 90, turned);
        auto* bytes = static_cast<uint8_t*>(std::calloc(bmpSize(turned), 1));
        encodeBmpInto(bytes, turned, 0x000000, 0xFFFFFF, 3779, 3779);
        benchmark::DoNotOptimize(bytes);
        std::free(bytes);
    }
    state.SetLabel("pixel loop + BMP encoding");
}
BENCHMARK(BM_ImageData2048Rotation90Pixelwise)->Unit(benchmark::kMillisecond);

void BM_Rotate2048(benchmark::State& state) {
    const Bitmap ink = signatureArea();
    const int angle = int(state.range(0));
    for (auto _ : state) {
        Bitmap turned;
        rotate(ink, angle, turned);
        benchmark::DoNotOptimize(turned.row(0));
    }
}
BENCHMARK(BM_Rotate2048)->Arg(90)->Arg(180)->Arg(270)->Unit(benchmark::kMillisecond);

// 10,000 segments of 10 pixels at pen width 5: a long afternoon of signatures.
void BM_Draw10000Segments(benchmark::State& state) {
    Bitmap ink;
    ink.create(640, 480);
    std::vector<std::pair<Point, Point>> segments;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> px(20, 619), py(20, 459), dir(0, 7);
    static const int dx[] = {10, 8, 0, -6, -10, -8, 0, 6};
    static const int dy[] = {0, 6, 10, 8, 0, -6, -10, -8};
    for (int i = 0; i < 10000; ++i) {
        const Point a{px(rng), py(rng)};
        const int d = dir(rng);
        segments.push_back({a, Point{a.x + dx[d], a.y + dy[d]}});
    }
    for (auto _ : state) {
        for (const auto& [a, b] : segments)
            drawSegment(ink, a, b, 5);
        benchmark::DoNotOptimize(ink.row(0));
    }
}
BENCHMARK(BM_Draw10000Segments)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
