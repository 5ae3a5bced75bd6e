#pragma once

#include "model/records.h"
#include "model/send_result.h"
#include "model/work_kinds.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Decisions of the packing-note information screen.

// The containers a note is packed into: its own container list when it has
// one, else the containers scanned for it so far.
struct NoteContainers {
    int count = 0;
    QString listText; // each container id followed by a line break
};
NoteContainers ContainersOf(const std::optional<PackingNote>& note,
                            const std::vector<ContainerScanRecord>& scanned);
// "1 container", "3 containers": the caption key after the number.
const char* ContainerCaptionKey(int count);

// Previous and Next, for a note opened from a list: offered only then, each
// enabled while the list has a note on that side of the current one.
struct NoteStepping {
    bool offered = false;
    bool previous = false;
    bool next = false;
};
NoteStepping NoteSteppingFor(NoteOrigin origin, int index, int listCount);

class CKorvoDoc;

// Previous or Next: the note `step` places away in the list the current note
// was opened from becomes the note shown, with its place in the list and the id
// Print sends, and `reload` fetches it (Result::Ok or the text shown). When the
// fetch fails, the worker stays on the note he had, all three as they were.
// The containers scanned belong to the note left and go with it. True when the
// step was taken; a step off either end of the list asks nothing.
bool StepToListedNote(CKorvoDoc& doc, int step, const std::function<SendResult()>& reload);

// "2 Dairy /  7 Dock": department number and description, collection point
// number and description.
QString DepartmentLine(const PackingNoteDetails& details);
// Each instruction followed by an empty line.
QString InstructionsText(const PackingNoteDetails& details);
