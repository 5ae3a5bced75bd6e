#pragma once

#include <array>

class QWidget;

// Geometry shared by every screen (all sizes in pixels): the screen fills the
// display, a row of 38 x 38 buttons sits on a bottom band above the menu bar and
// the title label spans the top.
struct ScreenGeometry {
    int width = 240;
    int height = 320;
    int menuBarHeight = 26;

    int buttonRowTop() const { return height - menuBarHeight - 73; }
};

void LayoutScreenControls(QWidget* screen, const ScreenGeometry& geometry,
                          const std::array<int, 6>& buttonIds, int titleHeight, int gap);
