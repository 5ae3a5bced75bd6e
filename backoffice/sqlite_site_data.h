#pragma once

#include "backoffice/site_data.h"

namespace backoffice {

class SqliteStore;

// Whether a process other than this one has the SQLite database open (yes
// when that cannot be told): the import's steps then leave SQLite's lock
// free between them for that process's writers.
bool OtherProcessesOpen(const std::string& database);

// Import, export, retention and backup on the SQLite store. An import reads
// its files kind by kind on a connection of its own (nothing of the live
// database is locked while files are read). The notes and lines are resolved
// in memory as they come, and the bulk of them (new notes of new routes, the
// lines of new notes) is written ahead in short transactions where no
// handheld reaches them; the rest is staged in temporary tables, decided on
// a read snapshot and applied in one short transaction in the writers' turn
// that makes it all visible.
class SqliteSiteData : public SiteData {
public:
    explicit SqliteSiteData(SqliteStore& store) : store_(store) {}

    std::unique_ptr<ImportSession> beginImport() override;
    std::vector<ExportNote> exportDay(const std::string& day, const std::string& plant) override;
    PruneSummary prune(const std::string& day, const std::string& time) override;
    void backup(const std::string& file) override;
    bool rollBackUnfinishedImport() override;

private:
    SqliteStore& store_;
};

} // namespace backoffice
