#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstdint>
#include <optional>

// A colour as the screens give it: an RGB value, a reference to a system colour
// (the high bit marks the system-colour index), or "default".
using ColourRef = std::uint32_t;

inline constexpr ColourRef kDefaultColour = 0xFF000000u;
constexpr ColourRef RgbColour(int red, int green, int blue) {
    return static_cast<ColourRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr ColourRef SystemColour(int index) {
    return 0x80000000u | static_cast<ColourRef>(index);
}

// The system colours the screens use.
namespace SysColour {
inline constexpr int Window = 5;
inline constexpr int WindowText = 8;
inline constexpr int Highlight = 13;
inline constexpr int ButtonFace = 15;
inline constexpr int ButtonShadow = 16;
inline constexpr int ButtonText = 18;
} // namespace SysColour

// Where a colour is used decides what "default" means.
enum class ColourContext { Static, Edit, Button };

// RGB, system colour (from the application palette) or the context's default.
QColor ResolveColour(ColourRef colour, bool background, ColourContext context);

struct FontOverrides {
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<bool> strikeOut;
    std::optional<QString> faceName;
};

// The colour state shared by colour labels and colour edits.
class ColourState {
public:
    ColourRef textColour = kDefaultColour;
    ColourRef backgroundColour = kDefaultColour;
    bool blinkText = false;
    bool blinkBackground = false;
    ColourRef blinkTextColours[2] = {kDefaultColour, kDefaultColour};
    ColourRef blinkBackgroundColours[2] = {kDefaultColour, kDefaultColour};
    int blinkPhase = 0;
    int blinkIntervalMs = 1000;
    QPixmap backgroundPicture;

    // The colours to paint with now.
    ColourRef currentText() const { return blinkText ? blinkTextColours[blinkPhase] : textColour; }
    ColourRef currentBackground() const {
        return blinkBackground ? blinkBackgroundColours[blinkPhase] : backgroundColour;
    }
};

// Applies the overrides on top of a copy of the font.
QFont ApplyFontOverrides(QFont font, const FontOverrides& overrides);

// Shared behaviour of the two colour widgets.
template <typename Base> class ColourWidget : public Base {
public:
    using Base::Base;

    void SetTextColour(ColourRef colour) {
        state_.textColour = colour;
        repaintColours();
    }
    void SetBackgroundColour(ColourRef colour) {
        state_.backgroundColour = colour;
        repaintColours();
    }
    void SetBackgroundPicture(const QPixmap& picture) {
        state_.backgroundPicture = picture;
        repaintColours();
    }
    void SetFontWithOverrides(const QFont& font, const FontOverrides& overrides) {
        this->setFont(ApplyFontOverrides(font, overrides));
    }
    // Blinking alternates between the two colours every interval (timer id 1 on
    // the device); none of the screens uses it, but the widgets support it.
    void StartBlinkText(ColourRef first, ColourRef second, int intervalMs = 1000) {
        state_.blinkText = true;
        state_.blinkTextColours[0] = first;
        state_.blinkTextColours[1] = second;
        startBlinking(intervalMs);
    }
    void StartBlinkBackground(ColourRef first, ColourRef second, int intervalMs = 1000) {
        state_.blinkBackground = true;
        state_.blinkBackgroundColours[0] = first;
        state_.blinkBackgroundColours[1] = second;
        startBlinking(intervalMs);
    }
    void StopBlinking() {
        state_.blinkText = false;
        state_.blinkBackground = false;
        state_.blinkPhase = 0;
        blinkTimer_.stop();
        repaintColours();
    }
    const ColourState& colourState() const { return state_; }
    // The colours currently painted.
    QColor paintedText() const { return ResolveColour(state_.currentText(), false, context()); }
    QColor paintedBackground() const {
        return ResolveColour(state_.currentBackground(), true, context());
    }

protected:
    virtual ColourContext context() const = 0;

    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() == blinkTimer_.timerId()) {
            state_.blinkPhase ^= 1;
            repaintColours();
            return;
        }
        Base::timerEvent(event);
    }

    void repaintColours() {
        QPalette palette = this->palette();
        const QColor text = paintedText();
        const QColor back = paintedBackground();
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            palette.setColor(role, text);
        }
        if (!state_.backgroundPicture.isNull()) {
            palette.setBrush(QPalette::Window, QBrush(state_.backgroundPicture));
            palette.setBrush(QPalette::Base, QBrush(state_.backgroundPicture));
        } else {
            palette.setColor(QPalette::Window, back);
            palette.setColor(QPalette::Base, back);
        }
        this->setPalette(palette);
        this->update();
    }

private:
    void startBlinking(int intervalMs) {
        state_.blinkIntervalMs = intervalMs;
        blinkTimer_.start(intervalMs, this);
        repaintColours();
    }

    ColourState state_;
    QBasicTimer blinkTimer_;
};

// A static text with its own colours.
class CColourLabel : public ColourWidget<QLabel> {
    Q_OBJECT
public:
    explicit CColourLabel(QWidget* parent = nullptr);
    CColourLabel(const QString& text, QWidget* parent = nullptr);

protected:
    ColourContext context() const override { return ColourContext::Static; }
};

// An edit field with its own colours.
class CColourEdit : public ColourWidget<QLineEdit> {
    Q_OBJECT
public:
    explicit CColourEdit(QWidget* parent = nullptr);

protected:
    ColourContext context() const override { return ColourContext::Edit; }
};

// Label styles of the screens (Arial; sizes in pixels).
void TitleStyle(CColourLabel* label);
void LabelStyle(CColourLabel* label, int height, bool bold);
void ColourLabelStyle(CColourLabel* label, int height, ColourRef background, ColourRef text,
                      bool bold);
// The Arial font of a given pixel height.
QFont ArialFont(int pixelHeight, bool bold);
