#include "widgets/control_ids.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr char kProperty[] = "korvoControlId";
}

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kProperty, id);
}

int GetControlId(const QWidget* widget) {
    const QVariant v = widget->property(kProperty);
    return v.isValid() ? v.toInt() : 0;
}

QWidget* FindControl(const QWidget* parent, int id) {
    if (id == 0 || parent == nullptr) {
        return nullptr;
    }
    const QList<QWidget*> children = parent->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (GetControlId(child) == id) {
            return child;
        }
    }
    return nullptr;
}
