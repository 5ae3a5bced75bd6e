#include "model/korvo_doc.h"
#include "recording_back_office.h"
#include "screens/shared_dialogs.h"
#include "scripted_prompter.h"
#include "widgets/colour_widgets.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs `act` once the dialog's event loop is running, then returns exec()'s result.
template <typename Dialog, typename Act> int execWith(Dialog& dialog, Act act) {
    QTimer::singleShot(0, &dialog, [&] { act(); });
    return dialog.exec();
}

QWidget& owner() {
    static QWidget window;
    window.resize(240, 320);
    return window;
}

} // namespace

TEST(ColliDialog, StartsAtTheNotesColliAndStaysInRange) {
    CNrColliPrintDialog dialog({"Colli", "How many?", 3}, &owner());
    EXPECT_EQ(dialog.value(), 3);
    QSpinBox* number = dialog.numberField();
    EXPECT_EQ(number->minimum(), 0);
    EXPECT_EQ(number->maximum(), 999);
    number->setValue(998);
    number->stepUp();
    number->stepUp();
    EXPECT_EQ(dialog.value(), 999);
    number->setValue(1);
    number->stepDown();
    number->stepDown();
    EXPECT_EQ(dialog.value(), 0);
    EXPECT_EQ(execWith(dialog, [&] { dialog.findChild<QPushButton*>("ok")->click(); }), 1);
    EXPECT_EQ(execWith(dialog, [&] { dialog.findChild<QPushButton*>("cancel")->click(); }), 2);
    CNrColliPrintDialog big({"Colli", "", 5000}, &owner());
    EXPECT_EQ(big.value(), 999);
}

TEST(ColliDialog, WritesTheWorkStatesColliCount) {
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    CKorvoDoc doc;
    doc.colliCount = 9;
    PackingNote note;
    note.PNCN = 3;
    doc.currentPackingNote = note;
    prompter.colliAnswers = {-1};
    EXPECT_FALSE(AskNumberOfColli(doc));
    EXPECT_EQ(doc.colliCount, 0) << "Cancel leaves 0";
    EXPECT_EQ(prompter.shown.last().colli.initial, 3);
    prompter.colliAnswers = {5};
    EXPECT_TRUE(AskNumberOfColli(doc));
    EXPECT_EQ(doc.colliCount, 5);
}

TEST(ColliDialog, EnterIsOkAndEscapeCancels) {
    CNrColliPrintDialog dialog({"Colli", "", 2}, &owner());
    EXPECT_EQ(execWith(dialog,
                       [&] {
                           QTest::keyClicks(dialog.numberField(), "7");
                           QTest::keyClick(dialog.numberField(), Qt::Key_Return);
                       }),
              1);
    EXPECT_EQ(execWith(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), 0);
}

TEST(QuestionDialog, StylesPlaceTheDialogAndButtons) {
    struct Case {
        int style;
        QSize size;
        int buttonRow;
    };
    for (const Case& c : {Case{0, {200, 100}, 70}, Case{1, {200, 175}, 142}, Case{2, {200, 90}, 60},
                          Case{3, {200, 130}, 98}}) {
        SCOPED_TRACE(c.style);
        CQuestionDlg dialog(&owner(), c.style);
        dialog.SetTexts("Leave?", "Korvane", "Yes", "No");
        dialog.show();
        EXPECT_EQ(dialog.size(), c.size);
        EXPECT_EQ(dialog.firstButton()->geometry(), QRect(25, c.buttonRow, 70, 25));
        EXPECT_EQ(dialog.secondButton()->geometry(), QRect(105, c.buttonRow, 70, 25));
        EXPECT_LE(dialog.body()->geometry().bottom(), c.buttonRow)
            << "the body leaves the buttons free";
        dialog.hide();
    }
    CQuestionDlg wide(&owner(), 4);
    wide.SetTexts("x", "t", "a", "b");
    wide.show();
    EXPECT_EQ(wide.width(), 240);
}

TEST(QuestionDialog, ResultsVisibilityAndWaitCursor) {
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    CQuestionDlg dialog(&owner(), 1);
    dialog.SetTexts("line1\r\nline2", "Korvane", "Yes", "No", true, false);
    EXPECT_EQ(dialog.body()->text(), "line1\nline2");
    dialog.SetWaitCursor(true);
    EXPECT_EQ(execWith(dialog,
                       [&] {
                           EXPECT_FALSE(dialog.secondButton()->isVisible());
                           dialog.firstButton()->click();
                       }),
              1);
    EXPECT_EQ(prompter.waitDepth, 1) << "the wait cursor comes on as the dialog closes";
    dialog.SetTexts("q", "t", "Yes", "No");
    EXPECT_EQ(execWith(dialog, [&] { dialog.secondButton()->click(); }), 2);
    // A text from the back office is shown as it came: as markup, an image
    // reference to /dev/zero would be read until memory runs out.
    EXPECT_EQ(dialog.body()->textFormat(), Qt::PlainText);
}

TEST(ColourMessageDialog, BackgroundFromHexAndButtonPlacement) {
    CColourMessageDlg dialog(&owner());
    dialog.SetTexts("Pool item\r\n\r\nrejected", "Korvane", "Reject", "", true, false);
    dialog.SetBackgroundColour("FF8000");
    dialog.show();
    EXPECT_EQ(dialog.body()->paintedBackground(), QColor(255, 128, 0));
    EXPECT_EQ(dialog.size(), QSize(240, 150));
    const QRect only = dialog.firstButton()->geometry();
    EXPECT_EQ(only.left() + only.width() / 2, 120) << "a single button is centred";
    for (const char* bad : {"", "12345", "GG0000", "1234567"}) {
        dialog.SetBackgroundColour(QString::fromLatin1(bad));
        EXPECT_EQ(dialog.body()->paintedBackground(), QColor(255, 255, 255)) << bad;
    }
    dialog.SetTexts("x", "t", "Yes", "No", true, true);
    dialog.hide();
    dialog.show();
    EXPECT_LT(dialog.firstButton()->geometry().right(), dialog.secondButton()->geometry().left());
}

TEST(InstructionDialog, TextsAndStyles) {
    CInstructionDlg dialog(&owner());
    dialog.SetTexts("first\nsecond", "Instructions  Acme", "OK");
    EXPECT_EQ(dialog.bodyText(), "first\r\nsecond");
    EXPECT_EQ(dialog.bodyField()->toPlainText(), "first\nsecond");
    EXPECT_TRUE(dialog.bodyField()->isReadOnly());
    EXPECT_EQ(dialog.bodyField()->font().pixelSize(), 20);
    dialog.SetContainerStyle();
    EXPECT_TRUE(dialog.containerStyle());
    EXPECT_EQ(dialog.bodyField()->font().pixelSize(), 16);
    EXPECT_EQ(execWith(dialog, [&] { dialog.findChild<QPushButton*>("ok")->click(); }), 1);
}

TEST(StatusPopup, GeometryAndSelfClosing) {
    EXPECT_EQ(StatusPopup::Geometry("Connected"), QRect(27, 90, 184, 60));
    EXPECT_EQ(StatusPopup::Geometry("Processing\nPlease wait"), QRect(27, 70, 184, 100));
    StatusPopup popup("Korvane", "Connected", 20, &owner());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(popup.exec(), 1);
    EXPECT_GE(timer.elapsed(), 15);
}

TEST(PasswordDialog, RetriesUntilAcceptedOrCancelled) {
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    PasswordRequest request{"Password", "OK", "Cancel", "Wrong password. \nPlease try again.",
                            true};
    CPasswordDlg dialog(
        request, [](const QString& t) { return t == "639"; }, &owner());
    QLineEdit* edit = dialog.passwordField();
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    const int result = execWith(dialog, [&] {
        edit->setText("123");
        dialog.findChild<QPushButton*>("ok")->click();
        EXPECT_TRUE(dialog.isVisible()) << "a wrong password keeps the dialog open";
        EXPECT_EQ(edit->selectedText(), "123");
        edit->setText("639");
        dialog.findChild<QPushButton*>("ok")->click();
    });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(prompter.messageTexts(), QStringList{"Wrong password. \nPlease try again."});
    EXPECT_EQ(prompter.shown[0].caption, "Password");

    CPasswordDlg cancelled(
        request, [](const QString&) { return true; }, &owner());
    EXPECT_EQ(execWith(cancelled, [&] { cancelled.findChild<QPushButton*>("cancel")->click(); }),
              2);
}

namespace {

struct PrintCase {
    const char* name;
    int pof;
    bool pcs;
    std::deque<int> questionAnswers; // 1 Yes, 2 No
    std::deque<int> colli;           // chosen count; -1 cancels
    bool printed;
    int colliSent;
    int orderFormSent;
};

TEST(PrintNoteDocuments, OrderFormAndColliAsThePlantWants) {
    const PrintCase cases[] = {
        {"no order form", 0, false, {}, {}, true, 0, 0},
        {"asked, yes", 1, false, {1}, {}, true, 0, 1},
        {"asked, no: printed without", 1, false, {2}, {}, true, 0, 0},
        {"always", 2, false, {}, {}, true, 0, 1},
        {"unknown value counts as none", 7, false, {}, {}, true, 0, 0},
        {"colli asked", 0, true, {}, {3}, true, 3, 0},
        {"colli cancelled: nothing printed", 2, true, {}, {-1}, false, 0, 0},
    };
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        ScopedPrompter scope(prompter);
        prompter.dialogAnswers = c.questionAnswers;
        prompter.colliAnswers = c.colli;
        CKorvoDoc doc;
        doc.currentSettings.emplace();
        doc.currentSettings->POF = static_cast<std::int16_t>(c.pof);
        doc.currentSettings->PCS = c.pcs;
        doc.colliCount = 9; // typed for an earlier note
        doc.currentPackingNote.emplace().PNCN = 4;
        RecordingBackOffice office(doc);
        const PrintOutcome outcome = PrintNoteDocuments(doc, office);
        EXPECT_EQ(outcome.cancelled, !c.printed);
        EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), c.pof == 1 ? 1 : 0);
        if (!c.printed) {
            EXPECT_TRUE(office.exchanges.empty());
            continue;
        }
        EXPECT_TRUE(outcome.result.isOk());
        ASSERT_EQ(office.exchanges.size(), 1);
        EXPECT_EQ(office.exchanges[0].numbers[0], c.pcs ? c.colliSent : 4)
            << "without the question the note's own colli count";
        EXPECT_EQ(office.exchanges[0].numbers[1], c.orderFormSent);
    }
}

} // namespace
