#pragma once

#include "widgets/screen_frame.h"

#include <QWidget>

class CKorvoDoc;

// Base of every screen: a full-screen form that the main frame creates anew on
// each visit and destroys when the next screen is shown.
class KorvoView : public QWidget {
    Q_OBJECT
public:
    KorvoView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, QWidget* parent = nullptr);

    int screenId() const { return screenId_; }

    // Runs each time the screen becomes the active screen, the first time included.
    virtual void activate() {}
    // The on-screen keyboard changed state; the default fits the screen to the
    // visible area.
    virtual void settingChanged() { frame_.HandleSettingChange(this); }

protected:
    QString T(const QString& key) const { return frame_.Translate(key); }
    void switchScreen(int command) { frame_.SwitchScreen(command); }

    ScreenFrame& frame_;
    CKorvoDoc& doc_;

private:
    int screenId_;
};
