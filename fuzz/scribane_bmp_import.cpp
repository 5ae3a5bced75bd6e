// The ink control's .bmp import: decoding, turning back by each angle and placing into
// a small ink bitmap. Built with KORVANE_FUZZ=ON; `make fuzz` runs it.
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
