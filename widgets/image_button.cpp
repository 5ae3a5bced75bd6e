#include "widgets/image_button.h"

#include "widgets/control_ids.h"
#include "widgets/product_icons.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
// The focus frame: the banner's amber, so it stands out on the blue tile and
// on the grey band behind the button row.
const QColor kFocusFrame(0xf5, 0xb8, 0x2e);
} // namespace

CImageButton::CImageButton(QWidget* parent) : QAbstractButton(parent) {
    // A keypad user reaches every button with Tab; a tap does not move the
    // focus away from the field being scanned into.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover, false);
}

void CImageButton::SetButtonImages(int normalId, int pressedId, int disabledId) {
    normal_ = ProductIcon(normalId);
    pressed_ = ProductIcon(pressedId);
    disabled_ = ProductIcon(disabledId);
    update();
}

void CImageButton::EnableButton(bool enabled) {
    setEnabled(enabled);
    update();
}

void CImageButton::ResetButton() {
    highlightFlag_ = false;
    setMouseTracking(false);
    setState(Normal);
}

void CImageButton::setHighlighted(bool on) {
    highlightFlag_ = on;
    // A stylus moving over a highlighted button brings it back to normal.
    setMouseTracking(on);
    setState(on ? Highlighted : Normal);
}

void CImageButton::setTextColours(ColourRef normal, ColourRef pressed) {
    normalText_ = normal;
    pressedText_ = pressed;
    update();
}

void CImageButton::setState(DrawState state) {
    state_ = state;
    update();
}

const QPixmap& CImageButton::shownIcon() const {
    if (!isEnabled()) {
        return disabled_;
    }
    switch (state_) {
    case Highlighted:
        return pressed_;
    case Pressed:
        return isDown() ? pressed_ : normal_;
    case Normal:
        break;
    }
    return normal_;
}

void CImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool held = state_ == Pressed && isDown() && isEnabled();
    const QPoint offset = held && threeD_ ? QPoint(1, 1) : QPoint(0, 0);
    p.drawPixmap(offset, shownIcon());
    if (held && threeD_) {
        p.setPen(
            ResolveColour(SystemColour(SysColour::ButtonShadow), false, ColourContext::Button));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kFocusFrame, 3));
        p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
        p.setPen(QPen(Qt::white, 1));
        p.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 3, 3);
    }
    if (!text().isEmpty()) {
        const bool pressedLook = state_ != Normal && isEnabled();
        p.setPen(
            ResolveColour(pressedLook ? pressedText_ : normalText_, false, ColourContext::Button));
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text());
    }
}

void CImageButton::mousePressEvent(QMouseEvent* event) {
    setState(Pressed);
    QAbstractButton::mousePressEvent(event);
}

void CImageButton::mouseReleaseEvent(QMouseEvent* event) {
    setState(Normal);
    QAbstractButton::mouseReleaseEvent(event);
}

void CImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double tap is a second tap.
    mousePressEvent(event);
}

void CImageButton::mouseMoveEvent(QMouseEvent* event) {
    if (highlightFlag_) {
        highlightFlag_ = false;
        setMouseTracking(false);
        setState(Normal);
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CImageButton::focusOutEvent(QFocusEvent* event) {
    setState(Normal);
    QAbstractButton::focusOutEvent(event);
}

CImageButton* MakeScreenButton(QWidget* screen, const char* name, int controlId, IconGlyph glyph) {
    auto* button = new CImageButton(screen);
    button->setObjectName(QLatin1String(name));
    SetControlId(button, controlId);
    const IconTriple ids = IconIds(glyph);
    button->SetButtonImages(ids.normal, ids.pressed, ids.disabled);
    return button;
}
