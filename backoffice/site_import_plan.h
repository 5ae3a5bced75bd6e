#pragma once

#include "backoffice/site_data.h"

#include <string>
#include <vector>

namespace backoffice::import_plan {

// How one kind of row lands in its table. Every value is SQL over the staged
// row `s` (its CSV columns and what was resolved for it); the texts are ours,
// the data are only ever bound or copied from table to table. Both engines
// run the same expressions: live tables are named "main.table" (an engine
// without schemas drops the prefix), flags are compared as numbers.
struct Mapping {
    const char* column;
    const char* value;
};

struct KindPlan {
    const char* kind;
    const char* table;
    bool explicitIds;          // new rows get their ids before the switch (others refer to them)
    const char* ref = nullptr; // resolves s.ref_id
    const char* refColumn = nullptr;
    const char* refWhat = nullptr;
    const char* ref2 = nullptr; // resolves s.ref2_id
    const char* ref2Column = nullptr;
    const char* ref2What = nullptr;
    const char* lookup = nullptr; // the row's id in the table, by the ERP's key
    std::vector<Mapping> columns;
    const char* sameExtra = nullptr; // besides the columns, for "unchanged"
    // Worked on by a handheld, so left as it is: on the staged row, and on
    // the table's row `t` again when switching in.
    const char* guardStaged = nullptr;
    const char* guardTable = nullptr;
    const char* guardWhat = nullptr;
    // A table the values read from besides `s`, and how its row is found.
    const char* joinTable = nullptr;
    const char* joinOn = nullptr;
};

// "A handheld worked on the note `n`": open or held, or done.
extern const char* const kWorkedNote;

// In the order of ImportKinds(): what refers comes after what it refers to.
const std::vector<KindPlan>& Plans();
// The staging table of a kind.
std::string Stage(const char* kind);
// The import's files as its audit entry names them.
std::string FileList(const ImportRequest& request);
const ImportKind& KindNamed(const char* name);
// The kind's key columns of `a` equal to those of `b`.
std::string KeyEquality(const ImportKind& kind, const char* a, const char* b);
std::string Substitute(std::string text, const std::string& from, const std::string& to);
// The audit line of an import's counts: "; kind=+inserted ~updated =unchanged !skipped -removed"...
std::string CountsText(const ImportSummary& summary);
// Adds `n` rows of a staged kind's decided `action` ("insert", "same",
// "update", "skip") to its count.
void CountAction(KindCount& count, const std::string& action, long n);

} // namespace backoffice::import_plan
