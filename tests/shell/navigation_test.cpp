#include "frame_fixture.h"
#include "model/korvo_doc.h"
#include "recording_back_office.h"
#include "widgets/korvo_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

using Message = RecordingBackOffice::Message;

// A started program whose workflow screens are placeholders and whose back
// office is scripted: every message succeeds unless the test says otherwise.
class Navigation : public FrameFixture<> {
protected:
    void start(const QByteArray& settings) {
        office.on(Message::Settings, [this](CKorvoDoc& d, auto&) {
            Settings s;
            s.plant = Plant{7, "Fenwold Fresh", "Dockside 12", "Harwick", "4711", "NH"};
            s.DNENR = dnenr;
            s.ACS = acs;
            d.currentSettings = s;
        });
        frame.setBackOffice(office);
        FrameFixture::start(settings, PlaceholderScreens);
    }

    int go(int command) {
        frame.SwitchScreen(command);
        return frame.currentScreenId();
    }

    int key(Qt::Key k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(frame.currentScreen(), &press);
        QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
        QApplication::sendEvent(frame.currentScreen(), &release);
        return frame.currentScreenId();
    }

    QStringList actions() { return actionTexts(); }

    QString label(const char* name) {
        auto* l = frame.currentScreen()->findChild<QLabel*>(QLatin1String(name));
        return l ? l->text() : QStringLiteral("<none>");
    }

    // How many times the worker left a note (the packing-note request with action 3).
    int leaves() const {
        int n = 0;
        for (const auto& e : office.exchanges) {
            n += e.message == Message::PackingNote && e.action == 3;
        }
        return n;
    }

    RecordingBackOffice office{doc};
    bool dnenr = false;
    bool acs = false;
};

const QByteArray kRouteModeFile = "WarPath=ws\nOperatingMode=ROUTEMODE\n";
const QByteArray kPackingNoteModeFile = "WarPath=ws\nOperatingMode=PACKINGNOTEMODE\n";

} // namespace

TEST_F(Navigation, RouteModeWalk) {
    start(kRouteModeFile);
    EXPECT_EQ(go(Cmd::Start), kDepartmentScreen);
    EXPECT_EQ(office.exchanges.last().message, Message::Settings);
    EXPECT_EQ(office.exchanges.last().path, "ws");
    EXPECT_FALSE(office.exchanges.last().interactive);
    EXPECT_EQ(actions(), QStringList({"Save", "Back"}));
    EXPECT_EQ(key(Qt::Key_Return), kDayScreen);
    EXPECT_EQ(key(Qt::Key_Right), kRouteScreen);
    EXPECT_EQ(office.exchanges.last().message, Message::Route);
    EXPECT_EQ(key(Qt::Key_Return), kScanPnOrContainerScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kRouteScreen) << "back from the scan screen reloads the routes";
    EXPECT_EQ(office.exchanges.last().message, Message::Route);
    EXPECT_EQ(key(Qt::Key_Left), kDayScreen);
    EXPECT_EQ(key(Qt::Key_Left), kDepartmentScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kStartScreen);
    EXPECT_EQ(office.exchanges.size(), 3);
}

TEST_F(Navigation, ListsAndTheNoteScreens) {
    start(kRouteModeFile);
    go(Cmd::Start);
    go(Cmd::DepartmentSave);
    go(Cmd::DayOk);
    go(Cmd::RouteOk);
    for (const auto& [command, action] :
         {std::pair{Cmd::NewList, 0}, {Cmd::InProgressList, 1}, {Cmd::DoneList, 2}}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(go(command), kPackingNotesScreen);
        EXPECT_EQ(office.exchanges.last(),
                  (RecordingBackOffice::Exchange{Message::PackingNoteList, action}));
        EXPECT_EQ(WireValue(doc.shownList), action) << "the list screen shows what was fetched";
        EXPECT_EQ(actions(), QStringList({"Save", "Back", "Print"}));
        EXPECT_EQ(go(Cmd::ListPrint), kPackingNotesScreen);
        EXPECT_EQ(key(Qt::Key_Escape), kScanPnOrContainerScreen);
    }

    go(Cmd::InProgressList);
    doc.listOrigin = NoteOrigin::InProgressList;
    doc.containerScanResult.push_back({1, "C", "S"});
    EXPECT_EQ(key(Qt::Key_Return), kPackingNoteInfoScreen);
    EXPECT_TRUE(doc.containerScanResult.empty());
    EXPECT_EQ(actions(),
              QStringList({"Save", "Back", "Previous note", "Next note", "Instructions"}));
    EXPECT_EQ(key(Qt::Key_Return), kPackingNoteInfoScreen) << "forward does nothing here";
    EXPECT_EQ(go(Cmd::InfoNext), kPackingNoteInfoScreen);
    EXPECT_EQ(go(Cmd::InfoSave), kDeliveredProdScreen);
    EXPECT_EQ(actions(),
              QStringList({"Print", "Process", "Back", "Hold", "Out-scan pool", "Count"}));
    EXPECT_EQ(go(Cmd::DeliveredOutScanPool), kOutScanPoolScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kDeliveredProdScreen);
    EXPECT_EQ(go(Cmd::DeliveredCounting), kAddCountScreen);
    EXPECT_EQ(actions(), QStringList({"Save", "Back"}));
    EXPECT_EQ(go(Cmd::CountSave), kAddCountScreen);
    EXPECT_EQ(key(Qt::Key_Left), kDeliveredProdScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kPackingNoteInfoScreen) << "route mode returns to the note";

    // Leaving a note opened from the in-progress list fetches that list again.
    office.clear();
    EXPECT_EQ(key(Qt::Key_Escape), kPackingNotesScreen);
    EXPECT_EQ(office.messages(), QList<Message>({Message::PackingNote, Message::PackingNoteList}));
    EXPECT_EQ(leaves(), 1);
    EXPECT_EQ(office.exchanges.last().action, 1);
}

TEST_F(Navigation, LeavingANoteByItsOrigin) {
    start(kRouteModeFile);
    go(Cmd::Start);
    struct Case {
        const char* name;
        int origin;
        int command;
        int expected;
        int action;
    };
    const Case cases[] = {
        {"hold, new list", 1, Cmd::DeliveredHold, kPackingNotesScreen, 0},
        {"print, scanned", 0, Cmd::DeliveredPrint, kScanPnOrContainerScreen, -1},
        {"process, in progress", 2, Cmd::DeliveredProcess, kPackingNotesScreen, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc.listOrigin = static_cast<NoteOrigin>(c.origin);
        go(Cmd::ListSave);
        go(Cmd::InfoSave);
        ASSERT_EQ(frame.currentScreenId(), kDeliveredProdScreen);
        office.clear();
        EXPECT_EQ(go(c.command), c.expected);
        if (c.action >= 0) {
            ASSERT_EQ(office.exchanges.size(), 1);
            EXPECT_EQ(office.exchanges[0].action, c.action);
        } else {
            EXPECT_TRUE(office.exchanges.empty());
        }
    }
    // A failing list download keeps the note.
    doc.listOrigin = NoteOrigin::NewList;
    go(Cmd::ListSave);
    go(Cmd::InfoSave);
    office.fail(Message::PackingNoteList);
    EXPECT_EQ(go(Cmd::DeliveredHold), kDeliveredProdScreen);
}

TEST_F(Navigation, FailuresKeepTheScreen) {
    start(kRouteModeFile);
    office.fail(Message::Settings);
    EXPECT_EQ(go(Cmd::Start), kStartScreen) << "a failed settings download keeps the start screen";
    EXPECT_EQ(label("versionValue"), "") << "no plant details yet";
    go(Cmd::Start);
    go(Cmd::DepartmentSave);
    office.fail(Message::Route);
    EXPECT_EQ(go(Cmd::DayOk), kDayScreen);
    go(Cmd::DayOk);
    go(Cmd::RouteOk);
    doc.shownList = NoteListKind::Done;
    office.fail(Message::PackingNoteList);
    EXPECT_EQ(go(Cmd::NewList), kScanPnOrContainerScreen);
    EXPECT_EQ(doc.shownList, NoteListKind::Done) << "a list not fetched is not shown";
    go(Cmd::ScanRouteSave);
    ASSERT_EQ(frame.currentScreenId(), kPackingNoteInfoScreen);
    office.fail(Message::PackingNote, "NOT_OK");
    EXPECT_EQ(go(Cmd::InfoBack), kPackingNoteInfoScreen);
}

TEST_F(Navigation, StartScreenBeforeAndAfterStart) {
    start(kRouteModeFile);
    EXPECT_EQ(label("versionValue"), "");
    EXPECT_EQ(label("plantName"), "");
    EXPECT_EQ(actions(), QStringList({"Start", "Settings"}));
    go(Cmd::Start);
    EXPECT_EQ(go(Cmd::DepartmentBack), kStartScreen);
    EXPECT_EQ(label("versionValue"), "1.35");
    EXPECT_EQ(label("plantName"), "Fenwold Fresh");
    EXPECT_EQ(label("plantAddress"), "Dockside 12");
    EXPECT_EQ(label("plantCity"), "Harwick NH 4711");
    EXPECT_EQ(actions(), QStringList({"Start"})) << "the Settings entry goes after a return";
    EXPECT_EQ(label("title"), "Korvane packing");
}

TEST_F(Navigation, PackingNoteMode) {
    start(kPackingNoteModeFile);
    EXPECT_EQ(go(Cmd::Start), kScanPackingNoteScreen);
    EXPECT_EQ(actions(), QStringList({"Back"}));
    EXPECT_EQ(key(Qt::Key_Escape), kScanPackingNoteScreen)
        << "back from the App menu does nothing here";
    EXPECT_EQ(key(Qt::Key_Return), kScanPackingNoteScreen);
    // Without instructions or the plant's wish the lines follow a scan directly.
    EXPECT_EQ(go(Cmd::PackingNoteScanned), kDeliveredProdScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kScanPackingNoteScreen);
    EXPECT_EQ(leaves(), 1);
    // A note with instructions shows its information first.
    PackingNote note;
    note.details = PackingNoteDetails{};
    note.details->UI.push_back({"Fragile"});
    doc.currentPackingNote = note;
    EXPECT_EQ(go(Cmd::PackingNoteScanned), kPackingNoteInfoScreen);
    EXPECT_EQ(go(Cmd::InfoSave), kDeliveredProdScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kPackingNoteInfoScreen);
    EXPECT_EQ(key(Qt::Key_Escape), kScanPackingNoteScreen);
    EXPECT_EQ(go(Cmd::ScanPnBack), kStartScreen);
}

TEST_F(Navigation, PackingNoteModeWithEmployeeNumber) {
    dnenr = true;
    acs = true;
    start(kPackingNoteModeFile);
    EXPECT_EQ(go(Cmd::Start), kDepartmentScreen);
    EXPECT_EQ(go(Cmd::DepartmentSave), kScanPackingNoteScreen);
    EXPECT_EQ(go(Cmd::PackingNoteScanned), kPackingNoteInfoScreen)
        << "the plant wants the information";
    go(Cmd::InfoSave);
    EXPECT_EQ(key(Qt::Key_Escape), kPackingNoteInfoScreen);
    go(Cmd::InfoBack);
    EXPECT_EQ(frame.currentScreenId(), kScanPackingNoteScreen);
    EXPECT_EQ(go(Cmd::ScanPnBack), kDepartmentScreen);
}

TEST_F(Navigation, UnknownOperatingModeIsPackingNoteEntry) {
    start("OperatingMode=SOMETHING\n");
    EXPECT_EQ(go(Cmd::Start), kScanPackingNoteScreen);
    EXPECT_EQ(go(Cmd::PackingNoteScanned), kDeliveredProdScreen)
        << "no information wanted and no instructions";
    // Packing-note mode to the end: Back leaves the note for the entry screen,
    // not for the route workflow's information screen.
    EXPECT_EQ(key(Qt::Key_Escape), kScanPackingNoteScreen);
    EXPECT_EQ(go(Cmd::ScanPnBack), kStartScreen);
}

TEST_F(Navigation, ScreensAreCreatedAnewAndTheOldOneGoes) {
    start(kRouteModeFile);
    go(Cmd::Start);
    QPointer<KorvoView> first = frame.currentScreen();
    go(Cmd::DepartmentSave);
    go(Cmd::DayBack);
    EXPECT_NE(frame.currentScreen(), first.data());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(frame.clientArea()->findChildren<KorvoView*>().size(), 1);
}

TEST_F(Navigation, TitlesOfTheWorkflowScreens) {
    start(kRouteModeFile);
    doc.viewBy = "DELIVERY";
    go(Cmd::Start);
    EXPECT_EQ(label("title"), "Select department");
    go(Cmd::DepartmentSave);
    EXPECT_EQ(label("title"), "Select delivery day");
    go(Cmd::DayOk);
    doc.currentRoute = RouteControl{1, 12, "North", 0, 0, 0};
    go(Cmd::RouteOk);
    EXPECT_EQ(label("title"), "Route 12 North");
    PackingNote note;
    note.NNR = "4711";
    doc.currentPackingNote = note;
    go(Cmd::ScanRouteSave);
    EXPECT_EQ(label("title"), "Note 4711");
    go(Cmd::InfoSave);
    go(Cmd::DeliveredOutScanPool);
    EXPECT_EQ(label("title"), "Out-scan pool");
}
