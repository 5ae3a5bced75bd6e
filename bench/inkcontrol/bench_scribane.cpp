// Speed of the ink control's hot paths: exporting a large rotated image and drawing
// strokes. Both work on the drawing core that the control calls.
#include "ink_core.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>
#include <scribane/scribane.h>

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

// The same through the control itself, as a host reads it: IDispatch::Invoke of the
// ImageData property on a control with a 2048 x 2048 writing area and Rotation 90.
void BM_ControlImageData2048Rotation90(benchmark::State& state) {
    auto get = reinterpret_cast<DllGetClassObjectFn>(
        dlsym(scribane::loadModule(SCRIBANE_MODULE), "DllGetClassObject"));
    IClassFactory* factory = nullptr;
    IDispatch* control = nullptr;
    if (!get ||
        FAILED(get(CLSID_InkControl, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(
            factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&control)))) {
        state.SkipWithError("the control could not be created");
        return;
    }
    factory->Release();
    IOleInPlaceObject* place = nullptr;
    control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&place));
    RECT r{0, 0, 2048, 2048};
    place->SetObjectRects(&r, &r);
    place->Release();
    auto invoke = [control](DISPID id, WORD flags, VARIANT* arg, VARIANT* result) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS p{arg, arg ? &named : nullptr, arg ? 1u : 0u, arg ? 1u : 0u};
        return control->Invoke(id, IID_NULL, 0, flags, &p, result, nullptr, nullptr);
    };
    // Some ink, loaded as an image.
    const auto bmp = encodeBmp(signatureArea(), 0, 0xFFFFFF, 0, 0);
    VARIANT image;
    VariantInit(&image);
    image.vt = VT_ARRAY | VT_UI1;
    image.parray = SafeArrayCreateVector(VT_UI1, 0, ULONG(bmp.size()));
    std::copy(bmp.begin(), bmp.end(), static_cast<uint8_t*>(image.parray->pvData));
    invoke(DISPID_INK_IMAGEDATA, DISPATCH_PROPERTYPUT, &image, nullptr);
    VariantClear(&image);
    VARIANT angle;
    VariantInit(&angle);
    angle.vt = VT_I4;
    angle.lVal = 90;
    invoke(DISPID_INK_ROTATION, DISPATCH_PROPERTYPUT, &angle, nullptr);
    for (auto _ : state) {
        VARIANT out;
        VariantInit(&out);
        if (invoke(DISPID_INK_IMAGEDATA, DISPATCH_PROPERTYGET, nullptr, &out) != S_OK) {
            state.SkipWithError("ImageData failed");
            break;
        }
        benchmark::DoNotOptimize(out.parray);
        VariantClear(&out);
    }
    control->Release();
    state.SetLabel("IDispatch ImageData get");
}
BENCHMARK(BM_ControlImageData2048Rotation90)->Unit(benchmark::kMillisecond);

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
