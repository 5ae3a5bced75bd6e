#pragma once

#include <QWidget>

class QToolButton;

// The on-screen keypad: digits, letters, a few signs, Backspace and Enter. Its
// keys type into whatever widget has the focus, as a hardware keyboard would;
// the keypad itself never takes the focus.
class InputPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 80;

    explicit InputPanel(QWidget* parent = nullptr);

    // Raises (shows) or lowers (hides) the keypad; stateChanged follows a change.
    void raisePanel(bool up);
    bool isRaised() const { return raised_; }

    // While a modal dialog is open the keypad must float above it as a window of
    // that dialog, or the dialog would block its keys. nullptr brings it home.
    void floatOver(QWidget* modalDialog);
    bool isFloating() const { return home_ != nullptr; }

signals:
    void stateChanged(bool raised);

private:
    void type(int key, const QString& text);
    void toggleCase();

    bool raised_ = false;
    QWidget* home_ = nullptr; // the parent while floating
    QRect homeGeometry_;
    bool upperCase_ = true;
    QList<QToolButton*> letterKeys_;
};
