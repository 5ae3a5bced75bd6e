// The drawing core of the ink control: the one-bit ink bitmap, pen stamps and segment
// stepping, rotation, the BMP image format and the painting of frame, background and
// ink into a 32-bit raster. Plain C++ without Qt, so that every bit can be tested.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <scribane/scribane.h>
#include <vector>

namespace scribane::ink {

// No side of an ink bitmap or imported image may exceed this; it bounds the memory a
// hostile image or an absurd control size can claim (at most 128 MiB of bits).
constexpr int kMaxSide = 32768;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0; // exclusive
    int bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    Rect intersected(const Rect& o) const;
    bool operator==(const Rect&) const = default;
};

// One bit per pixel, rows top-down, stride ((width + 31) / 32) * 4 bytes, most
// significant bit leftmost. Bit 1 is background, bit 0 is ink; padding bits are 0.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;

    enum class Fill { Background, Zero, None };
    // Makes a width x height bitmap filled with background, with zero bits, or left
    // unset (for a caller that writes every byte itself). Returns false, leaving the
    // bitmap null, for a size out of range or when memory runs out.
    bool create(int width, int height, Fill fill = Fill::Background);
    void reset();
    bool isNull() const { return width_ == 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    size_t stride() const { return stride_; }
    uint8_t* row(int y) { return bits_.get() + size_t(y) * stride_; }
    const uint8_t* row(int y) const { return bits_.get() + size_t(y) * stride_; }
    bool pixel(int x, int y) const { return (row(y)[x >> 3] >> (7 - (x & 7))) & 1; }
    void setPixel(int x, int y, bool background);
    // Sets pixels [x0, x1) of row y; the span must lie inside the bitmap.
    void fillSpan(int y, int x0, int x1, bool background);
    size_t byteCount() const { return stride_ * size_t(height_); }
    static size_t strideFor(int width) { return size_t((int64_t(width) + 31) / 32) * 4; }

private:
    int width_ = 0;
    int height_ = 0;
    size_t stride_ = 0;
    std::unique_ptr<uint8_t[]> bits_;
};

// Makes `ink` exactly w x h, keeping the top-left part of an existing bitmap.
// A size without area discards the bitmap; both that and a failed allocation give false.
bool ensureSize(Bitmap& ink, int w, int h);

// Stamps the pen of width `penWidth` at p: a w x w square with its top-left corner at p
// for widths 1 and 2, a filled circle in the w x w box around p from width 3 on.
void stampPen(Bitmap& ink, Point p, int penWidth);

// Calls visit(x, y) for every point of the integer segment a -> b, both ends included,
// each once, in drawing order.
template <class Visit> void stepSegment(Point a, Point b, Visit&& visit) {
    const int dx = a.x < b.x ? b.x - a.x : a.x - b.x;
    const int dy = a.y < b.y ? b.y - a.y : a.y - b.y;
    const int sx = b.x >= a.x ? 1 : -1;
    const int sy = b.y >= a.y ? 1 : -1;
    int x = a.x;
    int y = a.y;
    if (dx >= dy) {
        int err = 2 * dy - dx;
        while (x != b.x) {
            visit(x, y);
            if (err >= 0) {
                y += sy;
                err += 2 * dy - 2 * dx;
            } else {
                err += 2 * dy;
            }
            x += sx;
        }
    } else {
        int err = 2 * dx - dy;
        while (y != b.y) {
            visit(x, y);
            if (err >= 0) {
                x += sx;
                err += 2 * dx - 2 * dy;
            } else {
                err += 2 * dx;
            }
            y += sy;
        }
    }
    visit(b.x, b.y);
}

// Draws the segment a -> b with ink, stamping the pen at every point.
void drawSegment(Bitmap& ink, Point a, Point b, int penWidth);

// The window rectangle to repaint after drawing a -> b (ink coordinates) inside a frame
// of width `border`: the span of both points, moved into window coordinates and grown by
// penWidth / 2 + 1 on every side.
Rect segmentDirtyRect(Point a, Point b, int border, int penWidth);

// Rotation by a multiple of 90 degrees clockwise; normalizeAngle brings any multiple of
// 90 into 0, 90, 180 or 270.
int normalizeAngle(int degrees);
bool rotate(const Bitmap& src, int angle, Bitmap& dst);
// The same result, pixel by pixel: the reference for tests and the benchmark baseline.
bool rotatePixelwise(const Bitmap& src, int angle, Bitmap& dst);

// The exported .bmp file: 62 header and palette bytes, then the bottom-up bits.
// Palette entry 0 is the ink colour, entry 1 the background colour (0x00RRGGBB).
constexpr size_t kBmpHeaderSize = 62;
size_t bmpSize(const Bitmap& image);
// Writes the bmpSize(image) bytes of the file to `out`.
void encodeBmpInto(uint8_t* out, const Bitmap& image, uint32_t inkRgb, uint32_t backRgb,
                   int32_t xPixelsPerMetre, int32_t yPixelsPerMetre);
std::vector<uint8_t> encodeBmp(const Bitmap& image, uint32_t inkRgb, uint32_t backRgb,
                               int32_t xPixelsPerMetre, int32_t yPixelsPerMetre);
void writeBmpHeader(uint8_t* out, int width, int height, size_t imageSize, uint32_t inkRgb,
                    uint32_t backRgb, int32_t xPixelsPerMetre, int32_t yPixelsPerMetre);
// Export in one pass: the ink turned by `angle` straight into the file's bottom-up rows,
// the same bytes as encodeBmp of the rotated bitmap.
size_t rotatedBmpSize(const Bitmap& ink, int angle);
bool encodeRotatedBmpInto(uint8_t* out, const Bitmap& ink, int angle, uint32_t inkRgb,
                          uint32_t backRgb, int32_t xPixelsPerMetre, int32_t yPixelsPerMetre);

// Reads a one-bit, uncompressed .bmp. Refuses (false) anything whose headers are not
// "BM" + planes 1, bits per pixel 1, compression 0, image size S > 0, width >= 1,
// height != 0 (either direction), with S >= stride * |height| and the bits
// [offset, offset + S) inside the data, and sides up to kMaxSide.
bool decodeBmp(const uint8_t* data, size_t size, Bitmap& out);

// Copies an imported image (already turned back by -angle) into the ink bitmap at the
// corner that matches `angle`, cutting off what does not fit.
Point importOrigin(int inkWidth, int inkHeight, int imageWidth, int imageHeight, int angle);
void placeImage(Bitmap& ink, const Bitmap& image, int angle);

// ---------------------------------------------------------------------------------------
// Colours

constexpr int kSystemColorCount = 31;
// The classic system colour scheme (0x00RRGGBB), by index.
const uint32_t* classicSystemColors();
// OLE_COLOR (0x00BBGGRR, or 0x80000000 | system colour index) to 0x00RRGGBB.
uint32_t resolveColor(uint32_t oleColor, const uint32_t* systemColors);

// ---------------------------------------------------------------------------------------
// Painting

struct PaintInput {
    const Bitmap* ink = nullptr; // null when there is no writing area
    int border = 0;
    uint32_t backRgb = 0xFFFFFF;
    uint32_t inkRgb = 0;
    uint32_t borderRgb = 0;
    const uint32_t* image = nullptr; // background image, rows of 0x??RRGGBB, tightly packed
    int imageWidth = 0;
    int imageHeight = 0;
};

// Paints the control into `target` within `bounds` (the control rectangle in target
// coordinates), touching only pixels inside the target's clip box. `buffer` is the
// kept paint buffer used to compose a background image with the ink.
void paintControl(ScribaneSurface& target, const Rect& bounds, const PaintInput& in,
                  std::vector<uint32_t>& buffer);

// ---------------------------------------------------------------------------------------
// Persisted properties: a 32-bit version, then each property as a variant (16-bit type,
// then 2 bytes for a boolean or 16-bit integer, 4 for an integer or colour, 1 for a byte,
// and for a text a 32-bit byte count including the 2-byte terminator, 0 for no text,
// followed by those bytes).

constexpr uint32_t kStreamVersion = 0x0300;
constexpr uint32_t kMaxPersistedTextBytes = 1u << 20;

void writeStreamVersion(std::vector<uint8_t>& out);
// False for a type that cannot be persisted.
bool writeVariant(std::vector<uint8_t>& out, const VARIANT& v);

enum class ReadResult { Ok, Truncated, NewerVersion, BadType, TooLong };
// `read` fills exactly n bytes or returns false at the end of the data.
using ReadExact = std::function<bool(void* buffer, size_t n)>;
ReadResult readStreamVersion(const ReadExact& read);
// On Ok, `out` holds a new variant the caller clears.
ReadResult readVariant(const ReadExact& read, VARIANT* out);

} // namespace scribane::ink
