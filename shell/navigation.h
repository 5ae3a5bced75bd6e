#pragma once

#include "model/navigation_ids.h"
#include "model/send_result.h"
#include "model/work_kinds.h"
#include "service/messages/message_kind.h"

#include <QString>
#include <functional>

class BackOffice;
class CKorvoDoc;

// Back (the App menu's Back, Escape, Left) and forward (Enter, Right) become the
// current screen's own commands. Returns 0 when the key does nothing there; any
// other command passes unchanged.
int MapNavigationCommand(int screenId, int command);

// What the navigation needs besides the screen shown; tests replace it.
class NavigationServices {
public:
    virtual ~NavigationServices() = default;
    // Runs one of the navigation's own messages; the call's result (0 on success).
    virtual int call(MessageKind message, bool interactive, const QString& servicePath) = 0;
    // Fetches the route's notes of one list; the call's result (0 on success).
    virtual int packingNoteList(NoteListKind kind) = 0;
    // The worker leaves the current packing note (its request with action 3);
    virtual SendResult leavePackingNote() = 0;
    // The access password dialog; true when the password was given.
    virtual bool askAccessPassword() = 0;
};

// The navigation's services over the back office.
class BackOfficeNavigation final : public NavigationServices {
public:
    BackOfficeNavigation(CKorvoDoc& doc, BackOffice& office, std::function<bool()> askPassword)
        : doc_(doc), office_(office), askPassword_(std::move(askPassword)) {}

    int call(MessageKind message, bool interactive, const QString& servicePath) override;
    int packingNoteList(NoteListKind kind) override;
    SendResult leavePackingNote() override;
    bool askAccessPassword() override { return askPassword_ && askPassword_(); }

private:
    CKorvoDoc& doc_;
    BackOffice& office_;
    std::function<bool()> askPassword_;
};

// The command table: what each numbered command does and which screen follows.
// It knows the screens only through their operations, so it runs without a
// window.
class Navigator {
public:
    Navigator(CKorvoDoc& doc, NavigationServices& services) : doc_(doc), services_(&services) {}

    void setServices(NavigationServices& services) { services_ = &services; }

    // Runs a command already mapped by MapNavigationCommand, asking `screen` (the
    // screen shown, or null) for its operations. Returns the next ScreenId, or
    // kNoScreen to stay.
    int execute(int command, ScreenOperations* screen);

private:
    bool operationOk(ScreenOperation operation);
    bool callOk(MessageKind message, bool interactive, const QString& servicePath);
    // Fetches a list and shows it; kNoScreen when the fetch failed.
    int ShowNoteList(NoteListKind kind);
    int ReturnFromPackingNote();
    int AfterPackingNoteScanned();
    int BackFromDeliveredProducts();

    CKorvoDoc& doc_;
    NavigationServices* services_;
    ScreenOperations* screen_ = nullptr;
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
