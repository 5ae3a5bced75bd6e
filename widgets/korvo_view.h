#pragma once

#include "widgets/screen_frame.h"

#include <QWidget>

class CKorvoDoc;

// What the navigation asks of the current screen before it moves on. Each
// returns "OK" on success, or another text (the one the screen showed) to stay.
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
    LeaveOutScan,     // out-scan pool: Back ("OK" to leave)
    SaveCount,        // counting: Save
    LeaveCountCheck,  // counting: Back, the leave check ("OK" to leave)
    CountLineCall,    // counting: Back, the packing-note line request
    ScannedNoteLines, // packing-note entry: the lines after a scan
};

// Base of every screen: a full-screen form that the main frame creates anew on
// each visit and destroys when the next screen is shown.
class KorvoView : public QWidget {
    Q_OBJECT
public:
    KorvoView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, QWidget* parent = nullptr);

    int screenId() const { return screenId_; }

    // Runs each time the screen becomes the active screen, the first time included.
    virtual void activate() {}
    // The on-screen keyboard changed state; the default fits the screen to the
    // visible area.
    virtual void settingChanged() { frame_.HandleSettingChange(this); }
    // Runs an operation the navigation needs; screens that have none succeed.
    virtual QString runOperation(ScreenOperation operation);

protected:
    QString T(const QString& key) const { return frame_.Translate(key); }
    void switchScreen(int command) { frame_.SwitchScreen(command); }

    ScreenFrame& frame_;
    CKorvoDoc& doc_;

private:
    int screenId_;
};
