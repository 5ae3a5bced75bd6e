#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace backoffice {

// The site's data in and out, beside the handhelds' exchanges: the import
// from the ERP, the export of a day's work, retention and backups. Every
// storage engine implements it next to Store.

// The kinds of rows an import knows, each recognised by its header row.
enum class ColumnType { Text, Integer, Flag, Day };

struct ImportColumn {
    const char* name;
    ColumnType type;
    bool required;
    std::int64_t minimum = 0; // Integer only
    std::int64_t maximum = 0;
};

struct ImportKind {
    const char* name; // also the summary's name
    std::vector<ImportColumn> columns;
    std::size_t keyColumns; // the first columns form the ERP's key
};

// In the order they are applied (what refers comes after what it refers to).
const std::vector<ImportKind>& ImportKinds();

// "file:line: column: reason"
struct ImportProblem {
    std::string file;
    long line = 0;
    std::string column;
    std::string reason;
    std::string text() const;
};

struct KindCount {
    long inserted = 0;
    long updated = 0;
    long unchanged = 0;
    long skipped = 0;
    long removed = 0; // --replace-day
};

struct ImportRequest {
    std::vector<std::string> files; // for the audit trail
    bool checkOnly = false;
    // The day (delivery) whose routes, notes and lines the files hold
    // completely: what is missing is removed, unless a handheld worked on it.
    std::string replaceDay;
    std::string time; // ISO time of the import
};

struct ImportSummary {
    std::map<std::string, KindCount> kinds;
    std::vector<ImportProblem> problems; // nothing was written when not empty
    long moreProblems = 0;               // beyond those listed
    std::vector<ImportProblem> skipped;  // worked-on rows left as they are
    bool applied = false;
    long switchMilliseconds = 0; // how long the writers (handhelds) waited for the switch
};

// The rows of one import, staged apart from the live tables; finish() checks
// them as a whole and, when all is well, applies them in one transaction.
class ImportSession {
public:
    virtual ~ImportSession() = default;
    // Called once before the first row. The rows then come kind by kind in
    // the order of ImportKinds(), so a session may resolve and write rows as
    // they come (what they refer to came before them); one that does so
    // takes the import's lock here unless the request only checks.
    virtual void start(const ImportRequest& request) { (void)request; }
    // `values` in the order of kind.columns, already checked one by one.
    virtual void stage(const ImportKind& kind, const std::string& file, long line,
                       const std::vector<std::string>& values) = 0;
    // Adds the problems of keys and references to `summary`; when there are
    // none (and not checkOnly), applies everything.
    virtual void finish(const ImportRequest& request, ImportSummary& summary) = 0;
};

// One note of an exported day, with what the handhelds recorded.
struct ExportLine {
    int position = 0;
    std::string product;
    std::string description;
    int ordered = 0;
    int delivered = 0;
};
struct ExportContainer {
    std::string code;
    std::string scannedAt;
};
struct ExportPoolUnit {
    std::string code;
    std::string product;
    bool bundle = false;
    int quantity = 0;
    std::string scannedAt;
};
struct ExportNote {
    std::string plant;
    std::string number;
    int route = 0;
    std::string deliveryDay;
    int stop = 0;
    std::string customer;
    std::string status;                 // new, in progress, done
    std::string openedAt, openedBy;     // handheld code
    std::string openedEmployee;         // number, empty when none was given
    std::string finishedAt, finishedBy; // done
    std::string finishedEmployee;
    int colli = 0;
    std::string printedAt; // the last print
    std::vector<ExportLine> lines;
    std::vector<ExportContainer> containers;
    std::vector<ExportPoolUnit> pool;
};

struct PruneSummary {
    long routes = 0;
    long notes = 0;
    long lines = 0;
    long containers = 0;
    long poolUnits = 0;
    long printJobs = 0;
    long auditEntries = 0;
    long keptInProgress = 0; // notes older than the limit a handheld still works on
};

class SiteData {
public:
    virtual ~SiteData() = default;
    virtual std::unique_ptr<ImportSession> beginImport() = 0;
    // The notes of the routes delivered on `day`, of one plant or (empty) all.
    virtual std::vector<ExportNote> exportDay(const std::string& day, const std::string& plant) = 0;
    // Removes routes delivered before `day`, with their notes and all that
    // hangs on them, except routes with a note in progress. The audit trail
    // keeps one summary line of what went.
    virtual PruneSummary prune(const std::string& day, const std::string& time) = 0;
    // A consistent copy of the whole database into `file`, while others work.
    virtual void backup(const std::string& file) = 0;
    // Removes the rows an import wrote ahead of a switch it never made (the
    // process was killed), unless that import still runs; the next import
    // does the same. True when there were any.
    virtual bool rollBackUnfinishedImport() = 0;
};

} // namespace backoffice
