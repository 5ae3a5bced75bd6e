#include "ink_core.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scribane::ink {

Rect Rect::intersected(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
           std::min(bottom, o.bottom)};
    if (r.empty())
        return Rect{};
    return r;
}

// ---------------------------------------------------------------------------------------
// Bitmap

Bitmap::Bitmap(const Bitmap& other) {
    *this = other;
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
    if (this == &other)
        return *this;
    reset();
    if (other.isNull() || !create(other.width_, other.height_, Fill::None))
        return *this;
    std::copy(other.bits_.get(), other.bits_.get() + other.byteCount(), bits_.get());
    return *this;
}

bool Bitmap::create(int width, int height, Fill fill) {
    reset();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const size_t stride = strideFor(width);
    bits_.reset(new (std::nothrow) uint8_t[stride * size_t(height)]);
    if (!bits_)
        return false;
    width_ = width;
    height_ = height;
    stride_ = stride;
    if (fill == Fill::Zero) {
        std::fill(bits_.get(), bits_.get() + byteCount(), uint8_t(0));
    } else if (fill == Fill::Background) {
        const size_t full = size_t(width) / 8;
        const int rest = width % 8;
        for (int y = 0; y < height; ++y) {
            uint8_t* r = row(y);
            std::fill(r, r + full, uint8_t(0xFF));
            size_t next = full;
            if (rest)
                r[next++] = uint8_t(0xFF << (8 - rest));
            std::fill(r + next, r + stride, uint8_t(0));
        }
    }
    return true;
}

void Bitmap::reset() {
    width_ = height_ = 0;
    stride_ = 0;
    bits_.reset();
}

void Bitmap::setPixel(int x, int y, bool background) {
    uint8_t& b = row(y)[x >> 3];
    const uint8_t mask = uint8_t(0x80 >> (x & 7));
    b = background ? uint8_t(b | mask) : uint8_t(b & ~mask);
}

void Bitmap::fillSpan(int y, int x0, int x1, bool background) {
    if (x1 <= x0)
        return;
    uint8_t* r = row(y);
    const int b0 = x0 >> 3;
    const int b1 = (x1 - 1) >> 3;
    const uint8_t m0 = uint8_t(0xFF >> (x0 & 7));
    const uint8_t m1 = uint8_t(0xFF << (7 - ((x1 - 1) & 7)));
    auto apply = [background](uint8_t& b, uint8_t m) {
        b = background ? uint8_t(b | m) : uint8_t(b & ~m);
    };
    if (b0 == b1) {
        apply(r[b0], uint8_t(m0 & m1));
        return;
    }
    apply(r[b0], m0);
    if (b1 > b0 + 1)
        std::fill(r + b0 + 1, r + b1, background ? uint8_t(0xFF) : uint8_t(0));
    apply(r[b1], m1);
}

bool ensureSize(Bitmap& ink, int w, int h) {
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        ink.reset();
        return false;
    }
    if (!ink.isNull() && ink.width() == w && ink.height() == h)
        return true;
    Bitmap fresh;
    if (!fresh.create(w, h))
        return false;
    if (!ink.isNull()) {
        const int cw = std::min(w, ink.width());
        const int ch = std::min(h, ink.height());
        const size_t full = size_t(cw) / 8;
        const int rest = cw % 8;
        for (int y = 0; y < ch; ++y) {
            const uint8_t* s = ink.row(y);
            uint8_t* d = fresh.row(y);
            std::copy(s, s + full, d);
            if (rest) {
                const uint8_t m = uint8_t(0xFF << (8 - rest));
                d[full] = uint8_t((s[full] & m) | (d[full] & ~m));
            }
        }
    }
    ink = std::move(fresh);
    return true;
}

// ---------------------------------------------------------------------------------------
// Pen stamps

namespace {

// Columns [first, w - first) of row r of the w x w circle: the pixels whose centres lie
// inside the circle inscribed in the box, (2c + 1 - w)^2 + (2r + 1 - w)^2 <= w^2.
int circleInset(int64_t w, int64_t r) {
    const int64_t e = 2 * r + 1 - w;
    const int64_t room = w * w - e * e;
    if (room < 0)
        return int(w);
    int64_t s = int64_t(std::sqrt(double(room)));
    while (s * s > room)
        --s;
    while ((s + 1) * (s + 1) <= room)
        ++s;
    // smallest c with |2c + 1 - w| <= s
    int64_t c = (w - 1 - s + 1) / 2;
    if (c < 0)
        c = 0;
    return int(c);
}

struct CircleTable {
    int width = 0;
    std::vector<int> inset;
    const std::vector<int>& get(int w) {
        if (w != width) {
            inset.resize(size_t(w));
            for (int r = 0; r < w; ++r)
                inset[size_t(r)] = circleInset(w, r);
            width = w;
        }
        return inset;
    }
};

constexpr int kCircleTableLimit = 4096;

void stampWith(Bitmap& ink, Point p, int w, const std::vector<int>* table) {
    if (w < 1)
        return;
    const int64_t W = ink.width();
    const int64_t H = ink.height();
    if (w <= 2) {
        const int64_t x0 = std::max<int64_t>(p.x, 0);
        const int64_t x1 = std::min<int64_t>(int64_t(p.x) + w, W);
        const int64_t y0 = std::max<int64_t>(p.y, 0);
        const int64_t y1 = std::min<int64_t>(int64_t(p.y) + w, H);
        for (int64_t y = y0; y < y1; ++y)
            ink.fillSpan(int(y), int(x0), int(x1), false);
        return;
    }
    const int64_t left = int64_t(p.x) - w / 2;
    const int64_t top = int64_t(p.y) - w / 2;
    const int64_t r0 = std::max<int64_t>(0, -top);
    const int64_t r1 = std::min<int64_t>(w, H - top);
    for (int64_t r = r0; r < r1; ++r) {
        const int64_t c = table ? (*table)[size_t(r)] : circleInset(w, r);
        if (c >= w)
            continue;
        const int64_t x0 = std::max<int64_t>(left + c, 0);
        const int64_t x1 = std::min<int64_t>(left + w - c, W);
        if (x0 < x1)
            ink.fillSpan(int(top + r), int(x0), int(x1), false);
    }
}

} // namespace

void stampPen(Bitmap& ink, Point p, int penWidth) {
    if (ink.isNull())
        return;
    stampWith(ink, p, penWidth, nullptr);
}

void drawSegment(Bitmap& ink, Point a, Point b, int penWidth) {
    if (ink.isNull() || penWidth < 1)
        return;
    thread_local CircleTable circles;
    const std::vector<int>* table =
        penWidth >= 3 && penWidth <= kCircleTableLimit ? &circles.get(penWidth) : nullptr;
    stepSegment(a, b, [&](int x, int y) { stampWith(ink, Point{x, y}, penWidth, table); });
}

Rect segmentDirtyRect(Point a, Point b, int border, int penWidth) {
    const int64_t grow = int64_t(std::max(penWidth, 0)) / 2 + 1;
    auto clamp = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return Rect{clamp(int64_t(std::min(a.x, b.x)) + border - grow),
                clamp(int64_t(std::min(a.y, b.y)) + border - grow),
                clamp(int64_t(std::max(a.x, b.x)) + border + grow),
                clamp(int64_t(std::max(a.y, b.y)) + border + grow)};
}

// ---------------------------------------------------------------------------------------
// Rotation

int normalizeAngle(int degrees) {
    int a = degrees % 360;
    if (a < 0)
        a += 360;
    return a;
}

namespace {

// Transposes an 8 x 8 bit block held as eight row bytes, the first row in the most
// significant byte and the leftmost pixel in each byte's most significant bit.
inline uint64_t transpose8(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x = x ^ t ^ (t << 28);
    return x;
}

// dst = transpose of src, where src may be read bottom row first and dst written
// bottom row first. 90 degrees clockwise is the transpose of the upside-down source;
// 270 is the upside-down transpose. dst must be a zeroed src.height() x src.width().
#if defined(__SSE2__)
// Transposes 16 source rows x 128 columns at once: a 16 x 16 byte transpose gathers
// each source byte column of the 16 rows into one register, and each movemask then
// yields one destination row's 16 bits. `in` holds the 16 rows, the first at in[0].
inline void transposeTile16(const uint8_t* const* in, int byteColumn, uint8_t* out,
                            ptrdiff_t step) {
    __m128i r[16], a[16], b[16], c[16];
    // Reversed, so that movemask's bit 15 (the leftmost pixel) is the first row.
    for (int k = 0; k < 16; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in[15 - k] + byteColumn));
    for (int i = 0; i < 8; ++i) {
        a[2 * i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
        a[2 * i + 1] = _mm_unpackhi_epi8(r[2 * i], r[2 * i + 1]);
    }
    for (int p = 0; p < 4; ++p) {
        for (int h = 0; h < 2; ++h) {
            const __m128i x = a[4 * p + h], y = a[4 * p + 2 + h];
            b[4 * p + 2 * h] = _mm_unpacklo_epi16(x, y);
            b[4 * p + 2 * h + 1] = _mm_unpackhi_epi16(x, y);
        }
    }
    for (int o = 0; o < 2; ++o) {
        for (int q = 0; q < 4; ++q) {
            const __m128i x = b[8 * o + q], y = b[8 * o + 4 + q];
            c[8 * o + 2 * q] = _mm_unpacklo_epi32(x, y);
            c[8 * o + 2 * q + 1] = _mm_unpackhi_epi32(x, y);
        }
    }
    for (int m = 0; m < 8; ++m) {
        const __m128i columns[2] = {_mm_unpacklo_epi64(c[m], c[8 + m]),
                                    _mm_unpackhi_epi64(c[m], c[8 + m])};
        for (const __m128i& column : columns) {
            __m128i v = column;
            for (int j = 0; j < 8; ++j, out += step) {
                const unsigned bits = unsigned(_mm_movemask_epi8(v));
                out[0] = uint8_t(bits >> 8);
                out[1] = uint8_t(bits);
                v = _mm_add_epi8(v, v); // next pixel into each byte's top bit
            }
        }
    }
}
#endif

// Writes the transpose of src (H x W becomes W x H) into rows base + r * step, where src
// may be read bottom row first. 90 degrees clockwise is the transpose of the upside-down
// source; 270 is the upside-down transpose.
void transposeBlocks(const Bitmap& src, bool flipSource, uint8_t* base, ptrdiff_t step,
                     size_t destStride) {
    const int W = src.width();
    const int H = src.height();
    const int srcBytes = (W + 7) / 8; // source byte columns = 8-row groups of the dest
    static const uint8_t zeros[kMaxSide / 8] = {};
    for (int r = 0; r < W; ++r) {
        uint8_t* d = base + ptrdiff_t(r) * step;
        std::fill(d + (H + 7) / 8, d + destStride, uint8_t(0));
    }
    auto sourceRow = [&](int i) -> const uint8_t* {
        return i < H ? src.row(flipSource ? H - 1 - i : i) : zeros;
    };
    // One 8 x 8 block: source rows in[0..7] at byte ib, to dest byte column `column`.
    auto block = [&](const uint8_t* const* in, int ib, int column) {
        uint64_t x = uint64_t(in[0][ib]) << 56 | uint64_t(in[1][ib]) << 48 |
                     uint64_t(in[2][ib]) << 40 | uint64_t(in[3][ib]) << 32 |
                     uint64_t(in[4][ib]) << 24 | uint64_t(in[5][ib]) << 16 |
                     uint64_t(in[6][ib]) << 8 | uint64_t(in[7][ib]);
        // Blank and solid blocks are their own transpose; most of a signature is blank.
        if (x != ~0ull && x != 0)
            x = transpose8(x);
        const int rows = std::min(8, W - ib * 8);
        uint8_t* out = base + ptrdiff_t(ib) * 8 * step + column;
        for (int k = 0; k < rows; ++k)
            out[k * step] = uint8_t(x >> (56 - 8 * k));
    };
    const int groups = (H + 15) / 16;
#if defined(__SSE2__)
    const int tiles = (W / 8) / 16; // 16-byte column tiles made only of whole bytes
#else
    const int tiles = 0;
#endif
    for (int g = 0; g < groups; ++g) {
        const uint8_t* in[16];
        for (int k = 0; k < 16; ++k)
            in[k] = sourceRow(g * 16 + k);
#if defined(__SSE2__)
        for (int t = 0; t < tiles; ++t)
            transposeTile16(in, t * 16, base + ptrdiff_t(t) * 128 * step + 2 * g, step);
#endif
        for (int ib = tiles * 16; ib < srcBytes; ++ib) {
            block(in, ib, 2 * g);
            block(in + 8, ib, 2 * g + 1);
        }
    }
}

const uint8_t* reversedBits() {
    static const auto table = [] {
        std::vector<uint8_t> t(256);
        for (int i = 0; i < 256; ++i) {
            uint8_t r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b))
                    r = uint8_t(r | (0x80 >> b));
            t[size_t(i)] = r;
        }
        return t;
    }();
    return table.data();
}

void rotate180(const Bitmap& src, uint8_t* base, ptrdiff_t step, size_t destStride) {
    const int W = src.width();
    const int H = src.height();
    const int nb = (W + 7) / 8;
    const int shift = nb * 8 - W;
    const uint8_t* rev = reversedBits();
    for (int y = 0; y < H; ++y) {
        const uint8_t* s = src.row(H - 1 - y);
        uint8_t* d = base + ptrdiff_t(y) * step;
        for (int i = 0; i < nb; ++i)
            d[i] = rev[s[nb - 1 - i]];
        if (shift) {
            for (int i = 0; i < nb - 1; ++i)
                d[i] = uint8_t((d[i] << shift) | (d[i + 1] >> (8 - shift)));
            d[nb - 1] = uint8_t(d[nb - 1] << shift);
        }
        std::fill(d + nb, d + destStride, uint8_t(0));
    }
}

// Writes src turned by `angle` (0, 90, 180 or 270) into rows base + r * step.
void rotateRows(const Bitmap& src, int angle, uint8_t* base, ptrdiff_t step, size_t destStride) {
    const int W = src.width();
    switch (angle) {
    case 0:
        for (int y = 0; y < src.height(); ++y)
            std::copy(src.row(y), src.row(y) + src.stride(), base + ptrdiff_t(y) * step);
        break;
    case 90:
        transposeBlocks(src, true, base, step, destStride);
        break;
    case 180:
        rotate180(src, base, step, destStride);
        break;
    default:
        transposeBlocks(src, false, base + ptrdiff_t(W - 1) * step, -step, destStride);
        break;
    }
}

bool makeDest(const Bitmap& src, int angle, Bitmap& dst) {
    if (src.isNull() || angle % 90 != 0)
        return false;
    const bool turned = angle == 90 || angle == 270;
    return dst.create(turned ? src.height() : src.width(), turned ? src.width() : src.height(),
                      Bitmap::Fill::Zero);
}

} // namespace

bool rotate(const Bitmap& src, int angle, Bitmap& dst) {
    angle = normalizeAngle(angle);
    if (src.isNull() || angle % 90 != 0)
        return false;
    const bool turned = angle == 90 || angle == 270;
    Bitmap out;
    // Every byte of the result is written below.
    if (!out.create(turned ? src.height() : src.width(), turned ? src.width() : src.height(),
                    Bitmap::Fill::None))
        return false;
    rotateRows(src, angle, out.row(0), ptrdiff_t(out.stride()), out.stride());
    dst = std::move(out);
    return true;
}

bool rotatePixelwise(const Bitmap& src, int angle, Bitmap& dst) {
    angle = normalizeAngle(angle);
    Bitmap out;
    if (!makeDest(src, angle, out))
        return false;
    const int W = src.width();
    const int H = src.height();
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const bool bit = src.pixel(x, y);
            switch (angle) {
            case 0:
                out.setPixel(x, y, bit);
                break;
            case 90:
                out.setPixel(H - 1 - y, x, bit);
                break;
            case 180:
                out.setPixel(W - 1 - x, H - 1 - y, bit);
                break;
            default:
                out.setPixel(y, W - 1 - x, bit);
                break;
            }
        }
    }
    dst = std::move(out);
    return true;
}

// ---------------------------------------------------------------------------------------
// BMP

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
uint32_t get16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void putRgbQuad(uint8_t* p, uint32_t rgb) {
    p[0] = uint8_t(rgb);       // blue
    p[1] = uint8_t(rgb >> 8);  // green
    p[2] = uint8_t(rgb >> 16); // red
    p[3] = 0;
}

} // namespace

size_t bmpSize(const Bitmap& image) {
    return image.isNull() ? 0 : kBmpHeaderSize + image.byteCount();
}

void writeBmpHeader(uint8_t* h, int width, int height, size_t S, uint32_t inkRgb, uint32_t backRgb,
                    int32_t xPixelsPerMetre, int32_t yPixelsPerMetre) {
    std::fill(h, h + kBmpHeaderSize, uint8_t(0));
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, uint32_t(kBmpHeaderSize + S));
    put32(h + 10, uint32_t(kBmpHeaderSize));
    put32(h + 14, 40);
    put32(h + 18, uint32_t(width));
    put32(h + 22, uint32_t(height));
    put16(h + 26, 1);
    put16(h + 28, 1);
    put32(h + 30, 0);
    put32(h + 34, uint32_t(S));
    put32(h + 38, uint32_t(xPixelsPerMetre));
    put32(h + 42, uint32_t(yPixelsPerMetre));
    put32(h + 46, 2);
    put32(h + 50, 2);
    putRgbQuad(h + 54, inkRgb);
    putRgbQuad(h + 58, backRgb);
}

void encodeBmpInto(uint8_t* h, const Bitmap& image, uint32_t inkRgb, uint32_t backRgb,
                   int32_t xPixelsPerMetre, int32_t yPixelsPerMetre) {
    if (image.isNull())
        return;
    const size_t stride = image.stride();
    writeBmpHeader(h, image.width(), image.height(), image.byteCount(), inkRgb, backRgb,
                   xPixelsPerMetre, yPixelsPerMetre);
    uint8_t* bits = h + kBmpHeaderSize;
    const int H = image.height();
    for (int y = 0; y < H; ++y) {
        const uint8_t* r = image.row(H - 1 - y);
        std::copy(r, r + stride, bits + size_t(y) * stride);
    }
}

size_t rotatedBmpSize(const Bitmap& ink, int angle) {
    angle = normalizeAngle(angle);
    if (ink.isNull() || angle % 90 != 0)
        return 0;
    const bool turned = angle == 90 || angle == 270;
    const int w = turned ? ink.height() : ink.width();
    const int h = turned ? ink.width() : ink.height();
    return kBmpHeaderSize + Bitmap::strideFor(w) * size_t(h);
}

bool encodeRotatedBmpInto(uint8_t* out, const Bitmap& ink, int angle, uint32_t inkRgb,
                          uint32_t backRgb, int32_t xPixelsPerMetre, int32_t yPixelsPerMetre) {
    angle = normalizeAngle(angle);
    if (ink.isNull() || angle % 90 != 0)
        return false;
    const bool turned = angle == 90 || angle == 270;
    const int w = turned ? ink.height() : ink.width();
    const int h = turned ? ink.width() : ink.height();
    const size_t stride = Bitmap::strideFor(w);
    writeBmpHeader(out, w, h, stride * size_t(h), inkRgb, backRgb, xPixelsPerMetre,
                   yPixelsPerMetre);
    // The file's rows run bottom-up: row r of the turned image is file row h - 1 - r.
    uint8_t* bits = out + kBmpHeaderSize;
    rotateRows(ink, angle, bits + ptrdiff_t(h - 1) * ptrdiff_t(stride), -ptrdiff_t(stride), stride);
    return true;
}

std::vector<uint8_t> encodeBmp(const Bitmap& image, uint32_t inkRgb, uint32_t backRgb,
                               int32_t xPixelsPerMetre, int32_t yPixelsPerMetre) {
    std::vector<uint8_t> out;
    try {
        out.resize(bmpSize(image));
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!out.empty())
        encodeBmpInto(out.data(), image, inkRgb, backRgb, xPixelsPerMetre, yPixelsPerMetre);
    return out;
}

bool decodeBmp(const uint8_t* data, size_t size, Bitmap& out) {
    constexpr size_t kHeaders = 14 + 40;
    if (!data || size < kHeaders || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t offset = get32(data + 10);
    const int32_t width = int32_t(get32(data + 18));
    const int32_t height = int32_t(get32(data + 22));
    const uint32_t planes = get16(data + 26);
    const uint32_t bpp = get16(data + 28);
    const uint32_t compression = get32(data + 30);
    const uint32_t S = get32(data + 34);
    if (planes != 1 || bpp != 1 || compression != 0 || S == 0)
        return false;
    if (width < 1 || height == 0)
        return false;
    const int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
    if (width > kMaxSide || rows > kMaxSide)
        return false;
    const uint64_t stride = Bitmap::strideFor(width);
    if (uint64_t(S) < stride * uint64_t(rows))
        return false;
    if (uint64_t(offset) + uint64_t(S) > uint64_t(size))
        return false;
    Bitmap image;
    if (!image.create(width, int(rows), Bitmap::Fill::Zero))
        return false;
    const uint8_t* bits = data + offset;
    const size_t used = (size_t(width) + 7) / 8;
    const int rest = width % 8;
    for (int64_t i = 0; i < rows; ++i) {
        const int y = int(height > 0 ? rows - 1 - i : i);
        const uint8_t* s = bits + size_t(i) * stride;
        uint8_t* d = image.row(y);
        std::copy(s, s + used, d);
        if (rest)
            d[used - 1] = uint8_t(d[used - 1] & (0xFF << (8 - rest)));
    }
    out = std::move(image);
    return true;
}

Point importOrigin(int inkWidth, int inkHeight, int imageWidth, int imageHeight, int angle) {
    switch (normalizeAngle(angle)) {
    case 90:
        return {0, inkHeight - imageHeight};
    case 180:
        return {inkWidth - imageWidth, inkHeight - imageHeight};
    case 270:
        return {inkWidth - imageWidth, 0};
    default:
        return {0, 0};
    }
}

void placeImage(Bitmap& ink, const Bitmap& image, int angle) {
    if (ink.isNull() || image.isNull())
        return;
    const Point o = importOrigin(ink.width(), ink.height(), image.width(), image.height(), angle);
    const Rect target = Rect{o.x, o.y, o.x + image.width(), o.y + image.height()}.intersected(
        Rect{0, 0, ink.width(), ink.height()});
    for (int y = target.top; y < target.bottom; ++y) {
        const int sy = y - o.y;
        for (int x = target.left; x < target.right; ++x)
            ink.setPixel(x, y, image.pixel(x - o.x, sy));
    }
}

// ---------------------------------------------------------------------------------------
// Colours

const uint32_t* classicSystemColors() {
    static const uint32_t colors[kSystemColorCount] = {
        0xC0C0C0, // 0 scroll bar
        0x008080, // 1 desktop
        0x000080, // 2 active caption
        0x808080, // 3 inactive caption
        0xC0C0C0, // 4 menu
        0xFFFFFF, // 5 window
        0x000000, // 6 window frame
        0x000000, // 7 menu text
        0x000000, // 8 window text
        0xFFFFFF, // 9 caption text
        0xC0C0C0, // 10 active border
        0xC0C0C0, // 11 inactive border
        0x808080, // 12 application workspace
        0x000080, // 13 highlight
        0xFFFFFF, // 14 highlight text
        0xC0C0C0, // 15 button face
        0x808080, // 16 button shadow
        0x808080, // 17 grey text
        0x000000, // 18 button text
        0xC0C0C0, // 19 inactive caption text
        0xFFFFFF, // 20 button highlight
        0x000000, // 21 3-D dark shadow
        0xDFDFDF, // 22 3-D light
        0x000000, // 23 tooltip text
        0xFFFFE1, // 24 tooltip background
        0xB5B5B5, // 25 unused
        0x0000FF, // 26 hot-tracking
        0x1084D0, // 27 active caption gradient
        0xB5B5B5, // 28 inactive caption gradient
        0x000080, // 29 menu highlight
        0xC0C0C0, // 30 menu bar
    };
    return colors;
}

uint32_t resolveColor(uint32_t oleColor, const uint32_t* systemColors) {
    if (oleColor & 0x80000000u) {
        const uint32_t index = oleColor & 0xFFu;
        return index < uint32_t(kSystemColorCount) ? systemColors[index] & 0xFFFFFFu : 0u;
    }
    const uint32_t r = oleColor & 0xFF;
    const uint32_t g = (oleColor >> 8) & 0xFF;
    const uint32_t b = (oleColor >> 16) & 0xFF;
    return r << 16 | g << 8 | b;
}

// ---------------------------------------------------------------------------------------
// Painting

namespace {

void fillRect(ScribaneSurface& s, const Rect& r, uint32_t rgb) {
    const uint32_t px = 0xFF000000u | rgb;
    for (int y = r.top; y < r.bottom; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(s.pixels) +
                                                 size_t(y) * size_t(s.strideBytes));
        std::fill(line + r.left, line + r.right, px);
    }
}

uint32_t* surfaceRow(ScribaneSurface& s, int y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(s.pixels) +
                                       size_t(y) * size_t(s.strideBytes));
}

// Ink pixel of window point (x, y) with the writing area at `origin`; outside the bitmap
// is background. Wide arithmetic: the control may sit anywhere in 32-bit coordinates.
inline bool background(const Bitmap& ink, int x, int y, const Rect& origin) {
    const int64_t ix = int64_t(x) - origin.left;
    const int64_t iy = int64_t(y) - origin.top;
    if (ix < 0 || iy < 0 || ix >= ink.width() || iy >= ink.height())
        return true;
    return ink.pixel(int(ix), int(iy));
}

} // namespace

void paintControl(ScribaneSurface& target, const Rect& bounds, const PaintInput& in,
                  std::vector<uint32_t>& buffer) {
    if (!target.pixels || target.width <= 0 || target.height <= 0 ||
        int64_t(target.strideBytes) < int64_t(target.width) * 4)
        return;
    const Rect clip =
        Rect{target.clip.left, target.clip.top, target.clip.right, target.clip.bottom}.intersected(
            Rect{0, 0, target.width, target.height});
    if (clip.empty())
        return;
    const int B = std::max(in.border, 0);
    const Rect& R = bounds;
    if (B > 0) {
        const int64_t l = R.left, t = R.top, r = R.right, b = R.bottom;
        auto strip = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
            auto c = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
            fillRect(target, Rect{c(x0), c(y0), c(x1), c(y1)}.intersected(clip), in.borderRgb);
        };
        strip(l, t, r, t + B);
        strip(l, b - B, r, b);
        strip(l, t, l + B, b);
        strip(r - B, t, r, b);
    }
    const int64_t il = int64_t(R.left) + B, it = int64_t(R.top) + B;
    const int64_t ir = int64_t(R.right) - B, ib = int64_t(R.bottom) - B;
    if (ir <= il || ib <= it)
        return;
    const Rect I{int(il), int(it), int(ir), int(ib)};
    const Rect V = I.intersected(clip);
    if (V.empty())
        return;
    if (!in.ink || in.ink->isNull()) {
        fillRect(target, V, in.backRgb);
        return;
    }
    const uint32_t back = 0xFF000000u | in.backRgb;
    const uint32_t fore = 0xFF000000u | in.inkRgb;
    const Bitmap& ink = *in.ink;
    const bool withImage = in.image && in.imageWidth > 0 && in.imageHeight > 0;
    if (withImage) {
        const size_t count = size_t(V.width()) * size_t(V.height());
        bool ok = true;
        try {
            if (buffer.size() != count)
                buffer.assign(count, 0);
        } catch (const std::bad_alloc&) {
            buffer = {};
            ok = false;
        }
        if (ok) {
            std::fill(buffer.begin(), buffer.end(), back);
            // The image sits unscaled at I's top-left corner.
            const Rect imageRect =
                Rect{I.left, I.top,
                     int(std::min<int64_t>(int64_t(I.left) + in.imageWidth, INT32_MAX)),
                     int(std::min<int64_t>(int64_t(I.top) + in.imageHeight, INT32_MAX))}
                    .intersected(V);
            for (int y = imageRect.top; y < imageRect.bottom; ++y) {
                const uint32_t* src = in.image + size_t(y - I.top) * size_t(in.imageWidth) +
                                      size_t(imageRect.left - I.left);
                uint32_t* dst = buffer.data() + size_t(y - V.top) * size_t(V.width()) +
                                size_t(imageRect.left - V.left);
                for (int x = 0; x < imageRect.width(); ++x)
                    dst[x] = 0xFF000000u | src[x];
            }
            // Transparent overlay: background bits keep the picture, ink bits take the
            // ink colour.
            for (int y = V.top; y < V.bottom; ++y) {
                uint32_t* dst = buffer.data() + size_t(y - V.top) * size_t(V.width());
                for (int x = V.left; x < V.right; ++x)
                    if (!background(ink, x, y, I))
                        dst[x - V.left] = fore;
            }
            for (int y = V.top; y < V.bottom; ++y) {
                const uint32_t* src = buffer.data() + size_t(y - V.top) * size_t(V.width());
                std::copy(src, src + V.width(), surfaceRow(target, y) + V.left);
            }
            return;
        }
    }
    for (int y = V.top; y < V.bottom; ++y) {
        uint32_t* dst = surfaceRow(target, y);
        for (int x = V.left; x < V.right; ++x)
            dst[x] = background(ink, x, y, I) ? back : fore;
    }
}

// ---------------------------------------------------------------------------------------
// Persisted properties

namespace {
void append(std::vector<uint8_t>& out, const void* p, size_t n) {
    auto* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}
void append16(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[2];
    put16(b, v);
    append(out, b, 2);
}
void append32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    put32(b, v);
    append(out, b, 4);
}
} // namespace

void writeStreamVersion(std::vector<uint8_t>& out) {
    append32(out, kStreamVersion);
}

bool writeVariant(std::vector<uint8_t>& out, const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY:
        append16(out, v.vt);
        return true;
    case VT_BOOL:
    case VT_I2:
        append16(out, v.vt);
        append16(out, uint16_t(v.iVal));
        return true;
    case VT_UI1:
        append16(out, v.vt);
        out.push_back(v.bVal);
        return true;
    case VT_I4:
    case VT_UI4:
        append16(out, v.vt);
        append32(out, uint32_t(v.lVal));
        return true;
    case VT_BSTR: {
        append16(out, v.vt);
        const UINT n = SysStringLen(v.bstrVal);
        if (n == 0) {
            append32(out, 0);
            return true;
        }
        append32(out, (n + 1) * 2);
        for (UINT i = 0; i < n; ++i)
            append16(out, v.bstrVal[i]);
        append16(out, 0);
        return true;
    }
    default:
        return false;
    }
}

ReadResult readStreamVersion(const ReadExact& read) {
    uint8_t b[4];
    if (!read(b, 4))
        return ReadResult::Truncated;
    return get32(b) > kStreamVersion ? ReadResult::NewerVersion : ReadResult::Ok;
}

ReadResult readVariant(const ReadExact& read, VARIANT* out) {
    VariantInit(out);
    uint8_t b[4];
    if (!read(b, 2))
        return ReadResult::Truncated;
    const VARTYPE vt = VARTYPE(get16(b));
    switch (vt) {
    case VT_EMPTY:
        return ReadResult::Ok;
    case VT_BOOL:
    case VT_I2:
        if (!read(b, 2))
            return ReadResult::Truncated;
        out->vt = vt;
        out->iVal = SHORT(get16(b));
        return ReadResult::Ok;
    case VT_UI1:
        if (!read(b, 1))
            return ReadResult::Truncated;
        out->vt = vt;
        out->bVal = b[0];
        return ReadResult::Ok;
    case VT_I4:
    case VT_UI4:
        if (!read(b, 4))
            return ReadResult::Truncated;
        out->vt = vt;
        out->lVal = LONG(get32(b));
        return ReadResult::Ok;
    case VT_BSTR: {
        if (!read(b, 4))
            return ReadResult::Truncated;
        const uint32_t bytes = get32(b);
        if (bytes == 0) {
            out->vt = VT_BSTR;
            out->bstrVal = nullptr;
            return ReadResult::Ok;
        }
        if (bytes % 2 != 0)
            return ReadResult::BadType;
        if (bytes > kMaxPersistedTextBytes)
            return ReadResult::TooLong;
        // Read in pieces, so a count that promises more than the stream holds costs only
        // what the stream really has.
        std::u16string text;
        uint8_t chunk[4096];
        uint32_t left = bytes;
        while (left > 0) {
            const uint32_t n = std::min<uint32_t>(left, sizeof chunk);
            if (!read(chunk, n))
                return ReadResult::Truncated;
            for (uint32_t i = 0; i + 1 < n; i += 2)
                text += char16_t(get16(chunk + i));
            left -= n;
        }
        const size_t end = text.find(u'\0');
        if (end != std::u16string::npos)
            text.resize(end);
        out->vt = VT_BSTR;
        out->bstrVal = text.empty() ? nullptr : SysAllocStringLen(text.data(), UINT(text.size()));
        if (!text.empty() && !out->bstrVal) {
            out->vt = VT_EMPTY;
            return ReadResult::TooLong;
        }
        return ReadResult::Ok;
    }
    default:
        return ReadResult::BadType;
    }
}

} // namespace scribane::ink
