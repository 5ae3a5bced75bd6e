#include "widgets/scan_field.h"

#include "model/korvo_doc.h"
#include "platform/prompter.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace {
// Bounds what a paste can bring into the field before it is filtered.
constexpr int kRawLimit = 1024;
// A scanner types faster than this between two keys, a person slower.
constexpr int kBurstPauseMs = 250;

bool isEnter(const QEvent* event) {
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

CScanField::CScanField(ScanKind kind, const CKorvoDoc& doc, QWidget* parent)
    : QLineEdit(parent), kind_(kind), doc_(doc) {
    setMaxLength(kRawLimit);
    pause_.setSingleShot(true);
    pause_.setInterval(kBurstPauseMs);
    connect(&pause_, &QTimer::timeout, this, &CScanField::showPending);
    connect(this, &QLineEdit::textEdited, this, &CScanField::check);
    // Installed after the screen's own key filter, so it sees the keys first.
    qApp->installEventFilter(this);
}

CScanField::~CScanField() {
    qApp->removeEventFilter(this);
}

bool CScanField::eventFilter(QObject* watched, QEvent* event) {
    if (watched != this || pending_ == ScanCheck::None ||
        (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
        return false;
    }
    if (!isEnter(event)) {
        pause_.start(); // the burst goes on
        return false;
    }
    // The burst's Enter: the message instead of sending what was cut.
    if (event->type() == QEvent::KeyPress) {
        showPending();
    }
    return true;
}

void CScanField::check(const QString& raw) {
    const int max = ScanMaxLength(kind_);
    const ScanCheck result = CheckScanInput(kind_, raw);
    if (result.message == ScanCheck::None) {
        overflowing_ = overflowing_ && raw.size() >= max;
        return;
    }
    const int cursor = cursorPosition();
    const int removed = static_cast<int>(raw.size() - result.text.size());
    setText(result.text);
    setCursorPosition(result.message == ScanCheck::TooLong
                          ? static_cast<int>(result.text.size())
                          : std::clamp(cursor - removed, 0, static_cast<int>(result.text.size())));
    if (result.message == ScanCheck::TooLong) {
        if (overflowing_) {
            return;
        }
        overflowing_ = true;
    }
    // The length message says more than the character one.
    if (pending_ != ScanCheck::TooLong) {
        pending_ = result.message;
    }
    pause_.start();
}

void CScanField::showPending() {
    pause_.stop();
    const ScanCheck::Message message = pending_;
    if (message == ScanCheck::None) {
        return;
    }
    const ScanMessageKeys keys = ScanMessage(kind_, message);
    MessageBoxRequest box;
    box.text = doc_.T(QLatin1String(keys.text));
    box.caption = doc_.T(QLatin1String(keys.caption));
    Prompter::current().messageBox(box);
    pending_ = ScanCheck::None;
    const int position = cursorPosition();
    keepCursor_ = true;
    setFocus(Qt::OtherFocusReason);
    keepCursor_ = false;
    if (message == ScanCheck::TooLong) {
        // What was kept of a too-long label is no number to go on with: the
        // next scan replaces it.
        selectAll();
    } else {
        // The worker goes on typing where he was.
        deselect();
        setCursorPosition(position);
    }
    emit refused(message);
}

void CScanField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (doc_.showScreenKeyboard == QLatin1String("Y")) {
        Prompter::current().setInputPanel(true);
    }
    // Focus that comes back when a box over the field closes, or the window is
    // activated again, is not a new scan: the text stays as the worker left it.
    if (keepCursor_ || event->reason() == Qt::ActiveWindowFocusReason ||
        event->reason() == Qt::PopupFocusReason) {
        return;
    }
    if (event->reason() == Qt::MouseFocusReason) {
        // The press that gave the focus places the cursor afterwards.
        QTimer::singleShot(0, this, &QLineEdit::selectAll);
    } else {
        selectAll();
    }
}

void CScanField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A modal box over the field takes the focus only for a moment.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        overflowing_ = false;
        Prompter::current().setInputPanel(false);
    }
}
