// Packing-note mode's entry: the number field, the two requests and the hand-over.
#include "screen_fixture.h"
#include "screens/scan_packing_note_view.h"
#include "widgets/image_button.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

namespace {

using Message = RecordingBackOffice::Message;
using Exchange = RecordingBackOffice::Exchange;

class ScanNoteView : public ScreenFixture {
protected:
    ScanNoteView() {
        doc.operatingMode = kPackingNoteMode;
        // The back office knows every note; its id is the number's last digits.
        office.on(Message::PackingNote, [](CKorvoDoc& d, const Exchange& e) {
            if (e.action == 1) {
                PackingNote note;
                note.PNID = e.input.right(4).toInt();
                note.NNR = e.input;
                d.currentPackingNote = note;
            }
        });
    }
    QLineEdit* field() { return child<QLineEdit>("noteNumber"); }
    Exchange scanned(const QString& number) {
        Exchange e(Message::PackingNote, 1);
        e.input = number;
        return e;
    }
};

TEST_F(ScanNoteView, EntryClearsTheNoteAndFocusesTheField) {
    doc.currentPackingNote = PackingNote{};
    doc.listOrigin = NoteOrigin::InProgressList;
    CScanPackingNoteView* view = open<CScanPackingNoteView>();
    EXPECT_EQ(view->titleLabel()->text(), "Scan packing note");
    EXPECT_EQ(child<QLabel>("noteCaption")->text(), "Packing note");
    EXPECT_FALSE(doc.currentPackingNote);
    EXPECT_EQ(doc.listOrigin, NoteOrigin::Scanned);
    EXPECT_EQ(focused(), field());
}

TEST_F(ScanNoteView, AScanAsksTwiceAndHandsOver) {
    doc.currentRoute = RouteControl{501, 12, "North", 4, 1, 0};
    doc.departmentId = 3;
    open<CScanPackingNoteView>();
    typeText("4005");
    typeText("x");
    EXPECT_EQ(field()->text(), "4005");
    QTest::qWait(400); // the message waits for the keys to pause
    EXPECT_EQ(prompter.messageTexts(), QStringList{"Only digits are allowed."});
    typeText("1234");
    press(Qt::Key_Return);
    Exchange byId(Message::PackingNote, 0);
    byId.input = "40051234";
    EXPECT_EQ(office.exchanges, (QList<Exchange>{scanned("40051234"), byId}));
    EXPECT_EQ(doc.packingNoteId, 1234);
    EXPECT_EQ(doc.currentRoute->RCID, -1) << "a scanned note belongs to no route";
    EXPECT_EQ(doc.currentRoute->RNR, 12);
    EXPECT_EQ(doc.departmentId, -1);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::PackingNoteScanned});
}

TEST_F(ScanNoteView, ARouteIsMadeWhenThereIsNone) {
    open<CScanPackingNoteView>();
    typeText("77");
    press(Qt::Key_Right);
    ASSERT_TRUE(doc.currentRoute);
    EXPECT_EQ(doc.currentRoute->RCID, -1);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::PackingNoteScanned});
}

TEST_F(ScanNoteView, ABurstOfTwoLabelsSendsOnlyTheFirst) {
    open<CScanPackingNoteView>();
    typeText("123456789012345678123456789012345678");
    EXPECT_EQ(field()->text(), "123456789012345678");
    EXPECT_TRUE(prompter.shown.isEmpty()) << "not in the middle of the burst";
    press(Qt::Key_Return);
    EXPECT_EQ(prompter.messageTexts(), QStringList{"A packing note number has at most 18 digits."});
    EXPECT_TRUE(office.exchanges.isEmpty()) << "the burst's Enter sends nothing cut off";
    EXPECT_EQ(field()->selectedText(), "123456789012345678") << "the next scan replaces it";
}

TEST_F(ScanNoteView, APasteOverTheLimitIsCut) {
    open<CScanPackingNoteView>();
    QApplication::clipboard()->setText("9999 8888 7777 6666 5555 4444 3333");
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field()->text(), "999988887777666655");
    QTest::qWait(400);
    EXPECT_EQ(prompter.messageTexts().size(), 1);
}

TEST_F(ScanNoteView, AnUnknownNoteKeepsTheScreenAndTheNumber) {
    office.fail(Message::PackingNote, "not found");
    open<CScanPackingNoteView>();
    typeText("4711");
    press(Qt::Key_Return);
    EXPECT_EQ(office.exchanges.size(), 1);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(field()->text(), "4711");
    EXPECT_EQ(field()->selectedText(), "4711") << "the next scan replaces it";
}

TEST_F(ScanNoteView, ANoteFoundButRefusedKeepsTheScreen) {
    office.on(Message::PackingNote, [this](CKorvoDoc& d, const Exchange& e) {
        d.currentPackingNote = PackingNote{};
        if (e.action == 1) {
            office.fail(Message::PackingNote, "locked");
        }
    });
    open<CScanPackingNoteView>();
    typeText("4711");
    press(Qt::Key_Return);
    EXPECT_EQ(office.exchanges.size(), 2);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(field()->text(), "4711");
}

TEST_F(ScanNoteView, AnAnswerWithoutANoteGoesNoFurther) {
    office.on(Message::PackingNote, [](CKorvoDoc&, const Exchange&) {});
    doc.currentPackingNote = PackingNote{};
    open<CScanPackingNoteView>();
    doc.currentPackingNote = PackingNote{}; // an earlier scan's note
    typeText("4711");
    press(Qt::Key_Return);
    EXPECT_EQ(office.exchanges.size(), 1) << "no request for a note nobody named";
    EXPECT_TRUE(frame.commands.empty());
}

TEST_F(ScanNoteView, EnterOnAnEmptyFieldLeftAndEscape) {
    open<CScanPackingNoteView>();
    press(Qt::Key_Return);
    EXPECT_TRUE(office.exchanges.isEmpty());
    EXPECT_TRUE(frame.commands.empty());
    press(Qt::Key_Left);
    press(Qt::Key_Escape);
    EXPECT_EQ(frame.commands, (std::vector<int>{Cmd::ScanPnBack, Cmd::ScanPnBack}));
}

TEST_F(ScanNoteView, LinesOfTheScannedNote) {
    CScanPackingNoteView* view = open<CScanPackingNoteView>();
    EXPECT_EQ(view->runOperation(ScreenOperation::ScannedNoteLines), Result::NotOk)
        << "no note, no request";
    doc.currentPackingNote = PackingNote{};
    office.fail(Message::PackingNoteLines, "E5: no lines");
    EXPECT_EQ(view->runOperation(ScreenOperation::ScannedNoteLines), "E5: no lines");
    EXPECT_EQ(view->runOperation(ScreenOperation::ScannedNoteLines), Result::Ok);
    EXPECT_EQ(office.messages(),
              (QList<Message>{Message::PackingNoteLines, Message::PackingNoteLines}));
}

} // namespace
