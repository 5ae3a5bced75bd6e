#pragma once

#include "platform/prompter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

// A Prompter for tests: records everything that would have been shown, and
// answers from queues the test fills (the first button when a queue is empty).
class ScriptedPrompter final : public Prompter {
public:
    enum class Kind {
        MessageBox,
        Status,
        Question,
        ColourMessage,
        Instruction,
        ColliCount,
        Password
    };

    struct Shown {
        Kind kind;
        QString caption; // caption or title
        QString text;    // text or body
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
        QuestionRequest question;
        InstructionRequest instruction;
        ColliCountRequest colli;
    };

    // Answers, consumed in order.
    std::deque<int> messageAnswers; // DialogResult values
    std::deque<int> dialogAnswers;  // 1 or 2, for question, colour, instruction dialogs
    std::deque<int> colliAnswers;   // the number chosen; -1 cancels
    std::deque<QString> passwords;  // typed texts; when empty the dialog is cancelled

    QList<Shown> shown;
    int waitDepth = 0;
    int maxWaitDepth = 0;
    int inputPanelUps = 0;
    int inputPanelDowns = 0;
    bool inputPanelUp = false;

    int messageBox(const MessageBoxRequest& request) override;
    void statusPopup(const QString& caption, const QString& text) override;
    void setWaitCursor(bool on) override;
    void setInputPanel(bool up) override;
    DialogAnswer questionDialog(const QuestionRequest& request) override;
    DialogAnswer colourMessageDialog(const QuestionRequest& request) override;
    DialogAnswer instructionDialog(const InstructionRequest& request) override;
    std::optional<int> colliCountDialog(const ColliCountRequest& request) override;
    bool passwordDialog(const PasswordRequest& request,
                        const std::function<bool(const QString&)>& accept) override;

    // Texts of everything of one kind, in order.
    QStringList texts(Kind kind) const;
    QStringList messageTexts() const { return texts(Kind::MessageBox); }
    QStringList statusTexts() const { return texts(Kind::Status); }
    int count(Kind kind) const;
    void clear() { shown.clear(); }
};
