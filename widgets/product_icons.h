#pragma once

#include <QPixmap>

// The product's pictures, painted in code so they stay crisp and consistent:
// 42 x 42 button icons in three states, the start screen's banner and the logo.

enum class IconGlyph {
    Settings,
    Start,
    Ok,
    Cancel,
    Test,
    Save,
    Back,
    Print,
    Process,
    Hold,
    OutScanPool,
    Counting,
    Previous,
    Next,
    Instructions,
    ScanNext,
    List,
    WeekBack,
    WeekAhead,
};

enum class IconState { Normal, Pressed, Disabled };

// Icon ids of the buttons; each button has a normal, pressed and disabled id.
struct IconTriple {
    int normal;
    int pressed;
    int disabled;
};
IconTriple IconIds(IconGlyph glyph);

inline constexpr int kIconSize = 42;

// The icon with a resource id; a null pixmap for an unknown id.
QPixmap ProductIcon(int id);
QPixmap PaintIcon(IconGlyph glyph, IconState state);

QPixmap BannerPicture(int width, int height);
QPixmap LogoPicture(int width, int height);
