#include "model/korvo_doc.h"

ActionMenuTable::ActionMenuTable() {
    auto set = [this](int screen, std::initializer_list<std::pair<int, const char*>> entries) {
        for (const auto& [command, key] : entries) {
            rows_.at(static_cast<size_t>(screen))
                .push_back({static_cast<std::uint16_t>(command), QString::fromLatin1(key), true});
        }
    };
    set(kStartScreen, {{Cmd::Start, "miStart"}, {Cmd::Settings, "miSettings"}});
    set(kSettingScreen, {{Cmd::SettingsOk, "miOk"}, {Cmd::SettingsCancel, "miCancel"}});
    set(kDepartmentScreen, {{Cmd::DepartmentSave, "miSave"}, {Cmd::DepartmentBack, "miBack"}});
    set(kDayScreen, {{Cmd::DayOk, "miOk"}, {Cmd::DayBack, "miBack"}});
    set(kRouteScreen, {{Cmd::RouteOk, "miOk"}, {Cmd::RouteBack, "miBack"}});
    set(kScanPnOrContainerScreen, {{Cmd::ScanRouteSave, "miSave"}, {Cmd::ScanRouteBack, "miBack"}});
    set(kPackingNotesScreen,
        {{Cmd::ListSave, "miSave"}, {Cmd::ListBack, "miBack"}, {Cmd::ListPrint, "miPnPrint"}});
    set(kPackingNoteInfoScreen, {{Cmd::InfoSave, "miSave"},
                                 {Cmd::InfoBack, "miBack"},
                                 {Cmd::InfoPrevious, "miPrevious"},
                                 {Cmd::InfoNext, "miNext"},
                                 {Cmd::InfoInstructions, "miInstructions"}});
    set(kDeliveredProdScreen, {{Cmd::DeliveredPrint, "miPnPrint"},
                               {Cmd::DeliveredProcess, "miProcess"},
                               {Cmd::DeliveredBack, "miBack"},
                               {Cmd::DeliveredHold, "miHold"},
                               {Cmd::DeliveredOutScanPool, "miOutscanPool"},
                               {Cmd::DeliveredCounting, "miCounting"}});
    set(kOutScanPoolScreen, {{Cmd::OutScanBack, "miBack"}});
    set(kAddCountScreen, {{Cmd::CountSave, "miSave"}, {Cmd::CountBack, "miBack"}});
    set(kScanPackingNoteScreen, {{Cmd::ScanPnBack, "miBack"}});
}

bool CKorvoDoc::IsRouteMode() const {
    return mode() == OperatingMode::Route;
}
