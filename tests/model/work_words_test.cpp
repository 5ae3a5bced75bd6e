// The words the device reads from the back office and from its settings file:
// what each reads as, and that the ones it writes back are the same words.
#include "model/korvo_doc.h"
#include "model/work_kinds.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkWords, NoteStatusAndOperatingMode) {
    const struct {
        const char* word;
        NoteStatus status;
        OperatingMode mode;
    } rows[] = {
        {"10", NoteStatus::New, OperatingMode::PackingNote},
        {"20", NoteStatus::InProgress, OperatingMode::PackingNote},
        {"30", NoteStatus::Other, OperatingMode::PackingNote},
        {" 10", NoteStatus::Other, OperatingMode::PackingNote},
        {"", NoteStatus::Other, OperatingMode::PackingNote},
        {"ROUTEMODE", NoteStatus::Other, OperatingMode::Route},
        {"routemode", NoteStatus::Other, OperatingMode::PackingNote},
        {"PACKINGNOTEMODE", NoteStatus::Other, OperatingMode::PackingNote},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.word);
        EXPECT_EQ(NoteStatusOf(QString::fromLatin1(row.word)), row.status);
        CKorvoDoc doc;
        doc.operatingMode = QString::fromLatin1(row.word);
        EXPECT_EQ(doc.mode(), row.mode);
        EXPECT_EQ(doc.IsRouteMode(), row.mode == OperatingMode::Route);
    }
    for (NoteStatus status : {NoteStatus::New, NoteStatus::InProgress}) {
        EXPECT_EQ(NoteStatusOf(NoteStatusCode(status)), status);
    }
    for (OperatingMode mode : {OperatingMode::Route, OperatingMode::PackingNote}) {
        CKorvoDoc doc;
        doc.setMode(mode);
        EXPECT_EQ(doc.mode(), mode);
    }
}

} // namespace
