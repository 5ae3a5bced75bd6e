#pragma once

#include "model/scan_rules.h"

#include <QLineEdit>

class CKorvoDoc;

// The field a note number or a container label is scanned or typed into. After
// every change it keeps only what the kind accepts (telling the worker once
// when it had to cut or drop characters); getting the focus selects the whole
// text, so the next scan replaces it, and raises the on-screen keyboard when
// the settings ask for it; losing the focus lowers it. Enter is left to the
// screen.
class CScanField : public QLineEdit {
    Q_OBJECT
public:
    CScanField(ScanKind kind, const CKorvoDoc& doc, QWidget* parent = nullptr);

    ScanKind kind() const { return kind_; }

signals:
    // A message about the text was shown (the field has the focus again).
    void refused(ScanCheck::Message message);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void check(const QString& raw);

    ScanKind kind_;
    const CKorvoDoc& doc_;
    // Characters past the limit were refused and nothing was taken away since:
    // the rest of a scanner's burst is dropped without another message.
    bool overflowing_ = false;
    bool keepCursor_ = false; // the focus returns after a message
};
