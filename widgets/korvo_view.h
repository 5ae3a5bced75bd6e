#pragma once

#include "model/navigation_ids.h"
#include "widgets/layout_screen.h"
#include "widgets/screen_frame.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <exception>
#include <functional>

class BackOffice;
class CColourLabel;
class CKorvoDoc;
class QKeyEvent;
class QLineEdit;

// Base of every screen: a full-screen form that the main frame creates anew on
// each visit and destroys when the next screen is shown. It owns what every
// screen shows the same way (the title label on top, the bottom band behind
// the button row, the optional status label) and sees the screen's keys before
// its controls do.
class KorvoView : public QWidget, public ScreenOperations {
    Q_OBJECT
public:
    KorvoView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, QWidget* parent = nullptr);
    ~KorvoView() override;

    int screenId() const { return screenId_; }

    // Runs each time the screen becomes the active screen, the first time included.
    virtual void activate() {}
    // The on-screen keyboard changed state; the default fits the screen to the
    // visible area.
    virtual void settingChanged() { frame_.HandleSettingChange(this); }
    // A screen answers the operations of its own commands; anything else is a
    // mistake in the command table and fails (it is logged, never a silent Ok).
    QString runOperation(ScreenOperation operation) override;

    // Gives the focus to the first field or list that takes it with Tab (else
    // to the screen itself), when the screen did not put it anywhere itself.
    void focusFirstControl();

    CColourLabel* titleLabel() const { return title_; }
    CColourLabel* bottomBand() const { return bottomBand_; }
    // The status label at the bottom right (created on first use).
    CColourLabel* statusLabel();

protected:
    QString T(const QString& key) const { return frame_.Translate(key); }
    bool switchScreen(int command) { return frame_.SwitchScreen(command); }
    BackOffice& backOffice() { return frame_.backOffice(); }

    // Title text in the title style.
    void setTitle(const QString& text);
    // The common layout with up to six buttons (control ids, 0 = none) from the left.
    void layoutButtons(const std::array<int, 6>& buttonIds, int gap = 2);
    // Where a screen's own controls go: below the title, above the button row.
    QRect contentArea() const;
    // The frame's screen geometry, and the top of its button row.
    ScreenGeometry screenGeometry() const;
    int buttonRowTop() const { return screenGeometry().buttonRowTop(); }
    // The settings ask for the on-screen keyboard when a field gets the focus.
    bool keyboardWanted() const;
    // Raises or lowers the on-screen keyboard (raising only when the settings ask for it).
    void inputPanel(bool up) const;

    // Runs a back-office send; should it throw, the log gets `logPrefix` and the
    // error's text and the send counts as failed with an empty text.
    template <typename Send> auto sendLogged(const char* logPrefix, Send&& send) {
        try {
            return send();
        } catch (const std::exception& e) {
            logFailure(logPrefix, QString::fromLocal8Bit(e.what()));
            return decltype(send()){};
        }
    }
    void logFailure(const char* logPrefix, const QString& error) const;

    // Keys reach the screen before its controls. Return true to consume the key.
    // Enter on a focused button presses it before this is asked.
    virtual bool handleKey(QKeyEvent* event);
    // A key-table action (key_table.h) that runs `command` and uses the key up.
    std::function<bool(int)> keyCommand(int command) {
        return [this, command](int) {
            switchScreen(command);
            return true;
        };
    }
    // The same while `button` is enabled; the key is used up either way.
    std::function<bool(int)> keyCommandWhileEnabled(const QWidget* button, int command) {
        return [this, button, command](int) {
            if (button->isEnabled()) {
                switchScreen(command);
            }
            return true;
        };
    }
    // Whether Enter finds a scan to act on: `field` has the focus and text.
    bool focusedWithText(const QLineEdit* field) const;

    ScreenFrame& frame_;
    CKorvoDoc& doc_;

private:
    friend class ScreenKeys;
    // A key press on its way to `target`; true when the screen consumed it.
    bool screenKey(QWidget* target, QEvent* event);

    int screenId_;
    CColourLabel* title_;
    CColourLabel* bottomBand_;
    CColourLabel* status_ = nullptr;
    // The key press being delivered, to see each press once.
    const QEvent* keyEvent_ = nullptr;
    QPointer<QWidget> keyTarget_;
    QObject* keys_; // the application-wide filter that brings the keys here
};
