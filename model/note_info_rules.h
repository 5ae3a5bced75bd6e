#pragma once

#include "model/records.h"

#include <QString>
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
NoteStepping NoteSteppingFor(int listOrigin, int index, int listCount);

// "2 Dairy /  7 Dock": department number and description, collection point
// number and description.
QString DepartmentLine(const PackingNoteDetails& details);
// Each instruction followed by an empty line.
QString InstructionsText(const PackingNoteDetails& details);
