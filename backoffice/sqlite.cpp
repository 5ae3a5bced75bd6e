#include "backoffice/sqlite.h"

#include <sqlite3.h>

namespace backoffice::sqlite {

Query::Query(Database& db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}

Query::~Query() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

Query& Query::bind(int index, std::int64_t value) {
    if (const int rc = sqlite3_bind_int64(statement_, index, value); rc != SQLITE_OK) {
        db_.fail(rc);
    }
    return *this;
}

Query& Query::bind(int index, std::string_view value) {
    if (const int rc = sqlite3_bind_text64(statement_, index, value.data(), value.size(),
                                           SQLITE_TRANSIENT, SQLITE_UTF8);
        rc != SQLITE_OK) {
        db_.fail(rc);
    }
    return *this;
}

Query& Query::bindNull(int index) {
    if (const int rc = sqlite3_bind_null(statement_, index); rc != SQLITE_OK) {
        db_.fail(rc);
    }
    return *this;
}

Query& Query::bindOptional(int index, std::optional<std::int64_t> value) {
    return value ? bind(index, *value) : bindNull(index);
}

bool Query::next() {
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    db_.fail(rc);
}

void Query::run() {
    while (next()) {
    }
}

std::int64_t Query::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string Query::text(int column) const {
    const unsigned char* value = sqlite3_column_text(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return value ? std::string(reinterpret_cast<const char*>(value), static_cast<size_t>(size))
                 : std::string();
}

bool Query::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::optional<std::int64_t> Query::optionalInteger(int column) const {
    if (isNull(column)) {
        return std::nullopt;
    }
    return integer(column);
}

int Query::columns() const {
    return sqlite3_column_count(statement_);
}

Database::Database(const std::string& path, bool readOnly) {
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(rc, "cannot open " + path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    // Only the rare reader that meets a checkpoint waits; writers are already
    // queued in the process.
    sqlite3_busy_timeout(db_, 5000);
}

Database::~Database() {
    for (auto& [sql, statement] : statements_) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
}

void Database::execute(std::string_view sql) {
    const std::string text(sql);
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string what = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw Error(rc, what);
    }
}

Query Database::query(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        sqlite3_stmt* statement = nullptr;
        const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                          SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        if (rc != SQLITE_OK) {
            fail(rc);
        }
        found = statements_.emplace(sql, statement).first;
    }
    return Query(*this, found->second);
}

std::int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const {
    return sqlite3_changes(db_);
}

void Database::fail(int code) const {
    throw Error(code, std::string(sqlite3_errstr(code)) + ": " + sqlite3_errmsg(db_));
}

Transaction::Transaction(Database& db, bool immediate) : db_(db) {
    db_.execute(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    if (open_) {
        // Nothing to do if SQLite already rolled back after an error.
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::commit() {
    db_.execute("COMMIT");
    open_ = false;
}

} // namespace backoffice::sqlite
