#include "shell/qt_prompter.h"

#include "screens/shared_dialogs.h"
#include "shell/main_frame.h"
#include "widgets/input_panel.h"
#include "widgets/korvo_view.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QtPrompter::QtPrompter(CMainFrame* frame) : frame_(frame) {}

void QtPrompter::setFrame(CMainFrame* frame) {
    frame_ = frame;
}

QWidget* QtPrompter::owner() const {
    return frame_.data();
}

int QtPrompter::messageBox(const MessageBoxRequest& request) {
    QMessageBox box(owner());
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.icon) {
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::None:
        break;
    }
    switch (request.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    // A message must be readable even while the wait cursor is on.
    const bool waiting = waitDepth_ > 0;
    if (waiting) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const int answer = box.exec();
    if (waiting) {
        QApplication::restoreOverrideCursor();
    }
    switch (answer) {
    case QMessageBox::Ok:
        return IdOk;
    case QMessageBox::Cancel:
        return IdCancel;
    case QMessageBox::Yes:
        return IdYes;
    case QMessageBox::No:
        return IdNo;
    default:
        return request.buttons == MessageButtons::YesNo ? IdNo : IdCancel;
    }
}

void QtPrompter::statusPopup(const QString& caption, const QString& text) {
    StatusPopup popup(caption, text, statusMs_, owner());
    popup.exec();
}

void QtPrompter::setWaitCursor(bool on) {
    if (on) {
        if (waitDepth_++ == 0) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    } else if (waitDepth_ > 0 && --waitDepth_ == 0) {
        QApplication::restoreOverrideCursor();
    }
}

void QtPrompter::setInputPanel(bool up) {
    if (!frame_) {
        return;
    }
    InputPanel* panel = frame_->inputPanel();
    QWidget* modal = QApplication::activeModalWidget();
    panel->floatOver(up && modal != nullptr && modal != frame_ ? modal : nullptr);
    panel->raisePanel(up);
}

int QtPrompter::questionDialog(const QuestionRequest& request) {
    CQuestionDlg dialog(owner(), request.style);
    dialog.SetTexts(request.body, request.title, request.firstButton, request.secondButton,
                    request.showFirst, request.showSecond);
    dialog.SetWaitCursor(request.waitCursorOnClose);
    return dialog.exec() == 1 ? 1 : 2;
}

int QtPrompter::colourMessageDialog(const QuestionRequest& request) {
    CColourMessageDlg dialog(owner(), request.style);
    dialog.SetTexts(request.body, request.title, request.firstButton, request.secondButton,
                    request.showFirst, request.showSecond);
    dialog.SetBackgroundColour(request.backgroundRgb);
    dialog.SetWaitCursor(request.waitCursorOnClose);
    return dialog.exec() == 1 ? 1 : 2;
}

int QtPrompter::instructionDialog(const InstructionRequest& request) {
    CInstructionDlg dialog(owner());
    dialog.SetTexts(request.body, request.title, request.okCaption);
    if (request.containerStyle) {
        dialog.SetContainerStyle();
    }
    dialog.exec();
    return 1;
}

int QtPrompter::colliCountDialog(const ColliCountRequest& request, int* count) {
    CNrColliPrintDialog dialog(request, owner());
    if (dialog.exec() != 1) {
        return 2;
    }
    *count = dialog.value();
    return 1;
}

bool QtPrompter::passwordDialog(const PasswordRequest& request,
                                const std::function<bool(const QString&)>& accept) {
    CPasswordDlg dialog(request, accept, owner());
    return dialog.exec() == 1;
}
