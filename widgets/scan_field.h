#pragma once

#include "model/scan_rules.h"

#include <QLineEdit>
#include <QTimer>

class CKorvoDoc;

// The field a note number or a container label is scanned or typed into. After
// every change it keeps only what the kind accepts; getting the focus selects
// the whole text, so the next scan replaces it, and raises the on-screen
// keyboard when the settings ask for it; losing the focus lowers it. Enter is
// left to the screen.
//
// A scanner types a whole label and its Enter in one burst. A message about
// the text (too long, characters dropped) therefore waits until the burst is
// over: the keys that follow never land in the message box, and the burst's
// Enter, which would send a cut-off number, only brings the message up.
class CScanField : public QLineEdit {
    Q_OBJECT
public:
    CScanField(ScanKind kind, const CKorvoDoc& doc, QWidget* parent = nullptr);
    ~CScanField() override;

    ScanKind kind() const { return kind_; }

    // How long the keys must pause before a message about the text shows.
    void setBurstPause(int milliseconds) { pause_.setInterval(milliseconds); }
    // A message is waiting for the burst to end.
    bool messagePending() const { return pending_ != ScanCheck::None; }

signals:
    // A message about the text was shown (the field has the focus again).
    void refused(ScanCheck::Message message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void check(const QString& raw);
    void showPending();

    ScanKind kind_;
    const CKorvoDoc& doc_;
    QTimer pause_;
    ScanCheck::Message pending_ = ScanCheck::None;
    // Characters past the limit were refused and nothing was taken away since:
    // the rest of a scanner's burst is dropped without another message.
    bool overflowing_ = false;
    bool keepCursor_ = false; // the focus returns after a message
};
