#include "widgets/colour_widgets.h"

#include <QApplication>
#include <QPalette>

QColor ResolveColour(ColourRef colour, bool background, ColourContext context) {
    const QPalette palette = QApplication::palette();
    if (colour == kDefaultColour) {
        if (background) {
            return context == ColourContext::Edit ? palette.color(QPalette::Base)
                                                  : palette.color(QPalette::Button);
        }
        return context == ColourContext::Button ? palette.color(QPalette::ButtonText)
                                                : palette.color(QPalette::Text);
    }
    if (colour & 0x80000000u) {
        switch (colour & 0xFFu) {
        case SysColour::Window:
            return palette.color(QPalette::Base);
        case SysColour::WindowText:
            return palette.color(QPalette::Text);
        case SysColour::Highlight:
            return palette.color(QPalette::Highlight);
        case SysColour::ButtonFace:
            return palette.color(QPalette::Button);
        case SysColour::ButtonShadow:
            return palette.color(QPalette::Dark);
        case SysColour::ButtonText:
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(background ? QPalette::Window : QPalette::WindowText);
        }
    }
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QFont ApplyFontOverrides(QFont font, const FontOverrides& o) {
    if (o.bold) {
        font.setBold(*o.bold);
    }
    if (o.italic) {
        font.setItalic(*o.italic);
    }
    if (o.underline) {
        font.setUnderline(*o.underline);
    }
    if (o.strikeOut) {
        font.setStrikeOut(*o.strikeOut);
    }
    if (o.faceName) {
        font.setFamily(*o.faceName);
    }
    return font;
}

CColourLabel::CColourLabel(QWidget* parent) : ColourWidget<QLabel>(parent) {
    setAutoFillBackground(true);
    repaintColours();
}

CColourLabel::CColourLabel(const QString& text, QWidget* parent) : CColourLabel(parent) {
    setText(text);
}

CColourEdit::CColourEdit(QWidget* parent) : ColourWidget<QLineEdit>(parent) {
    repaintColours();
}

QFont ArialFont(int pixelHeight, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelHeight);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

void TitleStyle(CColourLabel* label) {
    ColourLabelStyle(label, 16, RgbColour(132, 132, 132), RgbColour(255, 255, 255), true);
}

void LabelStyle(CColourLabel* label, int height, bool bold) {
    ColourLabelStyle(label, height, RgbColour(255, 255, 255), RgbColour(0, 0, 0), bold);
}

void ColourLabelStyle(CColourLabel* label, int height, ColourRef background, ColourRef text,
                      bool bold) {
    if (label == nullptr) {
        return;
    }
    label->SetBackgroundColour(background);
    label->SetTextColour(text);
    QFont font = ArialFont(height, bold);
    font.setHintingPreference(QFont::PreferNoHinting); // smooth, as ClearType
    label->setFont(font);
}
