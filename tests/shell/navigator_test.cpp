// The command table as rows of data: command, mode and outcomes in, next
// screen and the steps taken out; no window involved.
#include "model/korvo_doc.h"
#include "shell/navigation.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// The screen shown: records each operation asked and answers Ok unless told.
struct Operations : ScreenOperations {
    QStringList asked;
    ScreenOperation failing = ScreenOperation(-1);
    QString failure = Result::NotOk;
    QString runOperation(ScreenOperation operation) override {
        asked << QStringLiteral("op%1").arg(static_cast<int>(operation));
        return operation == failing ? failure : Result::Ok;
    }
};

struct Services : NavigationServices {
    QStringList calls = {};
    int result = 0;
    SendResult leaveResult = SendResult::ok();
    bool password = true;
    int call(MessageKind message, bool interactive, const QString& path) override {
        static const char* names[] = {"settings", "route"};
        calls << QStringLiteral("%1%2:%3")
                     .arg(QLatin1String(names[static_cast<int>(message)]))
                     .arg(interactive ? "!" : "")
                     .arg(path);
        return result;
    }
    int packingNoteList(NoteListKind kind) override {
        calls << QStringLiteral("list:%1").arg(WireValue(kind));
        return result;
    }
    SendResult leavePackingNote() override {
        calls << QStringLiteral("leave");
        return leaveResult;
    }
    bool askAccessPassword() override {
        calls << QStringLiteral("password");
        return password;
    }
};

QString op(ScreenOperation operation) {
    return QStringLiteral("op%1").arg(static_cast<int>(operation));
}

enum Mode { Route, Note, NoteWithEmployee, Other };

struct Row {
    const char* name;
    int command;
    Mode mode = Route;
    int serviceResult = 0;
    ScreenOperation failing = ScreenOperation(-1);
    int listOrigin = 0; // a NoteOrigin
    bool instructions = false;
    int expected = kNoScreen;
    QStringList calls = {};
    QStringList operations = {};
};

using SO = ScreenOperation;

// Rows leave out the trailing lists they do not need.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
const Row kRows[] = {
    {"start, route mode", Cmd::Start, Route, 0, {}, 0, false, kDepartmentScreen, {"settings:ws"}},
    {"start fails", Cmd::Start, Route, 1, {}, 0, false, kNoScreen, {"settings:ws"}},
    {"start, note mode",
     Cmd::Start,
     Note,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen,
     {"settings:ws"}},
    {"start, note mode with employee",
     Cmd::Start,
     NoteWithEmployee,
     0,
     {},
     0,
     false,
     kDepartmentScreen,
     {"settings:ws"}},
    {"start, other mode",
     Cmd::Start,
     Other,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen,
     {"settings:ws"}},
    {"settings with password", Cmd::Settings, Route, 0, {}, 0, false, kSettingScreen, {"password"}},
    {"settings ok saves",
     Cmd::SettingsOk,
     Route,
     0,
     {},
     0,
     false,
     kStartScreen,
     {},
     {op(SO::SaveSettings)}},
    {"test download", Cmd::TestDownload, Route, 0, {}, 0, false, kNoScreen, {"settings!:pending"}},
    {"department save",
     Cmd::DepartmentSave,
     Route,
     0,
     {},
     0,
     false,
     kDayScreen,
     {},
     {op(SO::StoreDepartment)}},
    {"department save, note mode",
     Cmd::DepartmentSave,
     Note,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen},
    {"day ok", Cmd::DayOk, Route, 0, {}, 0, false, kRouteScreen, {"route:ws"}, {op(SO::StoreDay)}},
    {"day ok, routes fail",
     Cmd::DayOk,
     Route,
     2,
     {},
     0,
     false,
     kNoScreen,
     {"route:ws"},
     {op(SO::StoreDay)}},
    {"route ok without a route",
     Cmd::RouteOk,
     Route,
     0,
     SO::StoreRoute,
     0,
     false,
     kNoScreen,
     {},
     {op(SO::StoreRoute)}},
    {"scan screen save",
     Cmd::ScanRouteSave,
     Route,
     0,
     {},
     0,
     false,
     kPackingNoteInfoScreen,
     {},
     {op(SO::PackingNoteCall)}},
    {"scan screen back", Cmd::ScanRouteBack, Route, 0, {}, 0, false, kRouteScreen, {"route:ws"}},
    {"done list", Cmd::DoneList, Route, 0, {}, 0, false, kPackingNotesScreen, {"list:2"}},
    {"list fails", Cmd::NewList, Route, 2, {}, 0, false, kNoScreen, {"list:0"}},
    {"list print stays",
     Cmd::ListPrint,
     Route,
     0,
     {},
     0,
     false,
     kNoScreen,
     {},
     {op(SO::PrintListedNote)}},
    {"info back to the new list",
     Cmd::InfoBack,
     Route,
     0,
     {},
     1,
     false,
     kPackingNotesScreen,
     {"leave", "list:0"}},
    {"info back, scanned, note mode",
     Cmd::InfoBack,
     Note,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen,
     {"leave"}},
    {"print",
     Cmd::DeliveredPrint,
     Route,
     0,
     {},
     0,
     false,
     kScanPnOrContainerScreen,
     {},
     {op(SO::PrintOrProcess)}},
    {"process fails",
     Cmd::DeliveredProcess,
     Route,
     0,
     SO::PrintOrProcess,
     2,
     false,
     kNoScreen,
     {},
     {op(SO::PrintOrProcess)}},
    {"hold to the in-progress list",
     Cmd::DeliveredHold,
     Route,
     0,
     {},
     2,
     false,
     kPackingNotesScreen,
     {"list:1"},
     {op(SO::HoldNote)}},
    {"hold whose save failed stays",
     Cmd::DeliveredHold,
     Route,
     0,
     SO::HoldNote,
     1,
     false,
     kNoScreen,
     {},
     {op(SO::HoldNote)}},
    {"back, save refused, stays",
     Cmd::DeliveredBack,
     Route,
     0,
     SO::LeaveDelivered,
     0,
     false,
     kNoScreen,
     {},
     {op(SO::LeaveDelivered)}},
    {"back to the information",
     Cmd::DeliveredBack,
     Route,
     0,
     {},
     0,
     false,
     kPackingNoteInfoScreen,
     {},
     {op(SO::LeaveDelivered)}},
    {"back, note mode without information",
     Cmd::DeliveredBack,
     Note,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen,
     {"leave"},
     {op(SO::LeaveDelivered)}},
    {"back, note mode with instructions",
     Cmd::DeliveredBack,
     Note,
     0,
     {},
     0,
     true,
     kPackingNoteInfoScreen,
     {},
     {op(SO::LeaveDelivered)}},
    {"counting refused",
     Cmd::DeliveredCounting,
     Route,
     0,
     SO::PrepareCounting,
     0,
     false,
     kNoScreen,
     {},
     {op(SO::PrepareCounting)}},
    {"count back asks, then reloads",
     Cmd::CountBack,
     Route,
     0,
     {},
     0,
     false,
     kDeliveredProdScreen,
     {},
     {op(SO::LeaveCountCheck), op(SO::CountLineCall)}},
    {"count back, stay",
     Cmd::CountBack,
     Route,
     0,
     SO::LeaveCountCheck,
     0,
     false,
     kNoScreen,
     {},
     {op(SO::LeaveCountCheck)}},
    {"out-scan back",
     Cmd::OutScanBack,
     Route,
     0,
     {},
     0,
     false,
     kDeliveredProdScreen,
     {},
     {op(SO::LeaveOutScan)}},
    {"scanned, note mode, no details",
     Cmd::PackingNoteScanned,
     Note,
     0,
     {},
     0,
     false,
     kDeliveredProdScreen,
     {},
     {op(SO::ScannedNoteLines)}},
    {"scanned, note mode, instructions",
     Cmd::PackingNoteScanned,
     Note,
     0,
     {},
     0,
     true,
     kPackingNoteInfoScreen},
    // A mode word the device does not know is packing-note mode throughout, as at
    // Start: the note's instructions are shown and Back leaves the note.
    {"scanned, other mode, instructions",
     Cmd::PackingNoteScanned,
     Other,
     0,
     {},
     0,
     true,
     kPackingNoteInfoScreen},
    {"back, other mode without information",
     Cmd::DeliveredBack,
     Other,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen,
     {"leave"},
     {op(SO::LeaveDelivered)}},
    {"department save, other mode",
     Cmd::DepartmentSave,
     Other,
     0,
     {},
     0,
     false,
     kScanPackingNoteScreen},
    {"scanned, lines fail",
     Cmd::PackingNoteScanned,
     Note,
     0,
     SO::ScannedNoteLines,
     0,
     false,
     kNoScreen,
     {},
     {op(SO::ScannedNoteLines)}},
    {"entry back, note mode", Cmd::ScanPnBack, Note, 0, {}, 0, false, kStartScreen},
    {"entry back, with employee",
     Cmd::ScanPnBack,
     NoteWithEmployee,
     0,
     {},
     0,
     false,
     kDepartmentScreen},
    {"unknown command", 12345, Route, 0, {}, 0, false, kNoScreen},
};
#pragma GCC diagnostic pop

class CommandTable : public ::testing::TestWithParam<Row> {};

TEST_P(CommandTable, Row) {
    const Row& row = GetParam();
    CKorvoDoc doc;
    doc.webServicePath = "ws";
    doc.pendingWebServicePath = "pending";
    doc.operatingMode = row.mode == Route   ? kRouteMode
                        : row.mode == Other ? QStringLiteral("OTHER")
                                            : kPackingNoteMode;
    doc.currentSettings.emplace().DNENR = row.mode == NoteWithEmployee;
    doc.listOrigin = static_cast<NoteOrigin>(row.listOrigin);
    if (row.instructions) {
        doc.currentPackingNote.emplace().details.emplace().UI.push_back({"Fragile"});
    }
    Services services;
    services.result = row.serviceResult;
    Operations screen;
    screen.failing = row.failing;
    Navigator navigator(doc, services);
    EXPECT_EQ(navigator.execute(row.command, &screen), row.expected);
    EXPECT_EQ(services.calls, row.calls);
    EXPECT_EQ(screen.asked, row.operations);
}

INSTANTIATE_TEST_SUITE_P(Navigator, CommandTable, ::testing::ValuesIn(kRows), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
});

TEST(Navigator, WithoutAScreenNothingThatNeedsOneMovesOn) {
    CKorvoDoc doc;
    doc.operatingMode = kRouteMode;
    Services services;
    Navigator navigator(doc, services);
    EXPECT_EQ(navigator.execute(Cmd::ScanRouteSave, nullptr), kNoScreen);
    EXPECT_EQ(navigator.execute(Cmd::InfoSave, nullptr), kNoScreen);
    EXPECT_EQ(navigator.execute(Cmd::DepartmentBack, nullptr), kStartScreen);
}

TEST(Navigator, PrintGoesOnWithoutAReportServerProcessDoesNot) {
    CKorvoDoc doc;
    doc.operatingMode = kRouteMode;
    Services services;
    Operations screen;
    screen.failing = ScreenOperation::PrintOrProcess;
    screen.failure = Result::NoReportServerFound;
    Navigator navigator(doc, services);
    EXPECT_EQ(navigator.execute(Cmd::DeliveredPrint, &screen), kScanPnOrContainerScreen);
    EXPECT_EQ(navigator.execute(Cmd::DeliveredProcess, &screen), kNoScreen);
}

TEST(Navigator, ListCommandsMarkTheListShownAndScanSaveTakesTheNote) {
    CKorvoDoc doc;
    doc.operatingMode = kRouteMode;
    Services services;
    Operations screen;
    Navigator navigator(doc, services);
    navigator.execute(Cmd::InProgressList, &screen);
    EXPECT_EQ(doc.shownList, NoteListKind::InProgress);

    doc.currentPackingNote.emplace().PNID = 42;
    doc.listOrigin = NoteOrigin::InProgressList;
    doc.containerScanResult.push_back({1, "C1", "S"});
    EXPECT_EQ(navigator.execute(Cmd::ScanRouteSave, &screen), kPackingNoteInfoScreen);
    EXPECT_EQ(doc.listOrigin, NoteOrigin::Scanned);
    EXPECT_EQ(doc.packingNoteId, 42);
    EXPECT_TRUE(doc.containerScanResult.empty());
}

} // namespace
