#include "model/note_info_rules.h"

#include "model/korvo_doc.h"

NoteContainers ContainersOf(const std::optional<PackingNote>& note,
                            const std::vector<ContainerScanRecord>& scanned) {
    NoteContainers containers;
    auto add = [&](const QString& id) {
        ++containers.count;
        containers.listText += id + QLatin1Char('\n');
    };
    if (note && note->details && !note->details->C.empty()) {
        for (const PackingNoteContainer& c : note->details->C) {
            add(c.CPID);
        }
        return containers;
    }
    for (const ContainerScanRecord& record : scanned) {
        add(record.CPID);
    }
    return containers;
}

const char* ContainerCaptionKey(int count) {
    return count < 2 ? "lblContainer" : "lblContainers";
}

NoteStepping NoteSteppingFor(NoteOrigin origin, int index, int listCount) {
    NoteStepping stepping;
    stepping.offered = origin != NoteOrigin::Scanned;
    if (!stepping.offered || index < 0 || index >= listCount) {
        return stepping;
    }
    stepping.previous = index > 0;
    stepping.next = index < listCount - 1;
    return stepping;
}

QString DepartmentLine(const PackingNoteDetails& details) {
    return QString::number(details.DN) + QLatin1Char(' ') + details.DD + QStringLiteral(" /  ") +
           QString::number(details.CPN) + QLatin1Char(' ') + details.CPD;
}

QString InstructionsText(const PackingNoteDetails& details) {
    QString text;
    for (const PackingNoteInstruction& instruction : details.UI) {
        text += instruction.UI + QStringLiteral("\n\n");
    }
    return text;
}

bool StepToListedNote(CKorvoDoc& doc, int step, const std::function<SendResult()>& reload) {
    const int target = doc.packingNoteIndex + step;
    if (doc.packingNoteIndex < 0 || target < 0 ||
        target >= static_cast<int>(doc.packingNoteList.size())) {
        return false;
    }
    const std::optional<PackingNote> shown = doc.currentPackingNote;
    const int shownIndex = doc.packingNoteIndex;
    const std::int32_t shownId = doc.packingNoteId;
    const PackingNote& listed = doc.packingNoteList[static_cast<std::size_t>(target)];
    doc.currentPackingNote = listed;
    doc.packingNoteIndex = target;
    doc.packingNoteId = listed.PNID;
    if (!reload().isOk()) {
        doc.currentPackingNote = shown;
        doc.packingNoteIndex = shownIndex;
        doc.packingNoteId = shownId;
        return false;
    }
    doc.containerScanResult.clear();
    return true;
}
