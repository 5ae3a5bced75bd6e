#include "widgets/scan_field.h"

#include "model/korvo_doc.h"
#include "platform/prompter.h"

#include <QFocusEvent>
#include <QTimer>

namespace {
// Bounds what a paste can bring into the field before it is filtered.
constexpr int kRawLimit = 1024;
} // namespace

CScanField::CScanField(ScanKind kind, const CKorvoDoc& doc, QWidget* parent)
    : QLineEdit(parent), kind_(kind), doc_(doc) {
    setMaxLength(kRawLimit);
    connect(this, &QLineEdit::textEdited, this, &CScanField::check);
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
    const ScanMessageKeys keys = ScanMessage(kind_, result.message);
    MessageBoxRequest box;
    box.text = doc_.T(QLatin1String(keys.text));
    box.caption = doc_.T(QLatin1String(keys.caption));
    Prompter::current().messageBox(box);
    // The worker goes on where he was: what was kept is not selected for replacing.
    const int position = cursorPosition();
    keepCursor_ = true;
    setFocus(Qt::OtherFocusReason);
    keepCursor_ = false;
    deselect();
    setCursorPosition(position);
    emit refused(result.message);
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
