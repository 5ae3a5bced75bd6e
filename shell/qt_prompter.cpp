#include "shell/qt_prompter.h"

#include "shell/main_frame.h"
#include "widgets/input_panel.h"
#include "widgets/korvo_view.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

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
    QDialog popup(owner(), Qt::Dialog | Qt::FramelessWindowHint);
    popup.setObjectName(QStringLiteral("statusPopup"));
    auto* layout = new QVBoxLayout(&popup);
    auto* top = new QLabel(caption, &popup);
    top->setAlignment(Qt::AlignCenter);
    QFont bold = top->font();
    bold.setBold(true);
    top->setFont(bold);
    auto* body = new QLabel(text, &popup);
    body->setAlignment(Qt::AlignCenter);
    body->setWordWrap(true);
    layout->addWidget(top);
    layout->addWidget(body);
    const bool twoLines = text.contains(QLatin1Char('\n'));
    QRect place(27, twoLines ? 70 : 90, 184, twoLines ? 100 : 60);
    if (frame_) {
        place.translate(frame_->mapToGlobal(QPoint(0, 0)));
    }
    popup.setGeometry(place);
    popup.setStyleSheet(QStringLiteral("QDialog{border:1px solid #1f3b5a;background:#ffffe1;}"));
    QTimer::singleShot(statusMs_, &popup, &QDialog::accept);
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
    if (frame_) {
        frame_->inputPanel()->raisePanel(up);
    }
}

int QtPrompter::questionDialog(const QuestionRequest& request) {
    QMessageBox box(owner());
    box.setWindowTitle(request.title);
    box.setText(request.body);
    QPushButton* first =
        request.showFirst ? box.addButton(request.firstButton, QMessageBox::AcceptRole) : nullptr;
    QPushButton* second =
        request.showSecond ? box.addButton(request.secondButton, QMessageBox::RejectRole) : nullptr;
    box.exec();
    if (request.waitCursorOnClose) {
        setWaitCursor(true);
    }
    if (box.clickedButton() != nullptr && box.clickedButton() == first) {
        return 1;
    }
    Q_UNUSED(second);
    return 2;
}

int QtPrompter::colourMessageDialog(const QuestionRequest& request) {
    return questionDialog(request);
}

int QtPrompter::instructionDialog(const InstructionRequest& request) {
    QMessageBox box(owner());
    box.setWindowTitle(request.title);
    box.setText(request.body);
    box.addButton(request.okCaption, QMessageBox::AcceptRole);
    box.exec();
    return 1;
}

int QtPrompter::colliCountDialog(const ColliCountRequest& request, int* count) {
    bool ok = false;
    const int value = QInputDialog::getInt(owner(), request.title, request.prompt, request.initial,
                                           0, 999, 1, &ok);
    if (!ok) {
        return 2;
    }
    *count = value;
    return 1;
}

bool QtPrompter::passwordDialog(const PasswordRequest& request,
                                const std::function<bool(const QString&)>& accept) {
    for (;;) {
        bool ok = false;
        const QString text = QInputDialog::getText(owner(), request.label, request.label,
                                                   QLineEdit::Password, QString(), &ok);
        if (!ok) {
            return false;
        }
        if (accept(text)) {
            return true;
        }
        messageBox({request.label, request.errorText, MessageIcon::None, MessageButtons::Ok});
    }
}
