#include "shell/qt_prompter.h"

#include "screens/shared_dialogs.h"
#include "shell/main_frame.h"
#include "widgets/input_panel.h"
#include "widgets/korvo_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

// The small status line at the bottom of the screen while an exchange runs:
// the seconds waited and a Cancel button. While it lives it keeps every user
// input from the screens (the exchange blocks them, as it always did), lets
// only its own button be pressed, and watches for Escape being held.
class ExchangeStatusLine : public QObject {
public:
    explicit ExchangeStatusLine(QWidget* owner) : owner_(owner) { qApp->installEventFilter(this); }
    ~ExchangeStatusLine() override {
        qApp->removeEventFilter(this);
        delete line_;
    }

    void show(const QString& text, const QString& cancelCaption) {
        if (line_ == nullptr) {
            line_ = new QFrame(owner_, owner_ ? Qt::Widget : Qt::Tool | Qt::FramelessWindowHint);
            line_->setObjectName(QStringLiteral("exchangeStatus"));
            line_->setFrameShape(QFrame::Box);
            line_->setAutoFillBackground(true);
            QPalette palette = line_->palette();
            palette.setColor(QPalette::Window, QColor(255, 255, 225));
            line_->setPalette(palette);
            auto* layout = new QHBoxLayout(line_);
            layout->setContentsMargins(4, 1, 2, 1);
            label_ = new QLabel(line_);
            label_->setObjectName(QStringLiteral("exchangeStatusText"));
            label_->setWordWrap(true);
            QFont small = label_->font();
            small.setPixelSize(std::max(8, small.pixelSize() * 5 / 6));
            label_->setFont(small);
            cancel_ = new QPushButton(cancelCaption, line_);
            cancel_->setObjectName(QStringLiteral("exchangeCancel"));
            cancel_->setFocusPolicy(Qt::NoFocus);
            QObject::connect(cancel_, &QPushButton::clicked, [this] { cancelled_ = true; });
            layout->addWidget(label_, 1);
            layout->addWidget(cancel_);
        }
        label_->setText(text);
        if (owner_ != nullptr) {
            const int height = 34;
            const QRect area = owner_->rect();
            line_->setGeometry(0, area.height() - height - bottomMargin_, area.width(), height);
        }
        line_->show();
        line_->raise();
    }
    void setBottomMargin(int margin) { bottomMargin_ = margin; }

    // Escape is down: pressed while the line showed and not yet released.
    bool escapeDown() const { return escapeHeld_.isValid(); }

    // Cancel was pressed, or Escape has been held for `hold`.
    bool abandoned(std::chrono::milliseconds hold) const {
        return cancelled_ || (escapeHeld_.isValid() && escapeHeld_.elapsed() >= hold.count());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
                if (event->type() == QEvent::KeyPress) {
                    escapeHeld_.start();
                } else {
                    escapeHeld_.invalidate();
                }
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            // The window hands the event on to the widget under the pointer,
            // which is where it is judged.
            return !watched->isWindowType() && watched != cancel_;
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }

private:
    QWidget* owner_;
    QFrame* line_ = nullptr;
    QLabel* label_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QElapsedTimer escapeHeld_;
    bool cancelled_ = false;
    int bottomMargin_ = 0;
};

// The Escape that abandoned a wait is used up whole: its auto-repeats, which
// keep coming while the worker still holds the key, and its release, would
// otherwise close the error box and press Back on the screen, starting the
// next wait. A repeat cannot be told from a new press by its flag alone (the
// window system pairs a repeat's release and press only when both are queued
// already), so every Escape is taken for the held one until the key has been
// quiet for longer than any repeat interval.
class HeldEscapeSwallow : public QObject {
public:
    HeldEscapeSwallow() {
        quiet_.start();
        qApp->installEventFilter(this);
    }
    ~HeldEscapeSwallow() override { qApp->removeEventFilter(this); }
    bool done() const { return done_ || quiet_.elapsed() > kQuietMs; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (done_ || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
                      event->type() != QEvent::ShortcutOverride)) {
            return false;
        }
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) {
            return false;
        }
        if (quiet_.elapsed() > kQuietMs) {
            done_ = true; // the key was let go: this is the worker's next press
            return false;
        }
        quiet_.start();
        return true;
    }

private:
    static constexpr qint64 kQuietMs = 400;
    QElapsedTimer quiet_;
    bool done_ = false;
};

QtPrompter::QtPrompter(CMainFrame* frame) : frame_(frame) {}

QtPrompter::~QtPrompter() = default;

void QtPrompter::setFrame(CMainFrame* frame) {
    frame_ = frame;
}

QWidget* QtPrompter::owner() const {
    return frame_.data();
}

int QtPrompter::runModal(QDialog& dialog) {
    const int result = dialog.exec();
    GiveKeyboardBack(frame_.data());
    return result;
}

int QtPrompter::messageBox(const MessageBoxRequest& request) {
    QMessageBox box(owner());
    box.setWindowTitle(request.caption);
    // The text may be the back office's own message: shown as it came, never
    // read as markup (an image reference in it would be loaded from the disk).
    box.setTextFormat(Qt::PlainText);
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
    const int answer = runModal(box);
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
    runModal(popup);
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

DialogAnswer QtPrompter::questionDialog(const QuestionRequest& request) {
    CQuestionDlg dialog(owner(), request.style);
    dialog.SetTexts(request.body, request.title, request.firstButton, request.secondButton,
                    request.showFirst, request.showSecond);
    dialog.SetWaitCursor(request.waitCursorOnClose);
    return runModal(dialog) == 1 ? DialogAnswer::First : DialogAnswer::Second;
}

DialogAnswer QtPrompter::colourMessageDialog(const QuestionRequest& request) {
    CColourMessageDlg dialog(owner(), request.style);
    dialog.SetTexts(request.body, request.title, request.firstButton, request.secondButton,
                    request.showFirst, request.showSecond);
    dialog.SetBackgroundColour(request.backgroundRgb);
    dialog.SetWaitCursor(request.waitCursorOnClose);
    return runModal(dialog) == 1 ? DialogAnswer::First : DialogAnswer::Second;
}

DialogAnswer QtPrompter::instructionDialog(const InstructionRequest& request) {
    CInstructionDlg dialog(owner());
    dialog.SetTexts(request.body, request.title, request.okCaption);
    if (request.containerStyle) {
        dialog.SetContainerStyle();
    }
    runModal(dialog);
    return DialogAnswer::First;
}

std::optional<int> QtPrompter::colliCountDialog(const ColliCountRequest& request) {
    CNrColliPrintDialog dialog(request, owner());
    if (runModal(dialog) != 1) {
        return std::nullopt;
    }
    return dialog.value();
}

bool QtPrompter::passwordDialog(const PasswordRequest& request,
                                const std::function<bool(const QString&)>& accept) {
    CPasswordDlg dialog(request, accept, owner());
    return runModal(dialog) == 1;
}

QString QtPrompter::waitingText(std::chrono::milliseconds elapsed) const {
    const QString seconds = QString::number(elapsed.count() / 1000);
    QString text = frame_ ? frame_->document().T(QStringLiteral("lblWaitingSeconds")) : QString();
    // A site's own translation file may predate the text.
    if (!text.contains(QLatin1String("%1"))) {
        text = QStringLiteral("Waiting for the answer: %1 s");
    }
    return text.arg(seconds);
}

bool QtPrompter::exchangeWaiting(std::chrono::milliseconds elapsed) {
    if (!statusLine_) {
        statusLine_ = std::make_unique<ExchangeStatusLine>(owner());
        if (frame_) {
            statusLine_->setBottomMargin(frame_->menuBarHeight());
        }
    }
    if (elapsed >= exchangeStatusDelay_) {
        QString cancel = frame_ ? frame_->document().T(QStringLiteral("lblCancel")) : QString();
        if (cancel.isEmpty() || cancel.endsWith(QLatin1String(" Not Translated !"))) {
            cancel = QStringLiteral("Cancel");
        }
        statusLine_->show(waitingText(elapsed), cancel);
    }
    // Paint, timers and the status line's own button; the filter keeps every
    // other input away from the screens.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !statusLine_->abandoned(escapeHold_);
}

void QtPrompter::exchangeWaitEnded() {
    if (statusLine_ && statusLine_->escapeDown()) {
        escapeSwallow_ = std::make_unique<HeldEscapeSwallow>();
    } else if (escapeSwallow_ && escapeSwallow_->done()) {
        escapeSwallow_.reset();
    }
    statusLine_.reset();
}
