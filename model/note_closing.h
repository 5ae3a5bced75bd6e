#pragma once

#include "model/records.h"
#include "model/send_result.h"

#include <QString>
#include <functional>
#include <vector>

class CKorvoDoc;

// Decisions of the delivered-products screen that end the work on a note:
// which buttons the plant offers, the one routine behind Print and Process, and
// the route's note counters.

// The buttons the plant's settings offer for a note. The plant's out-scan
// (OPI) and counting (DNC) switches show or hide those two; the print mode
// (DNPP) and the note's process flag (SP) choose between Process and Print,
// and print mode 4 offers neither.
struct DeliveredButtons {
    bool print = false;
    bool process = false;
    bool outScanPool = false;
    bool counting = false;

    // The commands of the shown buttons from the left: Process or Print, Back,
    // Hold, Out-scan pool, Counting.
    std::vector<int> order() const;
    // The commands whose Actions entries go, in the menu's order.
    std::vector<int> removed() const;
};
DeliveredButtons ArrangeDeliveredButtons(const Settings& settings, bool noteProcessFlag);

// What Print and Process need besides the work state; the screen supplies them.
struct NoteClosingSteps {
    // Takes the quantities from the list and sends them.
    std::function<SendResult()> saveQuantities;
    // A message box with the translations of a caption key and a text key.
    std::function<void(const char* captionKey, const char* textKey)> tell;
    // The process request.
    std::function<SendResult()> process;
    // The note's documents; `cancelled` when the worker cancelled the colli count.
    struct Printed {
        bool cancelled = false;
        SendResult result;
    };
    std::function<Printed()> print;
};

// The one routine behind Print and Process. Returns Result::Ok,
// Result::NotOk (nothing further happened after the failing step), or
// Result::NoReportServerFound (the note was processed, its documents were not
// printed).
QString PrintAndProcess(CKorvoDoc& doc, const NoteClosingSteps& steps);

// The one rule of the route's counters: one note leaves `from`, which never
// goes below 0, and arrives in `to`, which stops at the integer limit.
void MoveOneNote(std::int32_t& from, std::int32_t& to);
// The route's counters after the worker held the note: a new note (status 10)
// is now in progress, and the note's status says so.
void CountHeldNote(CKorvoDoc& doc);
// After the worker left the note without holding it: a note he opened as new
// (`openedAs` "10") that the back office now keeps in progress (work was
// recorded on it: a container, a count, a pool scan) moves there; one left
// untouched is new again and counts nothing.
void CountLeftNote(CKorvoDoc& doc, const QString& openedAs);
// After the note was processed: a new (10) or in-progress (20) note is done.
void CountProcessedNote(CKorvoDoc& doc);
