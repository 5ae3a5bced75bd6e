#include "model/entry_rules.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(EntryRules, PreselectedDepartment) {
    const std::vector<PlantDepartments> rows = {
        {4, "A", "Dairy"}, {7, "B", "Bakery"}, {4, "C", "Dairy 2"}};
    EXPECT_EQ(PreselectedDepartment(rows, 7), 1);
    EXPECT_EQ(PreselectedDepartment(rows, 4), 2) << "the last equal id wins";
    EXPECT_EQ(PreselectedDepartment(rows, 99), 0) << "no match: the first row";
    EXPECT_EQ(PreselectedDepartment({}, 4), -1);
}

TEST(EntryRules, DepartmentSave) {
    struct Case {
        const char* name;
        bool routeMode;
        std::size_t departments;
        bool wanted;
        bool confirmed;
        bool enabled;
    };
    const Case cases[] = {
        {"departments, no employee number", true, 3, false, false, true},
        {"no departments", true, 0, false, true, false},
        {"number wanted, not confirmed", true, 3, true, false, false},
        {"number wanted and confirmed", true, 3, true, true, true},
        {"packing-note mode needs no department", false, 0, true, true, true},
        {"packing-note mode still needs the number", false, 0, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DepartmentSaveEnabled(c.routeMode, c.departments, c.wanted, c.confirmed),
                  c.enabled);
    }
}

TEST(EntryRules, ScanHubFieldsBySettings) {
    using F = ScanHubFields;
    struct Case {
        bool acs;
        int spn;
        ScanHubFields fields;
    };
    const Case cases[] = {
        {true, 0, {true, true, F::Note}},       {true, 1, {true, true, F::Container}},
        {true, 2, {false, true, F::Container}}, {false, 0, {true, false, F::Note}},
        {false, 1, {true, false, F::Note}},     {false, 2, {false, false, F::None}},
        {true, 7, {true, true, F::Note}},       {false, -3, {true, false, F::Note}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ACS " << c.acs << " SPN " << c.spn);
        EXPECT_EQ(ScanHubFieldsFor(c.acs, c.spn), c.fields);
    }
}

TEST(EntryRules, ScanHubSave) {
    struct Case {
        const char* name;
        bool container;
        bool note;
        int aord;
        bool current;
        bool enabled;
    };
    const Case cases[] = {
        {"nothing found", false, false, 0, true, false},
        {"a container", true, false, 2, false, true},
        {"a note, route kept", false, true, 0, false, true},
        {"a note, route taken over", false, true, 1, true, true},
        {"a note, asked and counters current", false, true, 2, true, true},
        {"a note, asked and declined", false, true, 2, false, false},
        {"declined, but a container", true, true, 2, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ScanHubSaveEnabled(c.container, c.note, c.aord, c.current), c.enabled);
    }
}

TEST(EntryRules, ScanHubButtonsAndScanNext) {
    RouteControl route{1, 12, "North", 1, 0, 5};
    EXPECT_EQ(ScanHubButtonsFor(route), (ScanHubButtons{true, true, false, true}));
    TakeNextNewNote(route, "20");
    EXPECT_EQ(route.QN, 1) << "the note it gave before, already counted";
    TakeNextNewNote(route, "10");
    EXPECT_EQ(route.QN, 0);
    EXPECT_EQ(route.QP, 1);
    EXPECT_EQ(ScanHubButtonsFor(route), (ScanHubButtons{false, false, true, true}))
        << "the last new note taken: Scan next and the new list go";

    constexpr auto low = std::numeric_limits<std::int32_t>::min();
    constexpr auto high = std::numeric_limits<std::int32_t>::max();
    RouteControl huge{1, 1, "", low, high, high};
    TakeNextNewNote(huge, "10");
    EXPECT_EQ(huge.QN, 0) << "a count below zero means nothing";
    EXPECT_EQ(huge.QP, high);
    RouteControl stale{1, 1, "", 0, 2, 0};
    TakeNextNewNote(stale, "10");
    EXPECT_EQ(stale.QN, 0) << "a new note the counter did not know of leaves it at 0";
    EXPECT_EQ(stale.QP, 3);
    EXPECT_EQ(RouteCaption({1, 12, "Harbour <b>run</b>", 0, 0, 0}), "12 Harbour <b>run</b>");
}

TEST(EntryRules, NoteListLooks) {
    struct Case {
        const char* name;
        NoteListKind kind;
        int dnpp;
        const char* title;
        const char* status;
        bool save;
        bool print;
        int origin;
    };
    const Case cases[] = {
        {"new", NoteListKind::New, 4, "lblPnNewTitle", "lblPnNew", true, false, 1},
        {"in progress", NoteListKind::InProgress, 0, "lblPnInProgTitle", "lblPnInProg", true, false,
         2},
        {"done, reprint offered", NoteListKind::Done, 1, "lblDnForReprintTitle", "lblPnDone", false,
         true, 0},
        {"done, DNPP 2", NoteListKind::Done, 2, "lblDnForReprintTitle", "lblPnDone", false, false,
         0},
        {"done, DNPP 4", NoteListKind::Done, 4, "lblDnForReprintTitle", "lblPnDone", false, false,
         0},
        {"done, DNPP 3", NoteListKind::Done, 3, "lblDnForReprintTitle", "lblPnDone", false, true,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const NoteListLook look = NoteListLookFor(c.kind, c.dnpp);
        EXPECT_STREQ(look.titleKey, c.title);
        EXPECT_STREQ(look.statusKey, c.status);
        EXPECT_EQ(look.save, c.save);
        EXPECT_EQ(look.print, c.print);
        EXPECT_EQ(ListOriginFor(c.kind), static_cast<NoteOrigin>(c.origin));
    }
}

} // namespace
