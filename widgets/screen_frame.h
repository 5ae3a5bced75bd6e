#pragma once

#include <QString>
#include <array>

class BackOffice;
class QWidget;

// What a screen may ask of the main frame. Screens never create or reach each
// other: they run numbered commands through SwitchScreen.
class ScreenFrame {
public:
    virtual ~ScreenFrame() = default;

    // Runs a numbered command; true when it led to another screen (the calling
    // screen is then on its way out and must not touch its controls again).
    virtual bool SwitchScreen(int command) = 0;
    virtual QString Translate(const QString& key) const = 0;
    // The common layout: title, bottom band, status label and up to six 38 x 38
    // buttons (control ids; 0 = none) in a row above the menu bar.
    virtual void LayoutScreen(QWidget* screen, const std::array<int, 6>& buttonIds, int titleHeight,
                              int gap) = 0;
    // The on-screen keyboard was raised or lowered: fit the screen to what stays visible.
    virtual void HandleSettingChange(QWidget* screen) = 0;
    // Enables or disables a button and the Actions entry at `position` of a screen's row.
    virtual void SetActionEnabled(bool enabled, QWidget* button, int screenId, int position) = 0;
    // Takes a command's entry out of the Actions menu shown now (the screen has
    // no such button); the next screen's menu is built from the table again.
    virtual void RemoveActionEntry(int command) = 0;
    // The one way screens reach the back office.
    virtual BackOffice& backOffice() = 0;

    virtual int screenWidth() const = 0;
    virtual int screenHeight() const = 0;
    virtual int menuBarHeight() const = 0;
    // Height of the screens' title label.
    static constexpr int kTitleHeight = 20;
};
