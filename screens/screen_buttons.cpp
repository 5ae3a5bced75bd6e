#include "screens/screen_buttons.h"

#include "widgets/control_ids.h"
#include "widgets/image_button.h"

CImageButton* MakeCommandButton(QWidget* screen, const char* name, int controlId, IconGlyph glyph,
                                std::function<void()> onClick) {
    auto* button = new CImageButton(screen);
    button->setObjectName(QLatin1String(name));
    SetControlId(button, controlId);
    const IconTriple icons = IconIds(glyph);
    button->SetButtonImages(icons.normal, icons.pressed, icons.disabled);
    // A keypad user reaches the buttons with Tab; a tap leaves the focus where it is.
    button->setFocusPolicy(Qt::TabFocus);
    QObject::connect(button, &QAbstractButton::clicked, screen,
                     [button, onClick = std::move(onClick)] {
                         button->ResetButton();
                         onClick();
                     });
    return button;
}
