#pragma once

#include "platform/prompter.h"

#include <QElapsedTimer>
#include <QPointer>
#include <memory>

class CMainFrame;
class QDialog;
class QWidget;
class ExchangeStatusLine;
class HeldEscapeSwallow;

// The Prompter of the running program: real dialogs owned by the main window.
class QtPrompter final : public Prompter {
public:
    explicit QtPrompter(CMainFrame* frame = nullptr);

    void setFrame(CMainFrame* frame);
    // How long a status pop-up stays; 2000 ms on the device.
    void setStatusDuration(int milliseconds) { statusMs_ = milliseconds; }
    // When the status line of a running exchange appears (3 s), and how long
    // Escape must be held to abandon it (1 s).
    void setExchangeStatusDelay(std::chrono::milliseconds delay) { exchangeStatusDelay_ = delay; }
    void setEscapeHoldTime(std::chrono::milliseconds hold) { escapeHold_ = hold; }

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
    bool exchangeWaiting(std::chrono::milliseconds elapsed) override;
    void exchangeWaitEnded() override;

    ~QtPrompter() override;

private:
    QWidget* owner() const;
    // Runs a dialog and gives the keyboard back to the main window afterwards.
    int runModal(QDialog& dialog);
    QString waitingText(std::chrono::milliseconds elapsed) const;

    QPointer<CMainFrame> frame_;
    int statusMs_ = 2000;
    int waitDepth_ = 0;
    std::chrono::milliseconds exchangeStatusDelay_{3000};
    std::chrono::milliseconds escapeHold_{1000};
    // While an exchange step runs: swallows the user's input, watches Escape
    // and shows the status line.
    std::unique_ptr<ExchangeStatusLine> statusLine_;
    std::unique_ptr<HeldEscapeSwallow> escapeSwallow_;
};
