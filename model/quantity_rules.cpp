#include "model/quantity_rules.h"

#include "config/text_helpers.h"
#include "model/navigation_ids.h"

int TypedQuantity(const QString& text) {
    int value = 0;
    int digits = 0;
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' ')) {
        ++i;
    }
    // Nine digits cannot overflow; the editor never holds more than four.
    for (; i < text.size() && digits < 9; ++i, ++digits) {
        const char16_t c = text.at(i).unicode();
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool HasQuantityRange(const packingnoteline& line) {
    return line.MINQ >= 1 || line.MAXQ >= 1;
}

CellEditOutcome ApplyCellEdit(packingnoteline& line, int typed, int previous,
                              bool& rangeWarningShown,
                              const std::function<bool()>& keepOutOfRange) {
    CellEditOutcome outcome;
    if (!HasQuantityRange(line)) {
        if (typed != line.QD) {
            line.editedQuantity = typed;
        }
        outcome.shown = typed;
        return outcome;
    }
    if (line.MINQ <= typed && typed <= line.MAXQ) {
        line.editedQuantity = typed;
        outcome.shown = typed;
        return outcome;
    }
    // A second end of the same edit asks nothing and takes nothing.
    if (rangeWarningShown) {
        outcome.shown = previous;
        return outcome;
    }
    rangeWarningShown = true;
    outcome.asked = true;
    if (keepOutOfRange && keepOutOfRange()) {
        line.editedQuantity = typed;
        outcome.shown = typed;
    } else {
        outcome.shown = previous;
    }
    return outcome;
}

bool LeaveCounting(bool quantitiesChanged, const std::function<bool()>& leaveWithoutSaving) {
    return !quantitiesChanged || (leaveWithoutSaving && leaveWithoutSaving());
}

bool FinishCountSave(bool& quantitiesChanged, const SendResult& result) {
    if (!result.isOk()) {
        return false;
    }
    quantitiesChanged = false;
    return true;
}

bool QuantitiesUnsaved(const std::vector<packingnoteline>& lines, const std::vector<int>& cells) {
    const std::size_t rows = std::min(lines.size(), cells.size());
    for (std::size_t row = 0; row < rows; ++row) {
        if (cells[row] != lines[row].QD) {
            return true;
        }
    }
    return false;
}
