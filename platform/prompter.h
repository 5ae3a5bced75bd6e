#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// Everything the program shows to the user besides its screens goes through this
// interface: message boxes, questions, the timed status pop-up, the wait cursor,
// the on-screen keyboard and the small shared dialogs. The program installs the
// Qt implementation; tests install a scripted one that records every call and
// answers as the test says. Layers below the widgets never show anything
// themselves.

// Dialog results as the platform gives them.
enum DialogResult : int {
    IdOk = 1,
    IdCancel = 2,
    IdYes = 6,
    IdNo = 7,
};

enum class MessageIcon { None, Error, Warning, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };

struct MessageBoxRequest {
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// The two-button question dialog (styles 0 to 4) and the coloured message dialog
// (style 5, with a background colour given as "RRGGBB").
struct QuestionRequest {
    int style = 0;
    QString title;
    QString body;
    QString firstButton;
    QString secondButton;
    bool showFirst = true;
    bool showSecond = true;
    bool waitCursorOnClose = false;
    QString backgroundRgb; // coloured message dialog only
};

struct InstructionRequest {
    QString title;
    QString body;
    QString okCaption;
    bool containerStyle = false;
};

struct ColliCountRequest {
    QString title;
    QString prompt;
    int initial = 0; // the note's number of colli
    QString okCaption = QStringLiteral("OK");
    QString cancelCaption = QStringLiteral("Cancel");
};

struct PasswordRequest {
    QString label; // caption of the password field and of the error box
    QString okCaption;
    QString cancelCaption;
    QString errorText;            // shown after a wrong password
    bool raiseInputPanel = false; // the field raises the on-screen keyboard
};

// The button that closed a two-button dialog (its values are the dialog's result).
enum class DialogAnswer { First = 1, Second = 2 };

class Prompter {
public:
    virtual ~Prompter() = default;

    // Returns the DialogResult of the button pressed.
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    // Shows the caption and the text for the pop-up's lifetime, blocking the caller.
    virtual void statusPopup(const QString& caption, const QString& text) = 0;
    // Nested: the cursor shows while more "on" than "off" calls were made.
    virtual void setWaitCursor(bool on) = 0;
    // Raises or lowers the on-screen keyboard.
    virtual void setInputPanel(bool up) = 0;

    // Which button closed the dialog; a dialog closed without one answers Second.
    virtual DialogAnswer questionDialog(const QuestionRequest& request) = 0;
    virtual DialogAnswer colourMessageDialog(const QuestionRequest& request) = 0;
    virtual DialogAnswer instructionDialog(const InstructionRequest& request) = 0;
    // The chosen number (0 to 999), or none when cancelled.
    virtual std::optional<int> colliCountDialog(const ColliCountRequest& request) = 0;
    // Asks until `accept` takes the typed text (true) or the user cancels (false).
    // A refused text shows request.errorText with request.label as caption.
    virtual bool passwordDialog(const PasswordRequest& request,
                                const std::function<bool(const QString&)>& accept) = 0;

    // An exchange step (a connect, the probe or the call) has been running for
    // `elapsed`; the blocked caller asks about every 50 ms until the step ends.
    // Returns false when the user abandons the exchange, which then ends
    // exactly like a time-out of that step. No user input may reach the
    // screens meanwhile. The default waits without a word.
    virtual bool exchangeWaiting(std::chrono::milliseconds elapsed) {
        (void)elapsed;
        return true;
    }
    // The step that exchangeWaiting was asked about has ended.
    virtual void exchangeWaitEnded() {}

    // The prompter of this process; set by the program at start-up and by tests.
    static Prompter& current();
    static void setCurrent(Prompter* prompter);
};

// Shows the wait cursor for the lifetime of the guard.
class WaitCursor {
public:
    WaitCursor() { Prompter::current().setWaitCursor(true); }
    ~WaitCursor() { Prompter::current().setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Makes a prompter current for the lifetime of the guard.
class ScopedPrompter {
public:
    explicit ScopedPrompter(Prompter& prompter);
    ~ScopedPrompter();
    ScopedPrompter(const ScopedPrompter&) = delete;
    ScopedPrompter& operator=(const ScopedPrompter&) = delete;

private:
    Prompter* previous_;
};
