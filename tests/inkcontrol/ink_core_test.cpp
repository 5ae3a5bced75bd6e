// Bit-exact behaviour of the drawing core: stepping, stamps, repaint rectangles,
// resizing, BMP bytes, rotation, import placement, painting and the persisted values.
#include "ink_core.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <random>
#include <string>
#include <vector>

using namespace scribane::ink;

namespace scribane::ink {
void PrintTo(const Point& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "[" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
} // namespace scribane::ink

namespace {

std::vector<Point> steps(Point a, Point b) {
    std::vector<Point> out;
    stepSegment(a, b, [&](int x, int y) { out.push_back({x, y}); });
    return out;
}

// Ink as text, '#' for ink and '.' for background, one line per row.
std::string art(const Bitmap& b) {
    std::string s;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x)
            s += b.pixel(x, y) ? '.' : '#';
        s += '\n';
    }
    return s;
}

Bitmap randomBitmap(int w, int h, unsigned seed) {
    Bitmap b;
    EXPECT_TRUE(b.create(w, h));
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, rng() & 1);
    return b;
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), a.stride()) != 0)
            return false;
    return true;
}

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

} // namespace

// ---------------------------------------------------------------------------------------
// Segment stepping

struct StepCase {
    const char* name;
    Point a, b;
    std::vector<Point> expected;
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.name;
}

class Stepping : public testing::TestWithParam<StepCase> {};

TEST_P(Stepping, VisitsEveryPointOnceInOrder) {
    EXPECT_EQ(steps(GetParam().a, GetParam().b), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Segments, Stepping,
    testing::Values(
        StepCase{"SinglePoint", {4, 4}, {4, 4}, {{4, 4}}},
        StepCase{"OnePixelRight", {3, 3}, {4, 3}, {{3, 3}, {4, 3}}},
        StepCase{"Shallow", {0, 0}, {5, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},
        StepCase{
            "ShallowBackwards", {5, 2}, {0, 0}, {{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}},
        StepCase{"Steep", {0, 0}, {1, 3}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        StepCase{"Diagonal", {0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        StepCase{"UpLeft", {2, 2}, {0, -2}, {{2, 2}, {1, 1}, {1, 0}, {0, -1}, {0, -2}}}),
    [](const auto& info) { return info.param.name; });

TEST(SteppingProperties, ConnectedAndEndsExact) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> c(-40, 40);
    for (int i = 0; i < 500; ++i) {
        const Point a{c(rng), c(rng)}, b{c(rng), c(rng)};
        const auto pts = steps(a, b);
        ASSERT_EQ(int(pts.size()), std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) + 1);
        ASSERT_EQ(pts.front(), a);
        ASSERT_EQ(pts.back(), b);
        for (size_t k = 1; k < pts.size(); ++k) {
            ASSERT_LE(std::abs(pts[k].x - pts[k - 1].x), 1);
            ASSERT_LE(std::abs(pts[k].y - pts[k - 1].y), 1);
            ASSERT_FALSE(pts[k] == pts[k - 1]);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Pen stamps

struct StampCase {
    const char* name;
    int width;
    Point at;
    const char* expected; // 9 x 9 bitmap
};

void PrintTo(const StampCase& c, std::ostream* os) {
    *os << c.name;
}

class Stamps : public testing::TestWithParam<StampCase> {};

TEST_P(Stamps, MatchTheirShape) {
    Bitmap b;
    ASSERT_TRUE(b.create(9, 9));
    stampPen(b, GetParam().at, GetParam().width);
    EXPECT_EQ(art(b), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Widths, Stamps,
                         testing::Values(StampCase{"Zero",
                                                   0,
                                                   {4, 4},
                                                   ".........\n.........\n.........\n"
                                                   ".........\n.........\n.........\n"
                                                   ".........\n.........\n.........\n"},
                                         StampCase{"One",
                                                   1,
                                                   {4, 4},
                                                   ".........\n.........\n.........\n"
                                                   ".........\n....#....\n.........\n"
                                                   ".........\n.........\n.........\n"},
                                         StampCase{"TwoIsASquareDownRight",
                                                   2,
                                                   {4, 4},
                                                   ".........\n.........\n.........\n"
                                                   ".........\n....##...\n....##...\n"
                                                   ".........\n.........\n.........\n"},
                                         StampCase{"Three",
                                                   3,
                                                   {4, 4},
                                                   ".........\n.........\n.........\n"
                                                   "...###...\n...###...\n...###...\n"
                                                   ".........\n.........\n.........\n"},
                                         StampCase{"Four",
                                                   4,
                                                   {4, 4},
                                                   ".........\n.........\n...##....\n"
                                                   "..####...\n..####...\n...##....\n"
                                                   ".........\n.........\n.........\n"},
                                         StampCase{"Five",
                                                   5,
                                                   {4, 4},
                                                   ".........\n.........\n...###...\n"
                                                   "..#####..\n..#####..\n..#####..\n"
                                                   "...###...\n.........\n.........\n"},
                                         StampCase{"Seven",
                                                   7,
                                                   {4, 4},
                                                   ".........\n...###...\n..#####..\n"
                                                   ".#######.\n.#######.\n.#######.\n"
                                                   "..#####..\n...###...\n.........\n"},
                                         StampCase{"ClippedAtTheCorner",
                                                   5,
                                                   {0, 0},
                                                   "###......\n###......\n##.......\n"
                                                   ".........\n.........\n.........\n"
                                                   ".........\n.........\n.........\n"},
                                         StampCase{"FarOutside",
                                                   5,
                                                   {-100, 50},
                                                   ".........\n.........\n.........\n"
                                                   ".........\n.........\n.........\n"
                                                   ".........\n.........\n.........\n"}),
                         [](const auto& info) { return info.param.name; });

TEST(Drawing, OnePixelMoveStampsTwoPens) {
    Bitmap b;
    ASSERT_TRUE(b.create(8, 6));
    drawSegment(b, {3, 3}, {4, 3}, 2);
    EXPECT_EQ(art(b), "........\n........\n........\n...###..\n...###..\n........\n");
    ASSERT_TRUE(b.create(10, 8));
    drawSegment(b, {3, 3}, {4, 3}, 5);
    EXPECT_EQ(art(b), "..........\n"
                      "..####....\n"
                      ".######...\n"
                      ".######...\n"
                      ".######...\n"
                      "..####....\n"
                      "..........\n"
                      "..........\n");
}

TEST(Drawing, HugePenStaysInsideTheBitmap) {
    Bitmap b;
    ASSERT_TRUE(b.create(40, 30));
    drawSegment(b, {20, 15}, {21, 15}, 1000000);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_FALSE(b.pixel(x, y));
}

TEST(Drawing, RepaintRectangleCoversEveryStampedPixel) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> c(10, 50);
    for (int width = 1; width <= 9; ++width) {
        for (int i = 0; i < 30; ++i) {
            Bitmap b;
            ASSERT_TRUE(b.create(64, 64));
            const Point a{c(rng), c(rng)}, p{c(rng), c(rng)};
            drawSegment(b, a, p, width);
            const int border = 3;
            const Rect r = segmentDirtyRect(a, p, border, width);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    if (!b.pixel(x, y)) {
                        ASSERT_GE(x + border, r.left) << width;
                        ASSERT_LT(x + border, r.right) << width;
                        ASSERT_GE(y + border, r.top) << width;
                        ASSERT_LT(y + border, r.bottom) << width;
                    }
        }
    }
    EXPECT_EQ(segmentDirtyRect({10, 20}, {4, 25}, 2, 5), (Rect{3, 19, 15, 30}));
}

// ---------------------------------------------------------------------------------------
// Ensuring the ink bitmap

TEST(EnsureSize, ShrinkKeepsTopLeftAndGrowAddsBackground) {
    Bitmap ink;
    ASSERT_TRUE(ensureSize(ink, 6, 4));
    drawSegment(ink, {0, 0}, {5, 3}, 1);
    ASSERT_TRUE(ensureSize(ink, 3, 3));
    EXPECT_EQ(art(ink), "#..\n.##\n...\n");
    ASSERT_TRUE(ensureSize(ink, 11, 4));
    EXPECT_EQ(art(ink), "#..........\n.##........\n...........\n...........\n");
    EXPECT_EQ(ink.row(0)[2], 0) << "padding bits stay clear";
    EXPECT_FALSE(ensureSize(ink, 0, 4));
    EXPECT_TRUE(ink.isNull());
    EXPECT_FALSE(ensureSize(ink, 5, -1));
    EXPECT_FALSE(ensureSize(ink, kMaxSide + 1, 1));
}

// ---------------------------------------------------------------------------------------
// BMP export

TEST(BmpExport, HundredByFiftyIsEightHundredSixtyTwoBytes) {
    Bitmap ink;
    ASSERT_TRUE(ink.create(100, 50));
    ink.setPixel(0, 0, false);   // top-left
    ink.setPixel(99, 49, false); // bottom-right
    const auto bmp = encodeBmp(ink, 0x102030, 0xF0E0D0, 3779, 3780);
    ASSERT_EQ(bmp.size(), 862u);
    const std::vector<uint8_t> header = {
        'B',  'M',  0x5E, 0x03, 0,    0,    0,    0, 0,    0,    62, 0, 0,    0, // file header
        40,   0,    0,    0,    100,  0,    0,    0, 50,   0,    0,  0, 1,    0,    1, 0, // info
        0,    0,    0,    0,    0x20, 0x03, 0,    0, 0xC3, 0x0E, 0,  0, 0xC4, 0x0E, 0, 0,
        2,    0,    0,    0,    2,    0,    0,    0,  // colours
        0x30, 0x20, 0x10, 0,    0xD0, 0xE0, 0xF0, 0}; // palette
    // Rows run bottom-up, 16 bytes each: 100 pixels fill 12 bytes and the top half of the
    // 13th; the padding bits and the last three bytes stay zero.
    std::vector<uint8_t> expected = header;
    for (int row = 0; row < 50; ++row) {
        expected.insert(expected.end(), 12, 0xFF);
        expected.insert(expected.end(), {0xF0, 0, 0, 0});
    }
    expected[62 + 49 * 16] = 0x7F; // the file's last row is the ink's top row: pixel 0
    expected[62 + 12] = 0xE0;      // the file's first row is the ink's bottom row: pixel 99
    EXPECT_EQ(bmp, expected);
    // The control's one-pass export writes the same bytes.
    std::vector<uint8_t> direct(rotatedBmpSize(ink, 0), 0xAA);
    ASSERT_TRUE(encodeRotatedBmpInto(direct.data(), ink, 0, 0x102030, 0xF0E0D0, 3779, 3780));
    EXPECT_EQ(direct, expected);

    // Turned by 90 the same area is 50 x 100 with stride 8, again 862 bytes. Its top row
    // (the file's last) is the left column read bottom to top, so the top-left ink pixel
    // ends the row; the bottom-right one starts the bottom row.
    std::vector<uint8_t> turned(rotatedBmpSize(ink, 90), 0xAA);
    ASSERT_EQ(turned.size(), 862u);
    ASSERT_TRUE(encodeRotatedBmpInto(turned.data(), ink, 90, 0x102030, 0xF0E0D0, 3779, 3780));
    std::vector<uint8_t> turnedHeader = header;
    turnedHeader[18] = 50;
    turnedHeader[22] = 100;
    EXPECT_EQ(std::vector<uint8_t>(turned.begin(), turned.begin() + 62), turnedHeader);
    std::vector<uint8_t> rows;
    for (int row = 0; row < 100; ++row)
        rows.insert(rows.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0, 0});
    rows[99 * 8 + 6] = 0x80;
    rows[0] = 0x7F;
    EXPECT_EQ(std::vector<uint8_t>(turned.begin() + 62, turned.end()), rows);
}

TEST(BmpExport, RotatedExportEqualsExportOfTheRotatedInk) {
    for (auto [w, h] : {std::pair{100, 50}, {1, 1}, {33, 130}, {257, 19}}) {
        const Bitmap ink = randomBitmap(w, h, unsigned(w * h));
        for (int angle : {0, 90, 180, 270, -90, 450}) {
            Bitmap turned;
            ASSERT_TRUE(rotate(ink, angle, turned));
            const auto expected = encodeBmp(turned, 0, 0xFFFFFF, 0, 0);
            std::vector<uint8_t> got(rotatedBmpSize(ink, angle), 0xAA);
            ASSERT_TRUE(encodeRotatedBmpInto(got.data(), ink, angle, 0, 0xFFFFFF, 0, 0));
            EXPECT_EQ(got, expected) << w << "x" << h << " at " << angle;
        }
    }
}

TEST(BmpExport, RotationNinetyTopRowIsLeftColumnBottomToTop) {
    Bitmap ink = randomBitmap(100, 50, 9);
    Bitmap turned;
    ASSERT_TRUE(rotate(ink, 90, turned));
    ASSERT_EQ(turned.width(), 50);
    ASSERT_EQ(turned.height(), 100);
    for (int x = 0; x < 50; ++x)
        EXPECT_EQ(turned.pixel(x, 0), ink.pixel(0, 49 - x));
}

// ---------------------------------------------------------------------------------------
// Rotation

TEST(Rotation, SmallImageFollowsTheTable) {
    Bitmap b;
    ASSERT_TRUE(b.create(3, 2));
    b.setPixel(0, 0, false); // A at (0, 0)
    b.setPixel(2, 1, false); // B at (2, 1)
    b.setPixel(1, 1, false);
    Bitmap r;
    ASSERT_TRUE(rotate(b, 90, r));
    EXPECT_EQ(art(r), ".#\n#.\n#.\n");
    ASSERT_TRUE(rotate(b, 180, r));
    EXPECT_EQ(art(r), "##.\n..#\n");
    ASSERT_TRUE(rotate(b, 270, r));
    EXPECT_EQ(art(r), ".#\n.#\n#.\n");
    ASSERT_TRUE(rotate(b, -270, r));
    EXPECT_EQ(art(r), ".#\n#.\n#.\n");
}

TEST(Rotation, BlockTransposeMatchesPixelLoop) {
    const std::pair<int, int> sizes[] = {{1, 1},    {7, 3},     {8, 8},    {13, 29}, {128, 16},
                                         {129, 17}, {300, 200}, {16, 300}, {1, 257}, {257, 1}};
    for (auto [w, h] : sizes) {
        const Bitmap src = randomBitmap(w, h, unsigned(w + 31 * h));
        for (int angle : {0, 90, 180, 270}) {
            Bitmap fast, slow;
            ASSERT_TRUE(rotate(src, angle, fast));
            ASSERT_TRUE(rotatePixelwise(src, angle, slow));
            EXPECT_TRUE(samePixels(fast, slow)) << w << "x" << h << " at " << angle;
        }
    }
}

TEST(Rotation, RefusesNullSourceAndOddAngles) {
    Bitmap none, out;
    EXPECT_FALSE(rotate(none, 90, out));
    const Bitmap b = randomBitmap(4, 4, 1);
    EXPECT_FALSE(rotate(b, 45, out));
    EXPECT_EQ(normalizeAngle(-90), 270);
    EXPECT_EQ(normalizeAngle(450), 90);
    EXPECT_EQ(normalizeAngle(-720), 0);
}

// ---------------------------------------------------------------------------------------
// BMP import

TEST(BmpImport, ReadsBottomUpAndTopDown) {
    const Bitmap ink = randomBitmap(37, 11, 4);
    auto bmp = encodeBmp(ink, 0, 0xFFFFFF, 0, 0);
    Bitmap back;
    ASSERT_TRUE(decodeBmp(bmp.data(), bmp.size(), back));
    EXPECT_TRUE(samePixels(back, ink));
    // The same rows stored top-down, with a negative height.
    auto topDown = bmp;
    put32(topDown, 22, uint32_t(-11));
    const size_t stride = 8;
    for (int y = 0; y < 11; ++y)
        std::memcpy(topDown.data() + 62 + size_t(y) * stride, ink.row(y), stride);
    ASSERT_TRUE(decodeBmp(topDown.data(), topDown.size(), back));
    EXPECT_TRUE(samePixels(back, ink));
}

TEST(BmpImport, IgnoresPaletteAndSkipsToTheBitOffset) {
    const Bitmap ink = randomBitmap(16, 4, 8);
    auto bmp = encodeBmp(ink, 0xFFFFFF, 0x000000, 0, 0); // palette swapped
    bmp.insert(bmp.begin() + 62, 10, 0xEE);              // a gap before the bits
    put32(bmp, 10, 72);
    Bitmap back;
    ASSERT_TRUE(decodeBmp(bmp.data(), bmp.size(), back));
    EXPECT_TRUE(samePixels(back, ink)) << "bit 0 is ink whatever the palette says";
}

struct HostileHeader {
    const char* name;
    size_t offset;
    uint32_t value;
    int bytes;
};

void PrintTo(const HostileHeader& c, std::ostream* os) {
    *os << c.name;
}

class BmpRefusal : public testing::TestWithParam<HostileHeader> {};

TEST_P(BmpRefusal, IsRefused) {
    Bitmap ink;
    ASSERT_TRUE(ink.create(40, 20));
    auto bmp = encodeBmp(ink, 0, 0xFFFFFF, 0, 0);
    const auto& c = GetParam();
    for (int i = 0; i < c.bytes; ++i)
        bmp[c.offset + size_t(i)] = uint8_t(c.value >> (8 * i));
    Bitmap out = randomBitmap(3, 3, 1);
    const Bitmap before = out;
    EXPECT_FALSE(decodeBmp(bmp.data(), bmp.size(), out));
    EXPECT_TRUE(samePixels(out, before)) << "a refused image leaves the target alone";
}

INSTANTIATE_TEST_SUITE_P(
    Headers, BmpRefusal,
    testing::Values(HostileHeader{"NotBM", 0, 'X', 1}, HostileHeader{"TwoPlanes", 26, 2, 2},
                    HostileHeader{"TwentyFourBit", 28, 24, 2}, HostileHeader{"EightBit", 28, 8, 2},
                    HostileHeader{"Rle", 30, 1, 4}, HostileHeader{"Bitfields", 30, 3, 4},
                    HostileHeader{"NoImageSize", 34, 0, 4}, HostileHeader{"ZeroWidth", 18, 0, 4},
                    HostileHeader{"NegativeWidth", 18, uint32_t(-40), 4},
                    HostileHeader{"ZeroHeight", 22, 0, 4},
                    HostileHeader{"WiderThanTheBits", 18, 41 * 8, 4},
                    HostileHeader{"TallerThanTheBits", 22, 21, 4},
                    HostileHeader{"TallerTopDown", 22, uint32_t(-21), 4},
                    HostileHeader{"MinimumHeight", 22, 0x80000000u, 4},
                    HostileHeader{"HugeWidth", 18, 0x7FFFFFFFu, 4},
                    HostileHeader{"SizeBeyondData", 34, 20 * 8 + 1, 4},
                    HostileHeader{"OffsetBeyondData", 10, 5000, 4},
                    HostileHeader{"OffsetWrapsAround", 10, 0xFFFFFFF0u, 4},
                    HostileHeader{"SizeWrapsAround", 34, 0xFFFFFFF0u, 4}),
    [](const auto& info) { return info.param.name; });

TEST(BmpImport, EveryTruncationIsRefused) {
    const auto bmp = encodeBmp(randomBitmap(45, 7, 2), 0, 0xFFFFFF, 0, 0);
    for (size_t n = 0; n < bmp.size(); ++n) {
        // A copy of exactly n bytes, so that the sanitizer sees any read past it.
        std::vector<uint8_t> cut(bmp.begin(), bmp.begin() + ptrdiff_t(n));
        Bitmap out;
        ASSERT_FALSE(decodeBmp(cut.data(), cut.size(), out)) << n;
    }
    Bitmap out;
    EXPECT_TRUE(decodeBmp(bmp.data(), bmp.size(), out));
}

TEST(BmpImport, PlacementFollowsTheAngle) {
    EXPECT_EQ(importOrigin(100, 50, 30, 20, 0), (Point{0, 0}));
    EXPECT_EQ(importOrigin(100, 50, 30, 20, 90), (Point{0, 30}));
    EXPECT_EQ(importOrigin(100, 50, 30, 20, 180), (Point{70, 30}));
    EXPECT_EQ(importOrigin(100, 50, 30, 20, 270), (Point{70, 0}));
    EXPECT_EQ(importOrigin(100, 50, 30, 20, -90), (Point{70, 0}));
}

TEST(BmpImport, ExportThenImportLandsWhereItCameFrom) {
    const Bitmap ink = randomBitmap(61, 23, 12);
    for (int angle : {0, 90, 180, 270}) {
        Bitmap turned, image, back, target;
        ASSERT_TRUE(rotate(ink, angle, turned));
        const auto bmp = encodeBmp(turned, 0, 0xFFFFFF, 0, 0);
        ASSERT_TRUE(decodeBmp(bmp.data(), bmp.size(), image));
        ASSERT_TRUE(rotate(image, 360 - angle, back));
        ASSERT_TRUE(target.create(61, 23));
        placeImage(target, back, angle);
        EXPECT_TRUE(samePixels(target, ink)) << angle;
    }
}

TEST(BmpImport, LargerImageKeepsTheCornerOfItsAngle) {
    Bitmap image;
    ASSERT_TRUE(image.create(6, 4));
    image.setPixel(0, 0, false);
    image.setPixel(5, 3, false);
    Bitmap ink;
    ASSERT_TRUE(ink.create(3, 2));
    placeImage(ink, image, 0);
    EXPECT_EQ(art(ink), "#..\n...\n");
    ASSERT_TRUE(ink.create(3, 2));
    placeImage(ink, image, 180);
    EXPECT_EQ(art(ink), "...\n..#\n");
}

// ---------------------------------------------------------------------------------------
// Colours and painting

TEST(Colours, SystemAndRgbColoursResolve) {
    const uint32_t* sys = classicSystemColors();
    EXPECT_EQ(resolveColor(0x80000005, sys), 0xFFFFFFu);
    EXPECT_EQ(resolveColor(0x80000008, sys), 0x000000u);
    EXPECT_EQ(resolveColor(0x00332211, sys), 0x112233u) << "0x00BBGGRR becomes 0xRRGGBB";
    EXPECT_EQ(resolveColor(0x800000FF, sys), 0u) << "unknown system colour";
}

namespace {
struct Canvas {
    std::vector<uint32_t> px;
    ScribaneSurface s;
    Canvas(int w, int h) : px(size_t(w * h), 0x12345678) {
        s = ScribaneSurface{px.data(), w, h, w * 4, {0, 0, w, h}};
    }
    uint32_t at(int x, int y) const { return px[size_t(y * s.width + x)] & 0xFFFFFF; }
};
} // namespace

TEST(Painting, FrameBackgroundAndInk) {
    Bitmap ink;
    ASSERT_TRUE(ink.create(6, 4));
    ink.setPixel(1, 1, false);
    PaintInput in;
    in.ink = &ink;
    in.border = 2;
    in.backRgb = 0xFFFFFF;
    in.inkRgb = 0x0000FF;
    in.borderRgb = 0x00FF00;
    Canvas c(10, 8);
    std::vector<uint32_t> buffer;
    paintControl(c.s, Rect{0, 0, 10, 8}, in, buffer);
    EXPECT_EQ(c.at(0, 0), 0x00FF00u);
    EXPECT_EQ(c.at(9, 7), 0x00FF00u);
    EXPECT_EQ(c.at(1, 4), 0x00FF00u);
    EXPECT_EQ(c.at(2, 2), 0xFFFFFFu);
    EXPECT_EQ(c.at(3, 3), 0x0000FFu) << "ink point (1, 1) sits at (3, 3)";
    // Recolouring repaints existing ink in the new colour.
    in.inkRgb = 0xFF0000;
    paintControl(c.s, Rect{0, 0, 10, 8}, in, buffer);
    EXPECT_EQ(c.at(3, 3), 0xFF0000u);
}

TEST(Painting, OnlyInsideTheClipBox) {
    PaintInput in;
    in.border = 1;
    in.borderRgb = 0x00FF00;
    in.backRgb = 0xFFFFFF;
    Canvas c(10, 8);
    c.s.clip = RECT{4, 0, 6, 8};
    std::vector<uint32_t> buffer;
    paintControl(c.s, Rect{0, 0, 10, 8}, in, buffer);
    EXPECT_EQ(c.px[0], 0x12345678u);
    EXPECT_EQ(c.at(4, 0), 0x00FF00u);
    EXPECT_EQ(c.at(5, 3), 0xFFFFFFu) << "no ink bitmap: background colour";
    EXPECT_EQ(c.px[size_t(3 * 10 + 7)], 0x12345678u);
}

TEST(Painting, WideBorderLeavesOnlyTheFrame) {
    Bitmap ink;
    ASSERT_TRUE(ink.create(4, 4));
    PaintInput in;
    in.ink = &ink;
    in.border = 5;
    in.borderRgb = 0x00FF00;
    Canvas c(8, 8);
    std::vector<uint32_t> buffer;
    paintControl(c.s, Rect{0, 0, 8, 8}, in, buffer);
    for (uint32_t p : c.px)
        ASSERT_EQ(p & 0xFFFFFF, 0x00FF00u);
}

TEST(Painting, BoundsFarBeyondTheTarget) {
    // A host may place the control anywhere; the offsets into the ink must not overflow.
    Bitmap ink;
    ASSERT_TRUE(ink.create(4, 4));
    const std::vector<uint32_t> image = {0xAA0000};
    PaintInput in;
    in.ink = &ink;
    in.border = 1;
    in.backRgb = 0xFFFFFF;
    in.borderRgb = 0x00FF00;
    for (bool withImage : {false, true}) {
        in.image = withImage ? image.data() : nullptr;
        in.imageWidth = in.imageHeight = withImage ? 1 : 0;
        Canvas c(6, 6);
        std::vector<uint32_t> buffer;
        paintControl(c.s, Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, in, buffer);
        EXPECT_EQ(c.at(3, 3), 0xFFFFFFu) << "far from the ink: background";
    }
    // A target whose rows would be wider than its stride is not touched.
    Canvas c(6, 6);
    c.s.width = INT_MAX;
    std::vector<uint32_t> buffer;
    paintControl(c.s, Rect{0, 0, 6, 6}, in, buffer);
    EXPECT_EQ(c.px[0], 0x12345678u);
}

TEST(Painting, BackgroundImageUnderTransparentInk) {
    Bitmap ink;
    ASSERT_TRUE(ink.create(4, 3));
    ink.setPixel(0, 0, false);
    const std::vector<uint32_t> image = {0xAA0000, 0xBB0000, 0xCC0000, 0xDD0000}; // 2 x 2
    PaintInput in;
    in.ink = &ink;
    in.inkRgb = 0x000001;
    in.backRgb = 0xFFFFFF;
    in.image = image.data();
    in.imageWidth = 2;
    in.imageHeight = 2;
    Canvas c(4, 3);
    std::vector<uint32_t> buffer;
    paintControl(c.s, Rect{0, 0, 4, 3}, in, buffer);
    EXPECT_EQ(c.at(0, 0), 0x000001u) << "ink over the picture";
    EXPECT_EQ(c.at(1, 0), 0xBB0000u);
    EXPECT_EQ(c.at(1, 1), 0xDD0000u);
    EXPECT_EQ(c.at(3, 2), 0xFFFFFFu) << "outside the picture: background colour";
    EXPECT_EQ(buffer.size(), 12u) << "the paint buffer is kept";
}

// ---------------------------------------------------------------------------------------
// Persisted values

namespace {
ReadExact reader(const std::vector<uint8_t>& bytes, size_t& pos) {
    return [&bytes, &pos](void* out, size_t n) {
        if (bytes.size() - pos < n)
            return false;
        std::memcpy(out, bytes.data() + pos, n);
        pos += n;
        return true;
    };
}
} // namespace

TEST(Persistence, VariantBytes) {
    std::vector<uint8_t> out;
    writeStreamVersion(out);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    writeVariant(out, v);
    v.vt = VT_I4;
    v.lVal = -2;
    writeVariant(out, v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"ab");
    writeVariant(out, v);
    VariantClear(&v);
    v.vt = VT_BSTR; // no text
    writeVariant(out, v);
    const std::vector<uint8_t> expected = {0x00, 0x03, 0,    0, 11, 0, 0xFF, 0xFF, 3, 0,   0xFE,
                                           0xFF, 0xFF, 0xFF, 8, 0,  6, 0,    0,    0, 'a', 0,
                                           'b',  0,    0,    0, 8,  0, 0,    0,    0, 0};
    EXPECT_EQ(out, expected);

    size_t pos = 0;
    auto read = reader(out, pos);
    ASSERT_EQ(readStreamVersion(read), ReadResult::Ok);
    const VARTYPE types[] = {VT_BOOL, VT_I4, VT_BSTR, VT_BSTR};
    for (VARTYPE t : types) {
        ASSERT_EQ(readVariant(read, &v), ReadResult::Ok);
        EXPECT_EQ(v.vt, t);
        VariantClear(&v);
    }
    EXPECT_EQ(pos, out.size());
}

TEST(Persistence, RefusesTruncatedLongOddAndNewer) {
    std::vector<uint8_t> text = {8, 0, 6, 0, 0, 0, 'a', 0, 'b', 0, 0, 0};
    for (size_t n = 0; n < text.size(); ++n) {
        std::vector<uint8_t> cut(text.begin(), text.begin() + ptrdiff_t(n));
        size_t pos = 0;
        VARIANT v;
        EXPECT_EQ(readVariant(reader(cut, pos), &v), ReadResult::Truncated) << n;
        EXPECT_EQ(v.vt, VT_EMPTY);
    }
    const std::vector<uint8_t> promise = {8, 0, 0x00, 0x00, 0x0F, 0x00, 'a', 0}; // 1 MiB
    size_t pos = 0;
    VARIANT v;
    EXPECT_EQ(readVariant(reader(promise, pos), &v), ReadResult::Truncated);
    const std::vector<uint8_t> huge = {8, 0, 0xFE, 0xFF, 0xFF, 0xFF};
    pos = 0;
    EXPECT_EQ(readVariant(reader(huge, pos), &v), ReadResult::TooLong);
    const std::vector<uint8_t> odd = {8, 0, 3, 0, 0, 0, 'a', 0, 0};
    pos = 0;
    EXPECT_EQ(readVariant(reader(odd, pos), &v), ReadResult::BadType);
    const std::vector<uint8_t> array = {0x11, 0x20, 0, 0};
    pos = 0;
    EXPECT_EQ(readVariant(reader(array, pos), &v), ReadResult::BadType);
    const std::vector<uint8_t> newer = {0x01, 0x03, 0, 0};
    pos = 0;
    EXPECT_EQ(readStreamVersion(reader(newer, pos)), ReadResult::NewerVersion);
    const std::vector<uint8_t> older = {0x00, 0x02, 0, 0};
    pos = 0;
    EXPECT_EQ(readStreamVersion(reader(older, pos)), ReadResult::Ok);
}
