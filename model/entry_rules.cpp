#include "model/entry_rules.h"

#include "model/note_closing.h"

int PreselectedDepartment(const std::vector<PlantDepartments>& departments,
                          std::int32_t defaultId) {
    if (departments.empty()) {
        return -1;
    }
    int chosen = 0;
    for (std::size_t i = 0; i < departments.size(); ++i) {
        if (departments[i].PDIDS == defaultId) {
            chosen = static_cast<int>(i);
        }
    }
    return chosen;
}

bool DepartmentSaveEnabled(bool routeMode, std::size_t departmentCount, bool employeeNumberWanted,
                           bool employeeConfirmed) {
    if (routeMode && departmentCount == 0) {
        return false;
    }
    return !employeeNumberWanted || employeeConfirmed;
}

ScanHubFields ScanHubFieldsFor(bool ACS, int SPN) {
    if (ACS) {
        switch (SPN) {
        case 1:
            return {true, true, ScanHubFields::Container};
        case 2:
            return {false, true, ScanHubFields::Container};
        default:
            return {true, true, ScanHubFields::Note};
        }
    }
    if (SPN == 2) {
        return {false, false, ScanHubFields::None};
    }
    return {true, false, ScanHubFields::Note};
}

bool ScanHubSaveEnabled(bool containerReady, bool noteReady, int AORD, bool routeCountsCurrent) {
    return containerReady ||
           (noteReady && (RouteChangeRuleOf(AORD) != RouteChangeRule::Ask || routeCountsCurrent));
}

ScanHubButtons ScanHubButtonsFor(const RouteControl& route) {
    return {route.QN != 0, route.QN != 0, route.QP != 0, route.QC != 0};
}

void TakeNextNewNote(RouteControl& route, const QString& statusCode) {
    if (NoteStatusOf(statusCode) != NoteStatus::New) {
        return;
    }
    MoveOneNote(route.QN, route.QP);
}

QString RouteCaption(const RouteControl& route) {
    return QString::number(route.RNR) + QLatin1Char(' ') + route.D;
}

NoteListLook NoteListLookFor(NoteListKind kind, int DNPP) {
    switch (kind) {
    case NoteListKind::InProgress:
        return {"lblPnInProgTitle", "lblPnInProg", true, false};
    case NoteListKind::Done: {
        // Where the back office or the plant prints done notes, nothing is reprinted here.
        const DoneNotePrinting printing = DoneNotePrintingOf(DNPP);
        return {"lblDnForReprintTitle", "lblPnDone", false,
                printing != DoneNotePrinting::ProcessOnly &&
                    printing != DoneNotePrinting::PlantPrints};
    }
    case NoteListKind::New:
        break;
    }
    return {"lblPnNewTitle", "lblPnNew", true, false};
}

NoteOrigin ListOriginFor(NoteListKind kind) {
    switch (kind) {
    case NoteListKind::New:
        return NoteOrigin::NewList;
    case NoteListKind::InProgress:
        return NoteOrigin::InProgressList;
    case NoteListKind::Done:
        break;
    }
    return NoteOrigin::Scanned;
}
