#pragma once

#include <QString>

// Screens, numbered as the rows of the Actions-menu table.
enum ScreenId : int {
    kNoScreen = -1,
    kStartScreen = 0,
    kSettingScreen = 1,
    kDepartmentScreen = 2,
    kDayScreen = 3,
    kRouteScreen = 4,
    kScanPnOrContainerScreen = 5,
    kPackingNotesScreen = 6,
    kPackingNoteInfoScreen = 7,
    kDeliveredProdScreen = 8,
    kOutScanPoolScreen = 9,
    kAddCountScreen = 10,
    kScanPackingNoteScreen = 11,
};
inline constexpr int kScreenCount = 12;

// Numbered commands. Screens reach the main frame only through these.
namespace Cmd {
inline constexpr int NewList = 154;
inline constexpr int InProgressList = 155;
inline constexpr int DoneList = 156;

inline constexpr int Back = 32800;
inline constexpr int Forward = 32801; // also Start on the start screen
inline constexpr int Start = 32801;
inline constexpr int Settings = 32802;
inline constexpr int SettingsOk = 32803;
inline constexpr int SettingsCancel = 32804;
inline constexpr int ActionsPlaceholder = 32807;
inline constexpr int InfoSave = 32814;
inline constexpr int InfoBack = 32815;
inline constexpr int InfoPrevious = 32816;
inline constexpr int InfoNext = 32817;
inline constexpr int InfoInstructions = 32818;
inline constexpr int TestDownload = 32820;
inline constexpr int DepartmentSave = 32821;
inline constexpr int DepartmentBack = 32822;
inline constexpr int DayOk = 32823;
inline constexpr int DayBack = 32824;
inline constexpr int ScanRouteSave = 32825;
inline constexpr int ScanRouteBack = 32826;
inline constexpr int ListSave = 32827;
inline constexpr int ListBack = 32828;
inline constexpr int ListPrint = 32829;
inline constexpr int RouteOk = 32831;
inline constexpr int RouteBack = 32832;
inline constexpr int DeliveredPrint = 32833;
inline constexpr int DeliveredBack = 32834;
inline constexpr int DeliveredHold = 32835;
inline constexpr int DeliveredOutScanPool = 32836;
inline constexpr int DeliveredCounting = 32837;
inline constexpr int OutScanBack = 32838;
inline constexpr int CountSave = 32839;
inline constexpr int CountBack = 32840;
inline constexpr int DeliveredProcess = 32841;
inline constexpr int ScanPnBack = 32842;
inline constexpr int PackingNoteScanned = 32843;

inline constexpr int About = 57664;
inline constexpr int Exit = 57665;

// Menu commands in this range are routed to the navigation.
inline constexpr int NavigationFirst = 32800;
inline constexpr int NavigationLast = 32900;
} // namespace Cmd

// The workflow steps the navigation asks of the screen shown before it moves on.
// Each returns Result::Ok on success, or another text (the one the screen showed)
// to stay.
enum class ScreenOperation {
    SaveSettings,     // settings: OK and Back
    StoreDepartment,  // department: Save in route mode
    StoreDay,         // day: OK
    StoreRoute,       // route: OK
    PackingNoteCall,  // route scan: Save
    TakeListedNote,   // list: Save
    PrintListedNote,  // list: Print
    SaveInfo,         // information: Save
    PreviousNote,     // information: Previous
    NextNote,         // information: Next
    ShowInstructions, // information: Instructions
    PrintOrProcess,   // delivered products: Print and Process
    LeaveDelivered,   // delivered products: Back
    HoldNote,         // delivered products: Hold
    StoreCurrentLine, // delivered products: Out-scan pool
    PrepareCounting,  // delivered products: Counting
    LeaveOutScan,     // out-scan pool: Back (Result::Ok to leave)
    SaveCount,        // counting: Save
    LeaveCountCheck,  // counting: Back, the leave check (Result::Ok to leave)
    CountLineCall,    // counting: Back, the packing-note line request
    ScannedNoteLines, // packing-note entry: the lines after a scan
};

// The outcome words of screen operations and of the back office.
namespace Result {
inline const QString Ok = QStringLiteral("OK");
inline const QString NotOk = QStringLiteral("NOT_OK");
inline const QString NoReportServerFound = QStringLiteral("NO_REPORT_SERVER_FOUND");
inline const QString Error = QStringLiteral("Error");
} // namespace Result

// What the navigation can ask of the screen shown.
class ScreenOperations {
public:
    virtual ~ScreenOperations() = default;
    // Runs a workflow step; Result::Ok on success. A screen answers only the
    // steps of its own commands; anything else is a failure, never a silent Ok.
    virtual QString runOperation(ScreenOperation operation) = 0;
};
