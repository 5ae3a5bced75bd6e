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

signals:
    void stateChanged(bool raised);

private:
    void type(int key, const QString& text);
    void toggleCase();

    bool raised_ = false;
    bool upperCase_ = true;
    QList<QToolButton*> letterKeys_;
};
