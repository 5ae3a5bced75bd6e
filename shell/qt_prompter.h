#pragma once

#include "platform/prompter.h"

#include <QPointer>

class CMainFrame;
class QWidget;

// The Prompter of the running program: real dialogs owned by the main window.
class QtPrompter final : public Prompter {
public:
    explicit QtPrompter(CMainFrame* frame = nullptr);

    void setFrame(CMainFrame* frame);
    // How long a status pop-up stays; 2000 ms on the device.
    void setStatusDuration(int milliseconds) { statusMs_ = milliseconds; }

    int messageBox(const MessageBoxRequest& request) override;
    void statusPopup(const QString& caption, const QString& text) override;
    void setWaitCursor(bool on) override;
    void setInputPanel(bool up) override;
    int questionDialog(const QuestionRequest& request) override;
    int colourMessageDialog(const QuestionRequest& request) override;
    int instructionDialog(const InstructionRequest& request) override;
    int colliCountDialog(const ColliCountRequest& request, int* count) override;
    bool passwordDialog(const PasswordRequest& request,
                        const std::function<bool(const QString&)>& accept) override;

private:
    QWidget* owner() const;

    QPointer<CMainFrame> frame_;
    int statusMs_ = 2000;
    int waitDepth_ = 0;
};
