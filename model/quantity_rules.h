#pragma once

#include "model/records.h"
#include "model/send_result.h"

#include <QString>
#include <functional>
#include <vector>

// Decisions of the quantity lists (delivered products and counting): what a
// typed cell means, when a quantity outside the line's range needs the worker's
// word, and when the counting screen may save or leave.

// What the worker typed into a quantity cell: its leading digits (the editor
// takes four characters, so 0 to 9999). An empty cell, text without leading
// digits and a minus sign count as 0: a delivered or counted quantity is never
// negative.
int TypedQuantity(const QString& text);

// Whether a line limits its quantity: both limits below 1 mean no range.
bool HasQuantityRange(const packingnoteline& line);

struct CellEditOutcome {
    bool asked = false; // the out-of-range question was shown
    int shown = 0;      // what the cell shows after the edit
};

// Applies the quantity typed into a line's cell at the end of one edit.
// Without a range a changed value becomes the line's edited quantity; a value
// inside the range always does. Outside it the worker is asked once per edit
// (`rangeWarningShown` is cleared when an edit starts): Yes keeps the value, No
// puts back `previous`, what the cell showed before the edit. A limit pair with
// MINQ above MAXQ has no value inside, so every value asks.
CellEditOutcome ApplyCellEdit(packingnoteline& line, int typed, int previous,
                              bool& rangeWarningShown, const std::function<bool()>& keepOutOfRange);

// Whether a quantity list holds a change the back office does not have: a
// cell (`cells`, row by row) that differs from its line's QD, which is what
// the back office sent or was last saved. A change typed and typed back, or
// cancelled, is none.
bool QuantitiesUnsaved(const std::vector<packingnoteline>& lines, const std::vector<int>& cells);

// The counting screen's Save is offered while counts are unsaved.
inline bool CountSaveEnabled(bool quantitiesChanged) {
    return quantitiesChanged;
}
// Back on the counting screen: leaves at once when everything is saved, else
// only when the worker agrees to leave without saving.
bool LeaveCounting(bool quantitiesChanged, const std::function<bool()>& leaveWithoutSaving);
// After a save of the counts: a successful one clears `quantitiesChanged`;
// a failed one keeps it, so Save stays offered. True when the save succeeded.
bool FinishCountSave(bool& quantitiesChanged, const SendResult& result);
