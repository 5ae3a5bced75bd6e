#pragma once

#include "model/records.h"
#include "model/work_kinds.h"

#include <QString>
#include <cstdint>
#include <vector>

// What the screens before a packing note decide from the plant's settings and
// the back office's records: which controls they offer and when the worker may
// move on.

// ---- department and employee ------------------------------------------------

// The department row to preselect: the last row whose id is the plant's
// default department, else the first row; -1 for no rows.
int PreselectedDepartment(const std::vector<PlantDepartments>& departments, std::int32_t defaultId);

// Whether the department screen may move on. A department is needed only in
// route mode, where the routes are fetched for it; when the plant wants an
// employee number, the back office must have confirmed it.
bool DepartmentSaveEnabled(bool routeMode, std::size_t departmentCount, bool employeeNumberWanted,
                           bool employeeConfirmed);

// ---- the route's scan screen --------------------------------------------------

// Which of the two scan fields the plant's settings show, and which takes the
// focus first.
struct ScanHubFields {
    enum Focus { None, Note, Container };
    bool noteShown = false;
    bool containerShown = false;
    Focus focus = None;
    friend bool operator==(const ScanHubFields&, const ScanHubFields&) = default;
};
ScanHubFields ScanHubFieldsFor(bool ACS, int SPN);

// Save opens the note found by number or Scan next (note ready) or by a
// container (container ready). When the plant asks before taking over another
// route (AORD 2), a note counts only while the route counters are current.
bool ScanHubSaveEnabled(bool containerReady, bool noteReady, int AORD, bool routeCountsCurrent);

// Scan next and the three list buttons, by the route's counters.
struct ScanHubButtons {
    bool scanNext = false;
    bool newList = false;
    bool inProgressList = false;
    bool doneList = false;
    friend bool operator==(const ScanHubButtons&, const ScanHubButtons&) = default;
};
ScanHubButtons ScanHubButtonsFor(const RouteControl& route);

// Scan next answered with a note in `statusCode`: a note that was new ("10")
// is one new note fewer and one more in progress; the same note given again
// (already in progress, "20") changes nothing. The counters move as when a
// note is closed (MoveOneNote): never below 0.
void TakeNextNewNote(RouteControl& route, const QString& statusCode);

// "12 Harbour run": the route number and its description.
QString RouteCaption(const RouteControl& route);

// ---- the packing-note list ------------------------------------------------------

// Title, status label and buttons of a list. New and in-progress notes are
// opened (Save); done notes are reprinted (Print), unless the plant prints
// done notes itself (DNPP 2 or 4), which leaves only Back.
struct NoteListLook {
    const char* titleKey;
    const char* statusKey;
    bool save;
    bool print;
};
NoteListLook NoteListLookFor(NoteListKind kind, int DNPP);

// Where leaving a note opened from the list returns to: the new list, the
// list in progress, or (as if scanned) nowhere for the done list.
NoteOrigin ListOriginFor(NoteListKind kind);

// A done note may be reprinted from the list unless it was printed already.
inline bool ReprintAllowed(const PackingNote& note) {
    return !note.SP;
}
