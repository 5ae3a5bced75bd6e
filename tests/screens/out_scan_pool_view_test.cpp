// The out-scan pool on the fake frame: the line, the scan, and the walk through
// the back office's return messages.
#include "screen_fixture.h"
#include "screens/out_scan_pool_view.h"
#include "widgets/colour_widgets.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

using Message = RecordingBackOffice::Message;
using Exchange = RecordingBackOffice::Exchange;
using Kind = ScriptedPrompter::Kind;

const QColor kLime(0, 255, 0);
const QColor kRed(255, 51, 51);

Flag flag(int kind, const QString& text, const QString& colour = "FFFF00") {
    Flag f;
    f.A = kind;
    f.D = text;
    f.FT = "more";
    f.C = colour;
    return f;
}

class OutScanPool : public ScreenFixture {
protected:
    OutScanPool() {
        doc.currentSettings.emplace().ASB = true;
        doc.currentPackingNote.emplace().PNID = 345;
        packingnoteline line;
        line.PNLID = 12;
        line.PD = "Tulips";
        line.SD = "60 cm";
        line.FMD = "red";
        line.QO = 10;
        line.QD = 4;
        doc.packingNoteLines.emplace().lines = {line};
        doc.currentLine = line;
    }

    // The back office's answer to every pool scan from now on.
    void answer(const QString& status, std::vector<Flag> flags, int delivered = 5, int item = 0,
                int bundle = 0) {
        office.on(Message::PoolScan, [=](CKorvoDoc& d, const Exchange&) {
            PoolScanResult& r = d.poolScanResult.emplace();
            r.StatusCode = status;
            r.flags = flags;
            r.UniqueItem_ID = item;
            r.UniqueBundle_ID = bundle;
            packingnoteline& l = r.line.emplace();
            l.PNLID = 12;
            l.QO = 10;
            l.QD = delivered;
            l.lineFlag = 3;
        });
    }
    void scan(const QString& code) {
        child<CColourEdit>("scan")->setFocus();
        typeText(code);
        press(Qt::Key_Return);
        // Each message of the walk follows its own notification.
        auto* view = frame.client()->findChild<COutScanPoolView*>();
        for (int i = 0; i < 1000 && view->walkPosition() >= 0; ++i) {
            QCoreApplication::sendPostedEvents();
        }
    }
    QColor scanColour() { return child<CColourEdit>("scan")->paintedBackground(); }
    QString label(const char* name) { return child<QLabel>(name)->text(); }
    QStringList dialogButtons() {
        QStringList buttons;
        for (const ScriptedPrompter::Shown& s : prompter.shown) {
            if (s.kind == Kind::ColourMessage) {
                buttons << s.question.firstButton +
                               (s.question.showSecond ? "/" + s.question.secondButton : QString());
            }
        }
        return buttons;
    }
};

TEST_F(OutScanPool, ShowsTheLineAndAnAcceptedScan) {
    COutScanPoolView* view = open<COutScanPoolView>();
    EXPECT_EQ(view->titleLabel()->text(), "Out-scan pool");
    EXPECT_EQ(label("product"), "Tulips");
    EXPECT_EQ(label("size"), "60 cm red");
    EXPECT_EQ(label("toDeliver"), "10");
    EXPECT_EQ(child<CColourEdit>("delivered")->text(), "4");
    EXPECT_EQ(child<CColourEdit>("delivered")->paintedText(), kRed);
    EXPECT_EQ(label("toDo"), "6");
    EXPECT_EQ(label("bundlesCaption"), "Bundles scanned");
    EXPECT_EQ(focused(), view->scanField());

    answer("10", {}); // no return messages: accepted whatever the status
    scan("B-77");
    EXPECT_EQ(office.exchanges.last().input, "B-77");
    EXPECT_EQ(office.exchanges.last().numbers[0], 0);
    EXPECT_EQ(scanColour(), kLime);
    EXPECT_EQ(child<CColourEdit>("delivered")->text(), "5");
    EXPECT_EQ(label("toDo"), "5");
    EXPECT_EQ(label("bundles"), "3");
    EXPECT_EQ(doc.packingNoteLines->lines[0].QD, 5);
    EXPECT_EQ(view->scanField()->selectedText(), "B-77") << "the next scan replaces it";
    EXPECT_EQ(prompter.count(Kind::ColourMessage), 0);
}

TEST_F(OutScanPool, RefusedScans) {
    open<COutScanPoolView>();
    office.fail(Message::PoolScan);
    scan("X1");
    EXPECT_EQ(scanColour(), kRed);

    // Messages and a status that does not accept: no colour, the walk runs.
    answer("40", {flag(3, "Wrong bundle", "zz")});
    scan("X2");
    EXPECT_NE(scanColour(), kRed);
    EXPECT_NE(scanColour(), kLime);
    EXPECT_EQ(dialogButtons(), QStringList{"Reject"});
    EXPECT_EQ(prompter.shown.last().text, "Wrong bundle\r\n\r\nmore");
    EXPECT_EQ(prompter.shown.last().question.backgroundRgb, "FFFFFF") << "not a colour";
    EXPECT_EQ(prompter.shown.last().question.style, 5);
    EXPECT_EQ(doc.currentLine->QD, 4);
}

TEST_F(OutScanPool, WalkThreeInformationMessagesThenConfirm) {
    open<COutScanPoolView>();
    answer("30", {flag(0, "One"), flag(0, "Two"), flag(0, "Three"), flag(2, "Take item?")}, 6, 501);
    prompter.dialogAnswers = {1, 1, 1, 1};
    scan("B-78");
    EXPECT_EQ(dialogButtons(), QStringList({"Next", "Next", "Close", "Yes/No"}));
    ASSERT_EQ(office.exchanges.size(), 2);
    const Exchange& confirm = office.exchanges[1];
    EXPECT_EQ(confirm.input, "B-78");
    EXPECT_EQ(confirm.numbers[0], 1);
    EXPECT_EQ(confirm.numbers[1], 501);
    EXPECT_EQ(confirm.numbers[2], 0);
    EXPECT_EQ(doc.poolScanResult->UniqueItem_ID, 0) << "used once";
    EXPECT_EQ(scanColour(), kLime);

    // No to the confirm: the scan failed; an acknowledge before it continues the walk.
    prompter.clear();
    office.clear();
    answer("30", {flag(1, "Noted"), flag(2, "Take bundle?"), flag(0, "never shown")}, 6, 0, 77);
    prompter.dialogAnswers = {1, 2};
    scan("B-79");
    EXPECT_EQ(dialogButtons(), QStringList({"OK", "Yes/No"}));
    EXPECT_EQ(office.exchanges.size(), 1);
    EXPECT_EQ(scanColour(), kRed);

    // Confirming a bundle; closing an information message without its button ends the walk.
    prompter.clear();
    office.clear();
    answer("30", {flag(2, "Take bundle?")}, 6, 0, 77);
    scan("B-80");
    ASSERT_EQ(office.exchanges.size(), 2);
    EXPECT_EQ(office.exchanges[1].numbers[2], 77);
    prompter.clear();
    answer("30", {flag(0, "a"), flag(0, "b"), flag(9, "unknown")});
    prompter.dialogAnswers = {2};
    scan("B-81");
    EXPECT_EQ(dialogButtons(), QStringList{"Next"});
}

TEST_F(OutScanPool, FiveHundredMessagesAreWalkedWithoutRecursion) {
    COutScanPoolView* view = open<COutScanPoolView>();
    answer("30", std::vector<Flag>(500, flag(0, "x")));
    scan("B-1");
    EXPECT_EQ(prompter.count(Kind::ColourMessage), 500);
    EXPECT_EQ(view->walkPosition(), -1);
    // A notification of a walk that has ended does nothing.
    QCoreApplication::postEvent(view, new QEvent(COutScanPoolView::kNextReturnMessage));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(prompter.count(Kind::ColourMessage), 500);
}

TEST_F(OutScanPool, BackAsksWhileBundlesAreLeft) {
    doc.currentSettings->ASB = false;
    COutScanPoolView* view = open<COutScanPoolView>();
    EXPECT_FALSE(child<QLabel>("bundles")->isVisibleTo(frame.client()));
    prompter.dialogAnswers = {2, 1};
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveOutScan), Result::NotOk);
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveOutScan), Result::Ok);
    EXPECT_EQ(prompter.texts(Kind::Question).first(),
              "Not all bundles are scanned yet. Leave anyway?");
    doc.currentLine->QD = 10;
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveOutScan), Result::Ok);
    EXPECT_EQ(prompter.count(Kind::Question), 2);
}

TEST_F(OutScanPool, WithoutALineNothingIsShownAndBackAsksNothing) {
    doc.currentLine.reset();
    COutScanPoolView* view = open<COutScanPoolView>();
    EXPECT_TRUE(label("product").isEmpty());
    EXPECT_TRUE(label("toDo").isEmpty());
    press(Qt::Key_Return); // an empty field sends nothing
    EXPECT_TRUE(office.exchanges.isEmpty());
    answer("30", {});
    scan("B-2"); // the answer's line is no line of this screen
    EXPECT_TRUE(label("toDo").isEmpty());
    EXPECT_EQ(doc.packingNoteLines->lines[0].QD, 5);
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveOutScan), Result::Ok);
    EXPECT_EQ(prompter.count(Kind::Question), 0);
}

} // namespace
