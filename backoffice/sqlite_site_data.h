#pragma once

#include "backoffice/site_data.h"

namespace backoffice {

class SqliteStore;

// Import, export, retention and backup on the SQLite store. An import stages
// its rows in temporary tables of a connection of its own (nothing of the
// live database is locked while files are read), resolves keys and decides
// every row's fate on a read snapshot, writes the bulk of new notes and lines
// ahead in short transactions where no handheld reaches them, and only then
// takes the writers' turn for one short transaction that makes it all
// visible.
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
