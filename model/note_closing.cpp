#include "model/note_closing.h"

#include "model/korvo_doc.h"
#include "model/navigation_ids.h"

#include <algorithm>
#include <limits>

namespace {

bool processMode(const Settings& settings, bool noteProcessFlag) {
    return DoneNotePrintingOf(settings.DNPP) == DoneNotePrinting::ProcessOnly || noteProcessFlag;
}

} // namespace

// A count never goes below zero, whatever the back office counted before, and
// one the back office sent at the top of the range stays there.
void MoveOneNote(std::int32_t& from, std::int32_t& to) {
    from = from > 0 ? from - 1 : 0;
    if (to < std::numeric_limits<std::int32_t>::max()) {
        ++to;
    }
}

std::vector<int> DeliveredButtons::order() const {
    std::vector<int> commands;
    if (process) {
        commands.push_back(Cmd::DeliveredProcess);
    } else if (print) {
        commands.push_back(Cmd::DeliveredPrint);
    }
    commands.push_back(Cmd::DeliveredBack);
    commands.push_back(Cmd::DeliveredHold);
    if (outScanPool) {
        commands.push_back(Cmd::DeliveredOutScanPool);
    }
    if (counting) {
        commands.push_back(Cmd::DeliveredCounting);
    }
    return commands;
}

std::vector<int> DeliveredButtons::removed() const {
    std::vector<int> commands;
    if (!print) {
        commands.push_back(Cmd::DeliveredPrint);
    }
    if (!process) {
        commands.push_back(Cmd::DeliveredProcess);
    }
    if (!outScanPool) {
        commands.push_back(Cmd::DeliveredOutScanPool);
    }
    if (!counting) {
        commands.push_back(Cmd::DeliveredCounting);
    }
    return commands;
}

DeliveredButtons ArrangeDeliveredButtons(const Settings& settings, bool noteProcessFlag) {
    DeliveredButtons b;
    b.outScanPool = settings.OPI;
    b.counting = settings.DNC != 0;
    if (DoneNotePrintingOf(settings.DNPP) != DoneNotePrinting::PlantPrints) {
        const bool process = processMode(settings, noteProcessFlag);
        b.process = process;
        b.print = !process;
    }
    return b;
}

QString PrintAndProcess(CKorvoDoc& doc, const NoteClosingSteps& steps) {
    if (!doc.currentPackingNote || !doc.currentSettings) {
        return Result::NotOk;
    }
    const PackingNote& note = *doc.currentPackingNote;
    const DoneNotePrinting printing = DoneNotePrintingOf(doc.currentSettings->DNPP);
    if (printing == DoneNotePrinting::PrintOnce && note.SP) {
        steps.tell("lblZIRPA", "msgDelNotesNotPrinted");
        return Result::NotOk;
    }
    if (!steps.saveQuantities().isOk()) {
        return Result::NotOk;
    }
    // A note of process mode is processed whatever the print mode: its screen
    // offers Process, and an Ok must mean the back office took it.
    const bool processes = printing == DoneNotePrinting::ProcessThenPrint ||
                           printing == DoneNotePrinting::ProcessOnly || note.SP;
    if (processes) {
        const std::vector<packingnoteline>* lines =
            doc.packingNoteLines ? &doc.packingNoteLines->lines : nullptr;
        if (lines != nullptr && !lines->empty() &&
            std::all_of(lines->begin(), lines->end(),
                        [](const packingnoteline& line) { return line.QD == 0; })) {
            steps.tell("lblImportDate", "PASW003");
        }
        if (!steps.process().isOk()) {
            return Result::NotOk;
        }
        CountProcessedNote(doc);
    }
    if (printing == DoneNotePrinting::ProcessOnly || note.SP) {
        return Result::Ok;
    }
    const NoteClosingSteps::Printed printed = steps.print();
    if (printed.cancelled || printed.result.isOk()) {
        return Result::Ok;
    }
    return processes ? Result::NoReportServerFound : Result::NotOk;
}

void CountHeldNote(CKorvoDoc& doc) {
    if (!doc.currentRoute || !doc.currentPackingNote) {
        return;
    }
    if (NoteStatusOf(doc.currentPackingNote->SC) == NoteStatus::New) {
        MoveOneNote(doc.currentRoute->QN, doc.currentRoute->QP);
        // From now on the note counts as in progress, here as at the back
        // office: a second save or the closing counts from there, not again
        // from new.
        doc.currentPackingNote->SC = NoteStatusCode(NoteStatus::InProgress);
    }
}

void CountLeftNote(CKorvoDoc& doc, const QString& openedAs) {
    if (!doc.currentRoute || !doc.currentPackingNote) {
        return;
    }
    if (NoteStatusOf(openedAs) == NoteStatus::New &&
        NoteStatusOf(doc.currentPackingNote->SC) == NoteStatus::InProgress) {
        MoveOneNote(doc.currentRoute->QN, doc.currentRoute->QP);
    }
}

void CountProcessedNote(CKorvoDoc& doc) {
    if (!doc.currentRoute || !doc.currentPackingNote) {
        return;
    }
    switch (NoteStatusOf(doc.currentPackingNote->SC)) {
    case NoteStatus::New:
        MoveOneNote(doc.currentRoute->QN, doc.currentRoute->QC);
        break;
    case NoteStatus::InProgress:
        MoveOneNote(doc.currentRoute->QP, doc.currentRoute->QC);
        break;
    case NoteStatus::Other:
        break;
    }
}
