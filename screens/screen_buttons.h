#pragma once

#include "widgets/product_icons.h"

#include <functional>

class CImageButton;
class QWidget;

// A screen's image button (MakeScreenButton) that runs `onClick` when pressed.
CImageButton* MakeCommandButton(QWidget* screen, const char* name, int controlId, IconGlyph glyph,
                                std::function<void()> onClick);
