#include "model/note_info_rules.h"

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

NoteStepping NoteSteppingFor(int listOrigin, int index, int listCount) {
    NoteStepping stepping;
    stepping.offered = listOrigin != 0;
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
