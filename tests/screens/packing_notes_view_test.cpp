// The three note lists: their looks, opening a note and reprinting one.
#include "screen_fixture.h"
#include "screens/packing_notes_view.h"
#include "widgets/colour_widgets.h"
#include "widgets/image_button.h"

#include <QTreeWidget>

namespace {

using Message = RecordingBackOffice::Message;

PackingNote note(int id, const char* number, const char* customer, bool printed, int colli = 2) {
    PackingNote n;
    n.PNID = id;
    n.NNR = number;
    n.CN = customer;
    n.SP = printed;
    n.PNCN = colli;
    return n;
}

class NotesView : public ScreenFixture {
protected:
    NotesView() {
        Settings s;
        s.DNPP = 1;
        doc.currentSettings = s;
        doc.packingNoteList = {note(31, "400100", "Corner Deli", true),
                               note(32, "400117", "Harbour Hotel", false, 3),
                               note(33, "400134", "<b>School</b>", false)};
    }
    CPackingNotesView* openList(NoteListKind kind) {
        doc.shownList = kind;
        return open<CPackingNotesView>();
    }
    bool shown(const char* button) { return !child<CImageButton>(button)->isHidden(); }
    bool enabled(const char* button) { return child<CImageButton>(button)->isEnabled(); }
};

TEST_F(NotesView, NewListOpensTheChosenNote) {
    CPackingNotesView* view = openList(NoteListKind::New);
    EXPECT_EQ(view->titleLabel()->text(), "New packing notes");
    EXPECT_EQ(view->statusLabel()->text(), "New");
    EXPECT_TRUE(shown("save"));
    EXPECT_FALSE(shown("print"));
    EXPECT_TRUE(frame.removedEntries.empty());
    auto* list = child<QTreeWidget>("notes");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(2)->text(1), "<b>School</b>");
    EXPECT_EQ(focused(), list);

    press(Qt::Key_Down);
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::ListSave});
    doc.currentPackingNote = note(99, "old", "old", false);
    EXPECT_EQ(view->runOperation(ScreenOperation::TakeListedNote), Result::Ok);
    ASSERT_EQ(office.exchanges.size(), 1);
    EXPECT_EQ(office.exchanges[0], RecordingBackOffice::Exchange(Message::PackingNote, 0));
    EXPECT_EQ(doc.currentPackingNote->PNID, 32);
    EXPECT_EQ(doc.packingNoteId, 32);
    EXPECT_EQ(doc.packingNoteIndex, 1);
    EXPECT_EQ(doc.listOrigin, NoteOrigin::NewList);
}

TEST_F(NotesView, InProgressListAndAFailedOpening) {
    office.fail(Message::PackingNote, "E17: note is locked");
    CPackingNotesView* view = openList(NoteListKind::InProgress);
    EXPECT_EQ(view->titleLabel()->text(), "Notes in progress");
    EXPECT_EQ(view->statusLabel()->text(), "Busy");
    EXPECT_EQ(view->runOperation(ScreenOperation::TakeListedNote), "E17: note is locked");
    EXPECT_EQ(doc.listOrigin, NoteOrigin::InProgressList);
}

TEST_F(NotesView, DoneListReprintsByTheNotesPrintFlag) {
    doc.currentSettings->POF = 1;
    doc.currentSettings->PCS = true;
    CPackingNotesView* view = openList(NoteListKind::Done);
    EXPECT_EQ(view->titleLabel()->text(), "Done - reprint");
    EXPECT_EQ(view->statusLabel()->text(), "Done");
    EXPECT_FALSE(shown("save"));
    EXPECT_TRUE(shown("print"));
    EXPECT_EQ(frame.removedEntries, std::vector<int>{Cmd::ListSave});
    EXPECT_FALSE(enabled("print")) << "the first note was printed already";
    EXPECT_FALSE(frame.actionEnabled(kPackingNotesScreen, 2));
    press(Qt::Key_Return);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(view->runOperation(ScreenOperation::PrintListedNote), Result::NotOk);

    press(Qt::Key_Down);
    EXPECT_TRUE(enabled("print"));
    EXPECT_TRUE(frame.actionEnabled(kPackingNotesScreen, 2));
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::ListPrint});
    // Order form asked (No), colli count opened at the note's 3 and set to 5.
    prompter.dialogAnswers = {2};
    prompter.colliAnswers = {5};
    EXPECT_EQ(view->runOperation(ScreenOperation::PrintListedNote), Result::Ok);
    ASSERT_EQ(office.exchanges.size(), 1);
    EXPECT_EQ(office.exchanges[0].message, Message::Print);
    EXPECT_EQ(office.exchanges[0].numbers[0], 5);
    EXPECT_EQ(office.exchanges[0].numbers[1], 0) << "No: printed without an order form";
    EXPECT_EQ(doc.packingNoteId, 32);
    EXPECT_EQ(prompter.shown.at(1).colli.initial, 3);

    prompter.colliAnswers = {-1};
    EXPECT_EQ(view->runOperation(ScreenOperation::PrintListedNote), Result::NotOk);
    EXPECT_EQ(office.exchanges.size(), 1) << "a cancelled colli count prints nothing";
    EXPECT_EQ(view->runOperation(ScreenOperation::TakeListedNote), Result::NotOk)
        << "done notes are not opened";
}

TEST_F(NotesView, DonePrintedByThePlantOffersOnlyBack) {
    for (const int dnpp : {2, 4}) {
        SCOPED_TRACE(dnpp);
        frame.removedEntries.clear();
        doc.currentSettings->DNPP = static_cast<std::int16_t>(dnpp);
        doc.packingNoteList[0].SP = false;
        CPackingNotesView* view = openList(NoteListKind::Done);
        EXPECT_FALSE(view->findChild<CImageButton*>("save")->isVisible());
        EXPECT_FALSE(view->findChild<CImageButton*>("print")->isVisible());
        EXPECT_EQ(frame.removedEntries, (std::vector<int>{Cmd::ListSave, Cmd::ListPrint}));
        view->findChild<QTreeWidget*>("notes")->setFocus();
        press(Qt::Key_Return);
        EXPECT_TRUE(frame.commands.empty());
        EXPECT_EQ(view->runOperation(ScreenOperation::PrintListedNote), Result::NotOk);
        EXPECT_TRUE(office.exchanges.isEmpty());
        delete view;
    }
}

TEST_F(NotesView, EmptyListSendsNothing) {
    doc.packingNoteList.clear();
    doc.currentPackingNote = note(99, "old", "old", false);
    doc.packingNoteIndex = 4;
    CPackingNotesView* view = openList(NoteListKind::New);
    EXPECT_EQ(doc.packingNoteIndex, -1);
    EXPECT_FALSE(enabled("save"));
    EXPECT_FALSE(frame.actionEnabled(kPackingNotesScreen, 0));
    EXPECT_FALSE(frame.actionEnabled(kPackingNotesScreen, 2));
    press(Qt::Key_Return);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(view->runOperation(ScreenOperation::TakeListedNote), Result::NotOk);
    EXPECT_EQ(view->runOperation(ScreenOperation::PrintListedNote), Result::NotOk);
    EXPECT_TRUE(office.exchanges.isEmpty()) << "never a request for the old note";
}

} // namespace
