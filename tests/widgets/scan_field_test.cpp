#include "model/korvo_doc.h"
#include "scripted_prompter.h"
#include "widgets/scan_field.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ScanFieldTest : public ::testing::Test {
protected:
    ScanFieldTest() {
        doc.translations.LoadFromText("msg18CharsMax=18 max\nmsg24CharsMax=24 max\n"
                                      "msgLengthExceeded=Too long\nmsgCharAllow=Digits only\n"
                                      "msgAlphaAllow=Letters and digits\nmsgInvData=Invalid\n");
        window.resize(240, 100);
        other = new QLineEdit(&window);
        other->move(0, 40);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    CScanField* field(ScanKind kind) {
        auto* f = new CScanField(kind, doc, &window);
        f->setBurstPause(10);
        f->show();
        f->setFocus();
        return f;
    }

    // The keys paused: a message waiting for the end of a burst shows.
    static void pause() { QTest::qWait(60); }

    ScriptedPrompter prompter;
    ScopedPrompter scope{prompter};
    CKorvoDoc doc;
    QWidget window;
    QLineEdit* other;
};

TEST_F(ScanFieldTest, TypingKeepsDigitsAndSaysWhyOnce) {
    CScanField* note = field(ScanKind::NoteNumber);
    QTest::keyClicks(note, "12a34");
    EXPECT_EQ(note->text(), "1234");
    pause();
    EXPECT_EQ(prompter.messageTexts(), QStringList({"Digits only"}));
    EXPECT_EQ(prompter.shown.last().caption, "Invalid");
    EXPECT_EQ(note->cursorPosition(), 4);
    prompter.clear();
    QTest::keyClicks(note, "56789012345678");
    EXPECT_EQ(note->text(), "123456789012345678");
    EXPECT_TRUE(prompter.shown.isEmpty()) << "18 digits are fine";
    QTest::keyClick(note, Qt::Key_9);
    EXPECT_EQ(note->text(), "123456789012345678");
    pause();
    EXPECT_EQ(prompter.messageTexts(), QStringList({"18 max"}));
    EXPECT_EQ(QApplication::focusWidget(), note);
    EXPECT_EQ(note->selectedText(), note->text()) << "what was cut is replaced by the next scan";
}

TEST_F(ScanFieldTest, ABurstOfTwoLabelsKeepsTheFirstWithOneMessage) {
    CScanField* note = field(ScanKind::NoteNumber);
    QTest::keyClicks(note, "123456789012345678876543210987654321");
    EXPECT_EQ(note->text(), "123456789012345678");
    EXPECT_TRUE(prompter.shown.isEmpty()) << "nothing in the middle of a burst";
    // The burst's Enter brings the message up and goes no further.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(note, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(prompter.messageTexts(), QStringList({"18 max"}));
    EXPECT_FALSE(note->messagePending());
    // Taking characters away ends the burst: the next overflow is told again.
    note->deselect();
    note->end(false);
    QTest::keyClick(note, Qt::Key_Backspace);
    QTest::keyClicks(note, "12");
    pause();
    EXPECT_EQ(prompter.messageTexts().size(), 2);
}

TEST_F(ScanFieldTest, PasteOverTheLimitIsCut) {
    CScanField* container = field(ScanKind::ContainerId);
    QApplication::clipboard()->setText("ABCD-EFGH-IJKL-MNOP-QRST-UVWX-YZ12");
    container->selectAll();
    QTest::keyClick(container, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(container->text(), "ABCDEFGHIJKLMNOPQRSTUVWX");
    pause();
    EXPECT_EQ(prompter.messageTexts(), QStringList({"24 max"}));
}

TEST_F(ScanFieldTest, FocusSelectsAllAndRaisesTheKeyboardWhenAsked) {
    CScanField* note = field(ScanKind::NoteNumber);
    note->setText("4711");
    other->setFocus();
    EXPECT_EQ(prompter.inputPanelUps, 0);
    doc.showScreenKeyboard = "Y";
    note->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(note->selectedText(), "4711");
    EXPECT_TRUE(prompter.inputPanelUp);
    other->setFocus();
    EXPECT_FALSE(prompter.inputPanelUp);
    note->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(note, "1");
    EXPECT_EQ(note->text(), "1") << "a new scan replaces the old number";
}

TEST_F(ScanFieldTest, FocusComingBackAfterABoxKeepsTheTypedText) {
    CScanField* note = field(ScanKind::NoteNumber);
    QTest::keyClicks(note, "12a");
    pause();
    EXPECT_EQ(note->selectedText(), "") << "the kept digits are not up for replacing";
    other->setFocus();
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(note, &back);
    EXPECT_EQ(note->selectedText(), "");
    QTest::keyClicks(note, "3");
    EXPECT_EQ(note->text(), "123") << "typing goes on after the message";
}

TEST_F(ScanFieldTest, EnterIsLeftToTheScreen) {
    CScanField* note = field(ScanKind::NoteNumber);
    QTest::keyClicks(note, "42");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(note, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_EQ(note->text(), "42");
}

} // namespace
