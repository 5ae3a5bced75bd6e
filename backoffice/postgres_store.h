#pragma once

#include "backoffice/storage.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace backoffice {

namespace postgres {
struct Connection;
}

// The store in a PostgreSQL database, shared by any number of back-office
// instances. Write transactions run at READ COMMITTED and keep the store's
// concurrency contract with row locks: their reads of notes and pool units
// lock those rows (the next new note passes over locked ones), a container's
// code is locked while it is registered, and updates still check the state
// they were decided on. Serialisation failures, deadlocks and unique
// violations come out as StoreConflict. A round trip costs more than most
// statements, so a transaction makes few: BEGIN goes with the first
// statement, and so do the reads the exchange names ahead (willRead), each
// a statement of its own after it (after the lock it takes, with a snapshot
// of its own); a conditional change (checked by the database) goes with the
// next statement or the COMMIT, whose call then reports its conflict. The
// statements of a round trip go in libpq's pipeline mode, prepared and with
// their values bound.
// begin(false) runs each statement on its own, without BEGIN and COMMIT;
// session(false) sees one snapshot.
class PostgresStore : public Store {
public:
    // Connects to `uri` (a libpq connection URI without a password), brings
    // the schema to the current version, and keeps at most `connections`
    // connections open.
    PostgresStore(std::string uri, int connections);
    ~PostgresStore() override;

    std::unique_ptr<StoreTransaction> begin(bool write) override;

    static int currentVersion();
    int version();
    // The tables and their columns ("table.column", sorted): the schema both
    // engines must agree on.
    std::vector<std::string> columns();

    // A row of statements of their own (the dashboard's): values as text.
    struct TextRow {
        std::vector<std::optional<std::string>> values;
        std::int64_t integer(int column) const;
        std::string text(int column) const;
        std::optional<std::int64_t> optionalInteger(int column) const;
    };
    class Session {
    public:
        virtual ~Session() = default;
        // A prepared statement with $1... bound to `parameters` (nullopt: NULL).
        virtual std::vector<TextRow>
        rows(const std::string& sql, const std::vector<std::optional<std::string>>& parameters) = 0;
    };
    // Runs `work` in one transaction (read-only, one snapshot, unless
    // `write`) and commits it.
    void session(bool write, const std::function<void(Session&)>& work);

    // Statements run so far, transactions ended, and the most statements
    // one transaction ran: what an exchange costs in round trips.
    struct StatementCount {
        std::int64_t statements = 0;
        std::int64_t roundTrips = 0;
        std::int64_t transactions = 0;
        std::int64_t mostInOne = 0;
    };
    StatementCount statementCount();
    void countStatements(std::int64_t statements, std::int64_t roundTrips);

    // The plant of a device this instance has seen (a device never changes
    // plant): the reads an exchange names ahead that depend on the plant go
    // with its first statement only once the plant is known.
    std::optional<Id> plantOfDevice(Id deviceId);
    void rememberPlant(Id deviceId, Id plantId);

    // A pooled connection; waits while all are in use, in turn: the longest
    // waiting exchange is served first, so no exchange waits behind
    // newcomers.
    std::unique_ptr<postgres::Connection> acquire();
    void release(std::unique_ptr<postgres::Connection> connection);

private:
    void migrate();

    std::string uri_;
    int limit_;
    // One who waits for a connection: handed an idle one, or leave to open
    // one, by the release that frees it.
    struct Waiter {
        std::condition_variable handed;
        bool served = false;
        std::unique_ptr<postgres::Connection> connection; // empty: open one
    };
    std::mutex poolMutex_;
    std::deque<Waiter*> waiting_;
    std::vector<std::unique_ptr<postgres::Connection>> idle_;
    int open_ = 0;
    // Apart from the pool's lock: every exchange counts, and the exchanges
    // waiting for a connection should not also wait behind the counting.
    std::mutex countMutex_;
    StatementCount counted_; // under countMutex_
    std::mutex plantsMutex_;
    std::unordered_map<Id, Id> devicePlants_;
};

// The text of a problem with a PostgreSQL connection URI, empty when it can
// be used: only postgresql:// or postgres:// URIs, and never a password in
// it (it would show in the process list and the shell's history; it belongs
// in ~/.pgpass or the file PGPASSFILE names).
std::string PostgresUriProblem(const std::string& uri);
bool IsPostgresUri(const std::string& database);

// Array literals for one parameter (`$1::BIGINT[]`, `$1::TEXT[]`), so that a
// statement takes any number of rows at once.
std::string PostgresArray(const std::vector<std::optional<std::int64_t>>& values);
std::string PostgresArray(const std::vector<std::string>& values);

} // namespace backoffice
