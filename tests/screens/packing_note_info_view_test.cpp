// The packing-note information screen on the fake frame.
#include "screen_fixture.h"
#include "screens/packing_note_info_view.h"
#include "widgets/image_button.h"
#include "widgets/scan_field.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using Message = RecordingBackOffice::Message;
using Kind = ScriptedPrompter::Kind;

PackingNote listed(int id, const QString& number) {
    PackingNote note;
    note.PNID = id;
    note.NNR = number;
    note.CN = "Customer " + number;
    return note;
}

class InfoView : public ScreenFixture {
protected:
    InfoView() {
        doc.currentSettings.emplace().containerRanges = {{6, "100000", "199999"}};
        PackingNote& note = doc.currentPackingNote.emplace(listed(345, "4711"));
        PackingNoteDetails& details = note.details.emplace();
        details.DN = 2;
        details.DD = "Dairy";
        details.CPN = 7;
        details.CPD = "Dock";
        details.TA = "Truck 3";
        details.R = "Ring twice";
        details.UI = {{"Fragile"}};
        doc.packingNoteList = {listed(1, "A1"), listed(345, "4711"), listed(3, "C3")};
        doc.packingNoteIndex = 1;
        doc.packingNoteId = 345;
    }

    CScanField* field() { return child<CScanField>("container"); }
    QString label(const char* name) { return child<QLabel>(name)->text(); }
    bool shown(const char* name) { return child<QWidget>(name)->isVisibleTo(frame.client()); }
};

TEST_F(InfoView, ShowsTheNoteAndOffersStepsOnlyFromAList) {
    doc.listOrigin = NoteOrigin::Scanned;
    CPackingNoteInfoView* view = open<CPackingNoteInfoView>();
    EXPECT_EQ(view->titleLabel()->text(), "Note 4711");
    EXPECT_EQ(label("customer"), "Customer 4711");
    EXPECT_EQ(label("department"), "2 Dairy /  7 Dock");
    EXPECT_EQ(label("transportArticle"), "Truck 3");
    EXPECT_EQ(child<QPlainTextEdit>("remark")->toPlainText(), "Ring twice");
    EXPECT_FALSE(shown("containerCount")) << "no containers yet";
    EXPECT_FALSE(shown("showContainers"));
    EXPECT_EQ(focused(), field());
    EXPECT_FALSE(shown("previous"));
    EXPECT_EQ(frame.removedEntries, std::vector<int>({Cmd::InfoPrevious, Cmd::InfoNext}));
    EXPECT_EQ(child<CImageButton>("instructions")->x(), 81) << "third in the row";
    EXPECT_TRUE(frame.actionEnabled(kPackingNoteInfoScreen, 4));
    delete view;

    doc.listOrigin = NoteOrigin::NewList;
    doc.currentPackingNote->details->UI.clear();
    doc.currentPackingNote->details->C = {{"K1"}};
    frame.removedEntries.clear();
    view = open<CPackingNoteInfoView>();
    EXPECT_TRUE(frame.removedEntries.empty());
    EXPECT_TRUE(frame.actionEnabled(kPackingNoteInfoScreen, 2));
    EXPECT_TRUE(frame.actionEnabled(kPackingNoteInfoScreen, 3));
    EXPECT_FALSE(frame.actionEnabled(kPackingNoteInfoScreen, 4)) << "no instructions";
    EXPECT_EQ(label("containerCount"), "1 container");
    EXPECT_TRUE(shown("showContainers"));
    child<QPushButton>("showContainers")->click();
    ASSERT_EQ(prompter.count(Kind::Instruction), 1);
    EXPECT_TRUE(prompter.shown.last().instruction.containerStyle);
    EXPECT_EQ(prompter.shown.last().instruction.title, "Containers  ");
    EXPECT_EQ(prompter.shown.last().text, "K1\n");
    EXPECT_EQ(focused(), field());
}

TEST_F(InfoView, PreviousAndNextLoadTheListedNote) {
    doc.listOrigin = NoteOrigin::InProgressList;
    CPackingNoteInfoView* view = open<CPackingNoteInfoView>();
    doc.containerScanResult = {{345, "K7", "OK"}};
    office.on(Message::PackingNote, [](CKorvoDoc& d, const RecordingBackOffice::Exchange&) {
        d.currentPackingNote->details.emplace().C = {{"K8"}, {"K9"}};
    });
    EXPECT_EQ(view->runOperation(ScreenOperation::NextNote), Result::Ok);
    EXPECT_EQ(office.exchanges.last(), RecordingBackOffice::Exchange(Message::PackingNote, 0));
    EXPECT_EQ(doc.packingNoteIndex, 2);
    EXPECT_EQ(doc.packingNoteId, 3) << "Print follows the note shown";
    EXPECT_TRUE(doc.containerScanResult.empty());
    EXPECT_EQ(view->titleLabel()->text(), "Note C3");
    EXPECT_EQ(label("containerCount"), "2 containers");
    EXPECT_TRUE(frame.actionEnabled(kPackingNoteInfoScreen, 2));
    EXPECT_FALSE(frame.actionEnabled(kPackingNoteInfoScreen, 3)) << "the last note";
    EXPECT_EQ(view->runOperation(ScreenOperation::NextNote), Result::Ok);
    EXPECT_EQ(office.exchanges.size(), 1) << "nothing beyond the list";

    // A note that does not load leaves the worker on the one he had.
    office.fail(Message::PackingNote);
    EXPECT_EQ(view->runOperation(ScreenOperation::PreviousNote), Result::Ok);
    EXPECT_EQ(doc.packingNoteIndex, 2);
    EXPECT_EQ(doc.packingNoteId, 3);
    EXPECT_EQ(doc.currentPackingNote->NNR, "C3");
    EXPECT_EQ(view->titleLabel()->text(), "Note C3");
}

TEST_F(InfoView, ContainerScan) {
    open<CPackingNoteInfoView>();
    typeText("150000");
    press(Qt::Key_Return);
    EXPECT_EQ(office.messages(), QList<Message>({Message::ContainerScan, Message::PackingNote}));
    EXPECT_EQ(office.exchanges[0].input, "150000");
    EXPECT_EQ(office.exchanges[1].action, 0) << "the note reloads";
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_EQ(focused(), field());

    office.clear();
    typeText("250000");
    press(Qt::Key_Return);
    EXPECT_EQ(prompter.messageTexts(),
              QStringList{"This container label is not in the allowed ranges."});
    EXPECT_EQ(prompter.shown.last().caption, "Scan container");
    doc.currentSettings->containerRanges.clear();
    press(Qt::Key_Return);
    EXPECT_EQ(prompter.messageTexts().last(), "No container ranges are set up for this plant.");
    EXPECT_TRUE(office.exchanges.isEmpty());

    doc.currentSettings->containerRanges = {{6, "100000", "199999"}};
    office.fail(Message::ContainerScan);
    field()->setText("150001");
    press(Qt::Key_Return);
    EXPECT_EQ(office.messages(), QList<Message>{Message::ContainerScan}) << "no reload";
    EXPECT_EQ(field()->selectedText(), "150001") << "selected for the next scan";

    doc.currentSettings.reset();
    field()->setText("150002");
    press(Qt::Key_Return);
    EXPECT_EQ(office.exchanges.size(), 1) << "without plant settings nothing is sent";
    EXPECT_TRUE(frame.commands.empty());
}

TEST_F(InfoView, EnterInAnEmptyFieldSavesAndInstructionsShow) {
    CPackingNoteInfoView* view = open<CPackingNoteInfoView>();
    press(Qt::Key_Return);
    press(Qt::Key_Left);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::InfoSave});
    EXPECT_EQ(view->runOperation(ScreenOperation::SaveInfo), Result::Ok);
    EXPECT_EQ(office.messages(), QList<Message>{Message::PackingNoteLines});
    EXPECT_EQ(view->runOperation(ScreenOperation::ShowInstructions), Result::Ok);
    ASSERT_EQ(prompter.count(Kind::Instruction), 1);
    EXPECT_EQ(prompter.shown.last().instruction.title, "Instructions  Customer 4711");
    EXPECT_EQ(prompter.shown.last().text, "Fragile\n\n");
    EXPECT_FALSE(prompter.shown.last().instruction.containerStyle);
}

TEST_F(InfoView, ANoteWithoutDetailsStillShows) {
    doc.currentPackingNote->details.reset();
    doc.packingNoteList.clear();
    doc.listOrigin = NoteOrigin::NewList;
    CPackingNoteInfoView* view = open<CPackingNoteInfoView>();
    EXPECT_EQ(view->titleLabel()->text(), "Note 4711");
    EXPECT_TRUE(label("department").isEmpty());
    EXPECT_FALSE(frame.actionEnabled(kPackingNoteInfoScreen, 2));
    EXPECT_FALSE(frame.actionEnabled(kPackingNoteInfoScreen, 3));
    EXPECT_FALSE(frame.actionEnabled(kPackingNoteInfoScreen, 4));
    EXPECT_EQ(view->runOperation(ScreenOperation::PreviousNote), Result::Ok);
    EXPECT_EQ(view->runOperation(ScreenOperation::ShowInstructions), Result::Ok);
    EXPECT_TRUE(office.exchanges.isEmpty());
    EXPECT_EQ(prompter.count(Kind::Instruction), 0);
}

} // namespace
