#pragma once

#include "model/send_result.h"
#include "platform/prompter.h"

#include <QDialog>
#include <functional>

class BackOffice;
class CColourLabel;
class CKorvoDoc;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The small modal dialogs the screens share, laid out for the 240-pixel screen.
// Each closes with 1 for its first (OK, Yes) button and 2 for its second.

// Places a dialog at a rectangle given in screen coordinates of the handheld,
// that is relative to the main window's top-left corner.
void PlaceOnScreen(QWidget* dialog, const QRect& onScreen);

// Number of colli before printing: 0 to 999 with up-down arrows.
class CNrColliPrintDialog : public QDialog {
    Q_OBJECT
public:
    CNrColliPrintDialog(const ColliCountRequest& request, QWidget* parent = nullptr);
    int value() const;
    QSpinBox* numberField() const { return number_; }

private:
    QSpinBox* number_;
};

// The colli count as the screens ask for it: the work state's colliCount
// becomes 0, the dialog opens at the current note's number of colli, and OK
// keeps the number chosen. True when the worker chose a number (OK).
bool AskNumberOfColli(CKorvoDoc& doc);

// The screens' question: caption "lblZIRPA", Yes and No, translated; true for Yes.
bool AskYesNo(const CKorvoDoc& doc, const QString& text, int style = 0);
// After the answer to a scanned note number: the plant's rule for a note of
// another route, asking the worker when the rule says so.
void SettleScannedNoteRoute(CKorvoDoc& doc);
// A message box with a translated caption and an OK button.
void TellWorker(const CKorvoDoc& doc, const QString& captionKey, const QString& text);

// A container label checked against the plant's container id ranges before it
// is sent; a refused one is explained to the worker. True when it may be sent.
bool ContainerLabelInRange(const CKorvoDoc& doc, const QString& label);

// Before the back office prints a note's documents: the order form as the plant
// wants it (POF 1 asks, 2 always, anything else never) and, when the plant asks
// for it (PCS), the number of colli (else the note's own, PNCN); then the
// print request for the work state's `packingNoteId`. Cancelling the colli
// count prints nothing.
struct PrintOutcome {
    bool cancelled = false; // the worker cancelled the colli count; nothing was sent
    SendResult result;      // how the print request ended; a failure when cancelled
};
PrintOutcome PrintNoteDocuments(CKorvoDoc& doc, BackOffice& office);

// Read-only display of a note's instructions or of its container list.
class CInstructionDlg : public QDialog {
    Q_OBJECT
public:
    explicit CInstructionDlg(QWidget* parent = nullptr);
    // Every "\n" of the body becomes "\r\n".
    void SetTexts(const QString& body, const QString& title, const QString& okCaption);
    void SetContainerStyle();

    const QString& bodyText() const { return body_; }
    bool containerStyle() const { return containerStyle_; }
    QPlainTextEdit* bodyField() const { return bodyField_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyStyle();

    QString body_;
    bool containerStyle_ = false;
    QLabel* title_;
    QPlainTextEdit* bodyField_;
    QPushButton* ok_;
};

// A question with two answer buttons; the style (0 to 4) sets the geometry.
class CQuestionDlg : public QDialog {
    Q_OBJECT
public:
    CQuestionDlg(QWidget* parent, int style);
    void SetTexts(const QString& body, const QString& title, const QString& first,
                  const QString& second);
    void SetTexts(const QString& body, const QString& title, const QString& first,
                  const QString& second, bool showFirst, bool showSecond);
    void SetWaitCursor(bool on) { waitCursor_ = on; }

    int style() const { return style_; }
    QPushButton* firstButton() const { return first_; }
    QPushButton* secondButton() const { return second_; }
    CColourLabel* body() const { return body_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Lays the dialog out for its style.
    virtual void layoutStyle();
    void finish(int result);

    int style_;
    bool waitCursor_ = false;
    bool showFirst_ = true;
    bool showSecond_ = true;
    QLabel* title_;
    CColourLabel* body_;
    QPushButton* first_;
    QPushButton* second_;
};

// A message on a caller-chosen background colour (style 5).
class CColourMessageDlg : public CQuestionDlg {
    Q_OBJECT
public:
    CColourMessageDlg(QWidget* parent, int style = 5);
    // "RRGGBB"; a text that is not six hexadecimal digits leaves the background white.
    void SetBackgroundColour(const QString& rgbHex);

protected:
    void layoutStyle() override;
};

// The self-closing status pop-up of a service call: caption on top, message
// below, gone after the duration (2000 ms on the device).
class StatusPopup : public QDialog {
    Q_OBJECT
public:
    StatusPopup(const QString& caption, const QString& text, int durationMs,
                QWidget* parent = nullptr);
    // Where the pop-up sits: higher and taller when the message has a line break.
    static QRect Geometry(const QString& text);
};

// The access password dialog: asks until the check accepts or the user cancels.
class CPasswordDlg : public QDialog {
    Q_OBJECT
public:
    CPasswordDlg(const PasswordRequest& request, std::function<bool(const QString&)> accept,
                 QWidget* parent = nullptr);
    QLineEdit* passwordField() const { return edit_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void tryAccept();

    PasswordRequest request_;
    std::function<bool(const QString&)> accept_;
    QLineEdit* edit_;
};
