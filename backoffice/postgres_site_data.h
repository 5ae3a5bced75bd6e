#pragma once

#include "backoffice/site_data.h"

#include <string>

namespace backoffice {

// Import, export and retention on a PostgreSQL database, on connections of
// their own (an import's long work takes none of the handhelds' pool).
//
// An import stages its rows in temporary tables, decides every row's fate
// in a transaction that writes only those, and applies it all in a second,
// single transaction: an error anywhere leaves the database as it was, and
// nothing is ever written ahead, so there is nothing to roll back after a
// crash. Handhelds read on their own snapshots meanwhile; the apply step
// only locks the rows it changes (notes not worked on, their routes'
// counters) and only for as long as that step runs. One import at a time
// per database (schema), across instances, by an advisory lock.
//
// A backup is pg_dump's job: backup() refuses with a message that says so.
class PostgresSiteData : public SiteData {
public:
    // `uri`: the libpq connection URI of the store's database (its schema
    // already brought up to date by the store).
    explicit PostgresSiteData(std::string uri) : uri_(std::move(uri)) {}

    std::unique_ptr<ImportSession> beginImport() override;
    std::vector<ExportNote> exportDay(const std::string& day, const std::string& plant) override;
    PruneSummary prune(const std::string& day, const std::string& time) override;
    void backup(const std::string& file) override;
    bool rollBackUnfinishedImport() override;

private:
    std::string uri_;
};

// What an operator is told when asking for a backup of a PostgreSQL database.
extern const char* const kPostgresBackupMessage;

} // namespace backoffice
