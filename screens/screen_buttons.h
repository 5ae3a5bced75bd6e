#pragma once

#include "widgets/product_icons.h"

#include <functional>

class CImageButton;
class QWidget;

// A screen's image button: found by `name` in tests, placed by the common layout
// through `controlId`, drawn with the glyph's three icons, reachable with Tab,
// and running `onClick` when pressed.
CImageButton* MakeCommandButton(QWidget* screen, const char* name, int controlId, IconGlyph glyph,
                                std::function<void()> onClick);
