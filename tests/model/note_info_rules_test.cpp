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
        const NoteStepping s = NoteSteppingFor(c.origin, c.index, c.count);
        EXPECT_EQ(s.offered, c.offered);
        EXPECT_EQ(s.previous, c.previous);
        EXPECT_EQ(s.next, c.next);
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
