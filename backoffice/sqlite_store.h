#pragma once

#include "backoffice/storage.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace backoffice {

namespace sqlite {
class Database;
}

// The store in one SQLite file, in WAL mode: readers never wait for the
// writer, a committed exchange survives a killed process, and writers take
// their turn on a mutex of the process instead of SQLite's sleeping busy
// handler. Connections are pooled, one per concurrent transaction.
class SqliteStore : public Store {
public:
    // Opens the file, creating it when missing, and brings its schema to the
    // current version. `fullSync` makes every commit wait for the disk (safe
    // against power loss, slower); otherwise a commit survives the process
    // but not the machine losing power.
    explicit SqliteStore(std::string path, bool fullSync = false);
    ~SqliteStore() override;

    std::unique_ptr<StoreTransaction> begin(bool write) override;

    const std::string& path() const { return path_; }
    // The schema version this program writes.
    static int currentVersion();
    int version();

private:
    friend class SqliteTransaction;
    std::unique_ptr<sqlite::Database> acquire();
    void release(std::unique_ptr<sqlite::Database> db);
    std::unique_ptr<sqlite::Database> open();
    void migrate();

    std::string path_;
    bool fullSync_;
    std::mutex writer_;
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<sqlite::Database>> pool_;
};

} // namespace backoffice
