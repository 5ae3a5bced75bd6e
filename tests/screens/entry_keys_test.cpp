// A keypad reaches every button of every workflow screen with Tab, in screen
// order, starting where the screen puts the focus.
#include "platform/clock.h"
#include "screen_fixture.h"
#include "screens/add_count_view.h"
#include "screens/day_selection_view.h"
#include "screens/delivered_prod_view.h"
#include "screens/department_selection_view.h"
#include "screens/out_scan_pool_view.h"
#include "screens/packing_note_info_view.h"
#include "screens/packing_notes_view.h"
#include "screens/route_selection_view.h"
#include "screens/scan_packing_note_view.h"
#include "screens/scan_pn_or_container_view.h"

#include <functional>

namespace {

class EntryKeys : public ScreenFixture {
protected:
    EntryKeys() {
        Settings s;
        s.ACS = true;
        s.DNPP = 1;
        s.departments = {{1, "A", "Dairy"}};
        doc.currentSettings = s;
        doc.operatingMode = kRouteMode;
        doc.routes = {{1, 12, "North", 2, 1, 1}};
        doc.currentRoute = doc.routes[0];
        PackingNote note;
        note.NNR = "4001";
        doc.packingNoteList = {note};
    }

    // The object names the focus visits, from the first focus until it is back there.
    QStringList tabWalk() {
        QStringList names;
        QWidget* first = focused();
        names << (first ? first->objectName() : QString());
        for (int i = 0; i < 20; ++i) {
            press(Qt::Key_Tab);
            if (focused() == first) {
                return names;
            }
            names << (focused() ? focused()->objectName() : QString());
        }
        return names << "...no way back";
    }

    ScopedClock clock{QDateTime(QDate(2025, 3, 12), QTime(6, 0))};
};

TEST_F(EntryKeys, TabReachesEveryButtonInScreenOrder) {
    struct Case {
        const char* name;
        std::function<KorvoView*()> open;
        QStringList order;
    };
    const Case cases[] = {
        {"department",
         [this] { return open<CDepartmentSelectionView>(); },
         {"department", "save", "back"}},
        {"day",
         [this] { return open<CDaySelectionView>(); },
         {"day3", "day4", "day5", "day6", "day7", "ok", "back", "previousWeek", "nextWeek", "day1",
          "day2"}},
        {"route", [this] { return open<CRouteSelectionView>(); }, {"routes", "ok", "back"}},
        {"new notes",
         [this] {
             doc.shownList = NoteListKind::New;
             return open<CPackingNotesView>();
         },
         {"notes", "save", "back"}},
        {"done notes",
         [this] {
             doc.shownList = NoteListKind::Done;
             return open<CPackingNotesView>();
         },
         {"notes", "print", "back"}},
        {"route scan",
         [this] { return open<CScanPnOrContainerView>(); },
         {"noteNumber", "scanNext", "newList", "inProgressList", "containerId", "doneList",
          "back"}},
        {"note scan", [this] { return open<CScanPackingNoteView>(); }, {"noteNumber", "back"}},
        {"note information",
         [this] {
             doc.listOrigin = NoteOrigin::NewList;
             doc.packingNoteList.resize(3);
             doc.packingNoteIndex = 1;
             PackingNoteDetails& details = doc.currentPackingNote.emplace().details.emplace();
             details.C = {{"K1"}};
             details.UI = {{"Fragile"}};
             return open<CPackingNoteInfoView>();
         },
         {"container", "showContainers", "save", "back", "previous", "next", "instructions",
          "remark"}},
        {"delivered products",
         [this] {
             doc.currentSettings->OPI = true;
             doc.currentSettings->DNC = 1;
             doc.packingNoteLines.emplace().lines.resize(2);
             return open<CDeliveredProdView>();
         },
         {"lines", "print", "back", "hold", "outScanPool", "counting"}},
        {"counting",
         [this] {
             doc.countResult.emplace().lines.resize(2);
             return open<CAddCountView>();
         },
         {"lines", "back"}}, // Save waits for a changed count
        {"out-scan pool",
         [this] {
             doc.currentLine = doc.packingNoteLines->lines[0];
             return open<COutScanPoolView>();
         },
         {"scan", "back"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KorvoView* view = c.open();
        EXPECT_EQ(tabWalk(), c.order);
        delete view;
    }
}

} // namespace
