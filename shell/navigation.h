#pragma once

#include "service/messages/message_kind.h"

#include <QString>
#include <functional>

class CKorvoDoc;

// Back (the App menu's Back, Escape, Left) and forward (Enter, Right) become the
// current screen's own commands. Returns 0 when the key does nothing there; any
// other command passes unchanged.
int MapNavigationCommand(int screenId, int command);

// How the navigation reaches the back office; tests replace it.
struct NavigationServices {
    // Runs a message; returns the call's result (0 on success).
    std::function<int(MessageKind message, CKorvoDoc& doc, bool interactive,
                      const QString& servicePath)>
        call;
    // Reports that the worker leaves the current packing note (its request with
    // action 3); returns "OK" or the text shown.
    std::function<QString(CKorvoDoc& doc, const QString& servicePath)> leavePackingNote;
};

// Where the workflow goes from the start screen, and back from the packing-note
// entry screen: the department screen in route mode and when the plant wants an
// employee number, else the packing-note entry (Start) or the start screen (Back).
int ScreenAfterStart(const CKorvoDoc& doc);
int ScreenBeforePackingNoteEntry(const CKorvoDoc& doc);
// The note being worked on carries instructions.
bool NoteHasInstructions(const CKorvoDoc& doc);
// The plant sends the worker to the note's information after every scan.
bool InformationAfterScan(const CKorvoDoc& doc);

// The real back office, through the service layer.
NavigationServices BackOfficeServices();
