#include "screens/screen_buttons.h"

#include "widgets/image_button.h"

CImageButton* MakeCommandButton(QWidget* screen, const char* name, int controlId, IconGlyph glyph,
                                std::function<void()> onClick) {
    CImageButton* button = MakeScreenButton(screen, name, controlId, glyph);
    QObject::connect(button, &QAbstractButton::clicked, screen,
                     [button, onClick = std::move(onClick)] {
                         button->ResetButton();
                         onClick();
                     });
    return button;
}
