#include "shell/navigation.h"

#include "model/korvo_doc.h"
#include "model/navigation_ids.h"
#include "model/note_closing.h"
#include "platform/prompter.h"
#include "service/back_office.h"

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
    return doc.IsRouteMode() || (doc.currentSettings && doc.currentSettings->DNENR);
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

int BackOfficeNavigation::call(MessageKind message, bool interactive, const QString& servicePath) {
    WaitCursor wait;
    return office_.call(message, interactive, servicePath);
}

int BackOfficeNavigation::packingNoteList(NoteListKind kind) {
    WaitCursor wait;
    return office_.packingNoteList(kind);
}

SendResult BackOfficeNavigation::leavePackingNote() {
    const QString openedAs = doc_.currentPackingNote ? doc_.currentPackingNote->SC : QString();
    const SendResult result = office_.packingNote(NoteAction::Leave, QString());
    if (result.isOk()) {
        CountLeftNote(doc_, openedAs);
    }
    return result;
}

bool Navigator::operationOk(ScreenOperation operation) {
    // Without a screen there is nobody to carry the step out.
    return screen_ != nullptr && screen_->runOperation(operation) == Result::Ok;
}

bool Navigator::callOk(MessageKind message, bool interactive, const QString& servicePath) {
    return services_->call(message, interactive, servicePath) == 0;
}

int Navigator::ShowNoteList(NoteListKind kind) {
    if (services_->packingNoteList(kind) != 0) {
        return kNoScreen;
    }
    doc_.shownList = kind;
    return kPackingNotesScreen;
}

int Navigator::ReturnFromPackingNote() {
    // A note opened from a list goes back to that list, fetched again.
    auto list = [this](NoteListKind kind) { return ShowNoteList(kind); };
    switch (doc_.listOrigin) {
    case NoteOrigin::NewList:
        return list(NoteListKind::New);
    case NoteOrigin::InProgressList:
        return list(NoteListKind::InProgress);
    case NoteOrigin::Scanned:
        break;
    }
    return doc_.IsRouteMode() ? kScanPnOrContainerScreen : kScanPackingNoteScreen;
}

int Navigator::AfterPackingNoteScanned() {
    if (!doc_.IsRouteMode() && (InformationAfterScan(doc_) || NoteHasInstructions(doc_))) {
        return kPackingNoteInfoScreen;
    }
    return operationOk(ScreenOperation::ScannedNoteLines) ? kDeliveredProdScreen : kNoScreen;
}

int Navigator::BackFromDeliveredProducts() {
    if (!doc_.IsRouteMode() && !InformationAfterScan(doc_) && !NoteHasInstructions(doc_)) {
        return services_->leavePackingNote().isOk() ? kScanPackingNoteScreen : kNoScreen;
    }
    return kPackingNoteInfoScreen;
}

int Navigator::execute(int command, ScreenOperations* screen) {
    screen_ = screen;
    const QString& path = doc_.webServicePath;
    auto run = [this](ScreenOperation operation) {
        if (screen_ != nullptr) {
            screen_->runOperation(operation);
        }
    };

    switch (command) {
    case Cmd::Start:
        return callOk(MessageKind::Settings, false, path) ? ScreenAfterStart(doc_) : kNoScreen;
    case Cmd::Settings:
        return services_->askAccessPassword() ? kSettingScreen : kNoScreen;
    case Cmd::SettingsOk:
        run(ScreenOperation::SaveSettings);
        return kStartScreen;
    case Cmd::SettingsCancel:
        return kStartScreen;
    case Cmd::TestDownload:
        doc_.settingsTestOk = callOk(MessageKind::Settings, true, doc_.pendingWebServicePath);
        return kNoScreen;

    case Cmd::DepartmentSave:
        if (!doc_.IsRouteMode()) {
            return kScanPackingNoteScreen;
        }
        return operationOk(ScreenOperation::StoreDepartment) ? kDayScreen : kNoScreen;
    case Cmd::DepartmentBack:
        return kStartScreen;
    case Cmd::DayOk:
        if (!operationOk(ScreenOperation::StoreDay)) {
            return kNoScreen;
        }
        return callOk(MessageKind::Route, false, path) ? kRouteScreen : kNoScreen;
    case Cmd::DayBack:
        return kDepartmentScreen;
    case Cmd::RouteOk:
        return operationOk(ScreenOperation::StoreRoute) ? kScanPnOrContainerScreen : kNoScreen;
    case Cmd::RouteBack:
        return kDayScreen;

    case Cmd::ScanRouteSave:
        if (!operationOk(ScreenOperation::PackingNoteCall)) {
            return kNoScreen;
        }
        doc_.listOrigin = NoteOrigin::Scanned;
        doc_.packingNoteId = doc_.currentPackingNote ? doc_.currentPackingNote->PNID : 0;
        doc_.containerScanResult.clear();
        return kPackingNoteInfoScreen;
    case Cmd::ScanRouteBack:
        return callOk(MessageKind::Route, false, path) ? kRouteScreen : kNoScreen;
    case Cmd::NewList:
    case Cmd::InProgressList:
    case Cmd::DoneList:
        return ShowNoteList(command == Cmd::NewList          ? NoteListKind::New
                            : command == Cmd::InProgressList ? NoteListKind::InProgress
                                                             : NoteListKind::Done);

    case Cmd::ListSave:
        if (!operationOk(ScreenOperation::TakeListedNote)) {
            return kNoScreen;
        }
        doc_.containerScanResult.clear();
        return kPackingNoteInfoScreen;
    case Cmd::ListBack:
        return kScanPnOrContainerScreen;
    case Cmd::ListPrint:
        run(ScreenOperation::PrintListedNote);
        return kNoScreen;

    case Cmd::InfoSave:
        return operationOk(ScreenOperation::SaveInfo) ? kDeliveredProdScreen : kNoScreen;
    case Cmd::InfoBack:
        return services_->leavePackingNote().isOk() ? ReturnFromPackingNote() : kNoScreen;
    case Cmd::InfoPrevious:
        run(ScreenOperation::PreviousNote);
        return kNoScreen;
    case Cmd::InfoNext:
        run(ScreenOperation::NextNote);
        return kNoScreen;
    case Cmd::InfoInstructions:
        run(ScreenOperation::ShowInstructions);
        return kNoScreen;

    case Cmd::DeliveredPrint: {
        const QString result =
            screen_ ? screen_->runOperation(ScreenOperation::PrintOrProcess) : Result::NotOk;
        return result == Result::Ok || result == Result::NoReportServerFound
                   ? ReturnFromPackingNote()
                   : kNoScreen;
    }
    case Cmd::DeliveredProcess:
        return operationOk(ScreenOperation::PrintOrProcess) ? ReturnFromPackingNote() : kNoScreen;
    case Cmd::DeliveredBack:
        // The screen asks whether to save; a failed save keeps the quantities here.
        return operationOk(ScreenOperation::LeaveDelivered) ? BackFromDeliveredProducts()
                                                            : kNoScreen;
    case Cmd::DeliveredHold:
        // Quantities the back office did not take stay on the screen.
        return operationOk(ScreenOperation::HoldNote) ? ReturnFromPackingNote() : kNoScreen;
    case Cmd::DeliveredOutScanPool:
        return operationOk(ScreenOperation::StoreCurrentLine) ? kOutScanPoolScreen : kNoScreen;
    case Cmd::DeliveredCounting:
        return operationOk(ScreenOperation::PrepareCounting) ? kAddCountScreen : kNoScreen;

    case Cmd::OutScanBack:
        return operationOk(ScreenOperation::LeaveOutScan) ? kDeliveredProdScreen : kNoScreen;
    case Cmd::CountSave:
        run(ScreenOperation::SaveCount);
        return kNoScreen;
    case Cmd::CountBack:
        return operationOk(ScreenOperation::LeaveCountCheck) &&
                       operationOk(ScreenOperation::CountLineCall)
                   ? kDeliveredProdScreen
                   : kNoScreen;

    case Cmd::ScanPnBack:
        return ScreenBeforePackingNoteEntry(doc_);
    case Cmd::PackingNoteScanned:
        return AfterPackingNoteScanned();
    default:
        return kNoScreen;
    }
}
