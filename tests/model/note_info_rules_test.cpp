#include "model/korvo_doc.h"
#include "model/note_info_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(NoteInfo, ContainersFromTheNoteElseFromTheScans) {
    const std::vector<ContainerScanRecord> scanned = {{5, "K9", "OK"}};
    std::optional<PackingNote> note;
    EXPECT_EQ(ContainersOf(note, {}).count, 0);
    EXPECT_EQ(ContainersOf(note, scanned).listText, "K9\n");

    note.emplace().details.emplace();
    EXPECT_EQ(ContainersOf(note, scanned).count, 1) << "the note lists none yet";
    note->details->C = {{"K1"}, {"K2"}};
    const NoteContainers own = ContainersOf(note, scanned);
    EXPECT_EQ(own.count, 2);
    EXPECT_EQ(own.listText, "K1\nK2\n");

    EXPECT_STREQ(ContainerCaptionKey(1), "lblContainer");
    EXPECT_STREQ(ContainerCaptionKey(2), "lblContainers");
}

TEST(NoteInfo, Stepping) {
    const struct {
        const char* name;
        int origin, index, count;
        bool offered, previous, next;
    } cases[] = {
        {"opened by scanning", 0, 1, 3, false, false, false},
        {"first of three", 1, 0, 3, true, false, true},
        {"middle", 2, 1, 3, true, true, true},
        {"last", 1, 2, 3, true, true, false},
        {"only one", 1, 0, 1, true, false, false},
        {"no index", 1, -1, 3, true, false, false},
        {"index past a shorter list", 1, 5, 3, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const NoteStepping s = NoteSteppingFor(static_cast<NoteOrigin>(c.origin), c.index, c.count);
        EXPECT_EQ(s.offered, c.offered);
        EXPECT_EQ(s.previous, c.previous);
        EXPECT_EQ(s.next, c.next);
    }
}

// Previous and Next over a list of three notes (ids 31, 32, 33), starting on
// the second with a container scanned for it.
TEST(NoteInfo, StepToListedNoteRollsBackAFailedFetch) {
    struct Row {
        const char* name;
        int index;
        int step;
        QString reloadResult;
        bool taken;
        int indexAfter;
        int idAfter;
        bool fetched;
    };
    const Row rows[] = {
        {"next", 1, 1, Result::Ok, true, 2, 33, true},
        {"previous", 1, -1, Result::Ok, true, 0, 31, true},
        {"next refused: stays on the note", 1, 1, "Server down", false, 1, 32, true},
        {"off the end asks nothing", 2, 1, Result::Ok, false, 2, 32, false},
        {"before the start asks nothing", 0, -1, Result::Ok, false, 0, 32, false},
        {"not opened from a list", -1, 1, Result::Ok, false, -1, 32, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CKorvoDoc doc;
        for (int id : {31, 32, 33}) {
            PackingNote note;
            note.PNID = id;
            doc.packingNoteList.push_back(note);
        }
        doc.packingNoteIndex = row.index;
        doc.packingNoteId = 32;
        doc.currentPackingNote = doc.packingNoteList[1];
        doc.containerScanResult.push_back({1, "K1", "OK"});
        bool fetched = false;
        int idFetched = 0;
        const bool taken = StepToListedNote(doc, row.step, [&] {
            fetched = true;
            idFetched = doc.packingNoteId;
            return row.reloadResult == Result::Ok ? SendResult::ok()
                                                  : SendResult::failed(row.reloadResult);
        });
        EXPECT_EQ(taken, row.taken);
        EXPECT_EQ(fetched, row.fetched);
        if (fetched) {
            EXPECT_EQ(idFetched, 32 + row.step) << "the fetch asks for the note stepped to";
        }
        EXPECT_EQ(doc.packingNoteIndex, row.indexAfter);
        EXPECT_EQ(doc.packingNoteId, row.idAfter);
        EXPECT_EQ(doc.currentPackingNote->PNID, row.idAfter);
        EXPECT_EQ(doc.containerScanResult.empty(), row.taken)
            << "the scanned containers go with the note left";
    }
}

TEST(NoteInfo, Texts) {
    PackingNoteDetails details;
    details.DN = 2;
    details.DD = "Dairy";
    details.CPN = 7;
    details.CPD = "Dock";
    details.UI = {{"Fragile"}, {"Keep cold"}};
    EXPECT_EQ(DepartmentLine(details), "2 Dairy /  7 Dock");
    EXPECT_EQ(InstructionsText(details), "Fragile\n\nKeep cold\n\n");
}

} // namespace
