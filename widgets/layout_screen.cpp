#include "widgets/layout_screen.h"

#include "widgets/control_ids.h"

#include <QPalette>
#include <QWidget>

namespace {

void useButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), palette.color(QPalette::Button));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

void LayoutScreenControls(QWidget* screen, const ScreenGeometry& g,
                          const std::array<int, 6>& buttonIds, int titleHeight, int gap) {
    if (screen == nullptr) {
        return;
    }
    QWidget* band = FindControl(screen, ControlId::BottomBand);
    if (band) {
        useButtonFace(band);
    }
    screen->setGeometry(0, 0, g.width, g.height);
    const int top = g.buttonRowTop();
    if (band) {
        band->setGeometry(-1, top, g.width + 3, g.height);
        band->lower();
    }
    if (QWidget* status = FindControl(screen, ControlId::StatusLabel)) {
        status->setGeometry(-1, top + 10, g.width, 38);
        useButtonFace(status);
    }
    int k = 0;
    for (const int id : buttonIds) {
        if (id == 0) {
            continue;
        }
        if (QWidget* button = FindControl(screen, id)) {
            button->setGeometry(1 + k * (38 + gap), top + 3, 38, 38);
            button->raise();
        }
        ++k;
    }
    if (QWidget* title = FindControl(screen, ControlId::Title)) {
        title->setGeometry(0, 0, g.width, titleHeight != 0 ? titleHeight : 20);
    }
}
