#pragma once

class QWidget;

// Controls that the common layout places are found by their numeric id.
namespace ControlId {
inline constexpr int Title = 1007;
inline constexpr int BottomBand = 1056;
inline constexpr int StatusLabel = 1109;
} // namespace ControlId

void SetControlId(QWidget* widget, int id);
int GetControlId(const QWidget* widget);
// The first descendant of `parent` with the id, or nullptr.
QWidget* FindControl(const QWidget* parent, int id);
