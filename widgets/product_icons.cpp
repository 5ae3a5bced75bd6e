#include "widgets/product_icons.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>

namespace {

struct Known {
    IconGlyph glyph;
    IconTriple ids;
};

// The start and settings screens' ids are fixed; the others follow from 301 on.
constexpr std::array<Known, 19> kKnown = {{
    {IconGlyph::Settings, {191, 192, 193}},     {IconGlyph::Start, {194, 195, 196}},
    {IconGlyph::Ok, {210, 211, 212}},           {IconGlyph::Cancel, {246, 207, 208}},
    {IconGlyph::Test, {233, 232, 230}},         {IconGlyph::Save, {301, 302, 303}},
    {IconGlyph::Back, {304, 305, 306}},         {IconGlyph::Print, {307, 308, 309}},
    {IconGlyph::Process, {310, 311, 312}},      {IconGlyph::Hold, {313, 314, 315}},
    {IconGlyph::OutScanPool, {316, 317, 318}},  {IconGlyph::Counting, {319, 320, 321}},
    {IconGlyph::Previous, {322, 323, 324}},     {IconGlyph::Next, {325, 326, 327}},
    {IconGlyph::Instructions, {328, 329, 330}}, {IconGlyph::ScanNext, {331, 332, 333}},
    {IconGlyph::List, {334, 335, 336}},         {IconGlyph::WeekBack, {337, 338, 339}},
    {IconGlyph::WeekAhead, {340, 341, 342}},
}};

const QColor kBlueTop(0x3a, 0x7b, 0xc8);
const QColor kBlueBottom(0x1f, 0x4f, 0x8a);
const QColor kPressedTop(0x1a, 0x41, 0x70);
const QColor kPressedBottom(0x12, 0x30, 0x55);
const QColor kGreyTop(0xc8, 0xc8, 0xc8);
const QColor kGreyBottom(0xa8, 0xa8, 0xa8);

QPainterPath chevron(qreal x, qreal y, qreal w, qreal h, bool left) {
    QPainterPath p;
    if (left) {
        p.moveTo(x + w, y);
        p.lineTo(x, y + h / 2);
        p.lineTo(x + w, y + h);
    } else {
        p.moveTo(x, y);
        p.lineTo(x + w, y + h / 2);
        p.lineTo(x, y + h);
    }
    return p;
}

// Glyphs are drawn in a 38 x 38 box (the visible part of a button), white
// strokes on the coloured tile.
void drawGlyph(QPainter& p, IconGlyph glyph, const QColor& ink) {
    QPen pen(ink, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case IconGlyph::Settings: {
        p.setBrush(ink);
        QPainterPath gear;
        for (int i = 0; i < 8; ++i) {
            const qreal a = i * M_PI / 4;
            QPainterPath tooth;
            tooth.addRect(-2.5, -12.5, 5, 6);
            QTransform t;
            t.translate(19, 19);
            t.rotateRadians(a);
            gear.addPath(t.map(tooth));
        }
        gear.addEllipse(QPointF(19, 19), 8.5, 8.5);
        p.setPen(Qt::NoPen);
        p.drawPath(gear.simplified());
        p.setBrush(QColor(0, 0, 0, 0));
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.drawEllipse(QPointF(19, 19), 3.5, 3.5);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        break;
    }
    case IconGlyph::Start: {
        QPainterPath play;
        play.moveTo(14, 9);
        play.lineTo(29, 19);
        play.lineTo(14, 29);
        play.closeSubpath();
        p.setBrush(ink);
        p.drawPath(play);
        break;
    }
    case IconGlyph::Ok:
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawPolyline(QPolygonF({{10, 20}, {16, 26}, {28, 12}}));
        break;
    case IconGlyph::Cancel:
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawLine(QPointF(12, 12), QPointF(26, 26));
        p.drawLine(QPointF(26, 12), QPointF(12, 26));
        break;
    case IconGlyph::Test:
        p.drawLine(QPointF(19, 20), QPointF(19, 30));
        p.setBrush(ink);
        p.drawEllipse(QPointF(19, 19), 2, 2);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(13, 13, 12, 12), 30 * 16, 120 * 16);
        p.drawArc(QRectF(8, 8, 22, 22), 35 * 16, 110 * 16);
        break;
    case IconGlyph::Save:
        p.drawRoundedRect(QRectF(10, 9, 18, 20), 2, 2);
        p.setBrush(ink);
        p.drawRect(QRectF(14, 10, 10, 5));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(14, 21, 10, 7));
        break;
    case IconGlyph::Back:
        p.drawLine(QPointF(11, 19), QPointF(28, 19));
        p.drawPath(chevron(11, 12, 7, 14, true));
        break;
    case IconGlyph::Print:
        p.drawRect(QRectF(13, 8, 12, 7));
        p.drawRoundedRect(QRectF(8, 15, 22, 11), 2, 2);
        p.setBrush(ink);
        p.drawRect(QRectF(13, 23, 12, 8));
        break;
    case IconGlyph::Process:
        p.drawEllipse(QPointF(19, 19), 11, 11);
        p.drawPolyline(QPolygonF({{13, 19}, {17.5, 23.5}, {25, 15}}));
        break;
    case IconGlyph::Hold:
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(12, 10, 5, 18), 1.5, 1.5);
        p.drawRoundedRect(QRectF(21, 10, 5, 18), 1.5, 1.5);
        break;
    case IconGlyph::OutScanPool:
        p.drawRect(QRectF(8, 16, 14, 13));
        p.drawLine(QPointF(15, 19), QPointF(29, 10));
        p.drawPolyline(QPolygonF({{23, 9}, {29.5, 9.5}, {29, 16}}));
        break;
    case IconGlyph::Counting: {
        pen.setWidthF(2.5);
        p.setPen(pen);
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(11 + i * 5, 11), QPointF(11 + i * 5, 27));
        }
        p.drawLine(QPointF(8, 25), QPointF(30, 13));
        break;
    }
    case IconGlyph::Previous:
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawPath(chevron(14, 10, 9, 18, true));
        break;
    case IconGlyph::Next:
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawPath(chevron(15, 10, 9, 18, false));
        break;
    case IconGlyph::Instructions:
        p.drawEllipse(QPointF(19, 19), 11, 11);
        p.drawLine(QPointF(19, 17), QPointF(19, 25));
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(19, 13), 2, 2);
        break;
    case IconGlyph::ScanNext: {
        pen.setWidthF(1.5);
        p.setPen(pen);
        const qreal bars[] = {8, 10.5, 12, 15, 16.5, 19, 22, 23.5};
        for (const qreal x : bars) {
            p.drawLine(QPointF(x, 10), QPointF(x, 24));
        }
        pen.setWidthF(3);
        p.setPen(pen);
        p.drawPath(chevron(26, 13, 5, 10, false));
        p.drawLine(QPointF(8, 29), QPointF(30, 29));
        break;
    }
    case IconGlyph::List:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 12 + i * 7;
            p.drawPoint(QPointF(10, y));
            p.drawLine(QPointF(15, y), QPointF(29, y));
        }
        break;
    case IconGlyph::WeekBack:
        p.drawPath(chevron(10, 11, 7, 16, true));
        p.drawPath(chevron(19, 11, 7, 16, true));
        break;
    case IconGlyph::WeekAhead:
        p.drawPath(chevron(12, 11, 7, 16, false));
        p.drawPath(chevron(21, 11, 7, 16, false));
        break;
    }
}

} // namespace

IconTriple IconIds(IconGlyph glyph) {
    for (const Known& k : kKnown) {
        if (k.glyph == glyph) {
            return k.ids;
        }
    }
    return {0, 0, 0};
}

QPixmap PaintIcon(IconGlyph glyph, IconState state) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor top = kBlueTop;
    QColor bottom = kBlueBottom;
    QColor ink = Qt::white;
    qreal shift = 0;
    if (state == IconState::Pressed) {
        top = kPressedTop;
        bottom = kPressedBottom;
        shift = 1;
    } else if (state == IconState::Disabled) {
        top = kGreyTop;
        bottom = kGreyBottom;
        ink = QColor(0xee, 0xee, 0xee);
    }
    // The tile fills the 38 x 38 part of the icon that a button shows.
    QLinearGradient fill(0, 0, 0, 38);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(bottom.darker(130), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 37, 37), 6, 6);
    p.translate(shift, shift);
    drawGlyph(p, glyph, ink);
    return pixmap;
}

QPixmap ProductIcon(int id) {
    static QHash<int, QPixmap> cache;
    const auto it = cache.constFind(id);
    if (it != cache.constEnd()) {
        return *it;
    }
    for (const Known& k : kKnown) {
        const IconState state = id == k.ids.normal     ? IconState::Normal
                                : id == k.ids.pressed  ? IconState::Pressed
                                : id == k.ids.disabled ? IconState::Disabled
                                                       : IconState(-1);
        if (state != IconState(-1)) {
            return cache.insert(id, PaintIcon(k.glyph, state)).value();
        }
    }
    return QPixmap();
}

namespace {

// A stacked parcel: the mark of the product.
void drawParcel(QPainter& p, const QRectF& box, const QColor& ink) {
    p.setPen(QPen(ink, std::max<qreal>(1.5, box.width() / 14), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal w = box.width();
    const qreal h = box.height();
    QPolygonF front({{box.left(), box.top() + h * 0.3},
                     {box.left() + w * 0.5, box.top() + h * 0.5},
                     {box.left() + w * 0.5, box.bottom()},
                     {box.left(), box.top() + h * 0.8}});
    QPolygonF side({{box.left() + w * 0.5, box.top() + h * 0.5},
                    {box.right(), box.top() + h * 0.3},
                    {box.right(), box.top() + h * 0.8},
                    {box.left() + w * 0.5, box.bottom()}});
    QPolygonF lid({{box.left(), box.top() + h * 0.3},
                   {box.left() + w * 0.5, box.top() + h * 0.1},
                   {box.right(), box.top() + h * 0.3},
                   {box.left() + w * 0.5, box.top() + h * 0.5}});
    p.drawPolygon(front);
    p.drawPolygon(side);
    p.drawPolygon(lid);
}

} // namespace

QPixmap BannerPicture(int width, int height) {
    QPixmap pixmap(std::max(width, 1), std::max(height, 1));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width, 0);
    fill.setColorAt(0, QColor(0x1f, 0x3b, 0x5a));
    fill.setColorAt(1, QColor(0x3a, 0x7b, 0xc8));
    p.fillRect(pixmap.rect(), fill);
    const qreal mark = height * 0.72;
    drawParcel(p, QRectF(8, (height - mark) / 2, mark, mark), QColor(0xf5, 0xb8, 0x2e));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(10, height / 2));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(16 + mark, 0, width - mark - 20, height), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Korvane"));
    return pixmap;
}

QPixmap LogoPicture(int width, int height) {
    QPixmap pixmap(std::max(width, 1), std::max(height, 1));
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal mark = height * 0.9;
    drawParcel(p, QRectF(2, (height - mark) / 2, mark, mark), QColor(0x1f, 0x4f, 0x8a));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(9, static_cast<int>(height * 0.55)));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x1f, 0x3b, 0x5a));
    p.drawText(QRectF(mark + 6, 0, width - mark - 6, height), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Korvane"));
    return pixmap;
}
