#pragma once

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
