// libFuzzer entry for the ink control's .bmp import: decoding, turning back by each angle
// and placing into a small ink bitmap. Not part of the default build:
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
//     -I inkcontrol/include -I inkcontrol/src \
//     fuzz/scribane_bmp_import.cpp inkcontrol/src/ink_core.cpp -o scribane_bmp_import
//   ./scribane_bmp_import -max_len=4096
#include "ink_core.h"

using namespace scribane::ink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bitmap image;
    if (!decodeBmp(data, size, image))
        return 0;
    for (int angle : {0, 90, 180, 270}) {
        Bitmap back;
        if (!rotate(image, 360 - angle, back))
            continue;
        Bitmap ink;
        if (ink.create(64, 48))
            placeImage(ink, back, angle);
    }
    return 0;
}
