#include "shell/navigation.h"

#include "model/korvo_doc.h"
#include "model/navigation_ids.h"
#include "service/messages/packing_note_message.h"

#include <array>
#include <cstddef>

namespace {

struct Mapping {
    int back;
    int forward;
};

// Per ScreenId. Forward is not mapped on the screens behind the packing-note
// choice (7 to 11): those screens take Enter and the arrows themselves, and a
// forward that still reaches the frame there does nothing.
constexpr std::array<Mapping, kScreenCount> kMappings = {{
    {0, Cmd::Start},
    {Cmd::SettingsOk, Cmd::SettingsOk},
    {Cmd::DepartmentBack, Cmd::DepartmentSave},
    {Cmd::DayBack, Cmd::DayOk},
    {Cmd::RouteBack, Cmd::RouteOk},
    {Cmd::ScanRouteBack, Cmd::ScanRouteSave},
    {Cmd::ListBack, Cmd::ListSave},
    {Cmd::InfoBack, 0},
    {Cmd::DeliveredBack, 0},
    {Cmd::OutScanBack, 0},
    {Cmd::CountBack, 0},
    {0, 0},
}};

} // namespace

int MapNavigationCommand(int screenId, int command) {
    if (command != Cmd::Back && command != Cmd::Forward) {
        return command;
    }
    if (screenId < 0 || screenId >= kScreenCount) {
        // Before the first screen is set up only forward has a meaning.
        return command == Cmd::Forward ? Cmd::Start : 0;
    }
    const Mapping& m = kMappings[static_cast<std::size_t>(screenId)];
    return command == Cmd::Back ? m.back : m.forward;
}

namespace {

bool employeeNumberWanted(const CKorvoDoc& doc) {
    return doc.operatingMode == kRouteMode || (doc.operatingMode == kPackingNoteMode &&
                                               doc.currentSettings && doc.currentSettings->DNENR);
}

} // namespace

int ScreenAfterStart(const CKorvoDoc& doc) {
    return employeeNumberWanted(doc) ? kDepartmentScreen : kScanPackingNoteScreen;
}

int ScreenBeforePackingNoteEntry(const CKorvoDoc& doc) {
    return employeeNumberWanted(doc) ? kDepartmentScreen : kStartScreen;
}

bool NoteHasInstructions(const CKorvoDoc& doc) {
    return doc.currentPackingNote && doc.currentPackingNote->details &&
           !doc.currentPackingNote->details->UI.empty();
}

bool InformationAfterScan(const CKorvoDoc& doc) {
    return doc.currentSettings && doc.currentSettings->ACS;
}

NavigationServices BackOfficeServices() {
    NavigationServices services;
    services.call = [](MessageKind kind, CKorvoDoc& doc, bool interactive, const QString& path) {
        return CallMessage(kind, doc, interactive, path);
    };
    services.leavePackingNote = [](CKorvoDoc& doc, const QString& path) {
        doc.packingNoteAction = 3;
        return SendPackingNoteMessage(doc, QString(), path, false);
    };
    return services;
}
