#pragma once

#include "widgets/colour_widgets.h"
#include "widgets/product_icons.h"

#include <QAbstractButton>
#include <QPixmap>

// A push button drawn from three 42 x 42 icons (normal, pressed, disabled). It
// tracks the stylus itself: pressed while held, normal again when released.
class CImageButton : public QAbstractButton {
    Q_OBJECT
public:
    enum DrawState { Normal = 1, Highlighted = 2, Pressed = 3 };

    explicit CImageButton(QWidget* parent = nullptr);

    void SetButtonImages(int normalId, int pressedId, int disabledId);
    // Enables or disables the button; a disabled button shows its disabled icon.
    void EnableButton(bool enabled);
    // Back to the normal look.
    void ResetButton();

    int drawState() const { return state_; }
    void setHighlighted(bool on);
    void setTextColours(ColourRef normal, ColourRef pressed);
    void set3D(bool on) { threeD_ = on; }
    // The icon painted now.
    const QPixmap& shownIcon() const;

    QSize sizeHint() const override { return QSize(38, 38); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setState(DrawState state);

    QPixmap normal_;
    QPixmap pressed_;
    QPixmap disabled_;
    DrawState state_ = Normal;
    bool highlightFlag_ = false;
    bool threeD_ = false;
    ColourRef normalText_ = kDefaultColour;
    ColourRef pressedText_ = kDefaultColour;
};

// A screen's button: the three icons of a glyph, an object name for tests and
// the control id the common layout places it by.
CImageButton* MakeScreenButton(QWidget* screen, const char* name, int controlId, IconGlyph glyph);
