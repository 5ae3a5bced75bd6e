#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace backoffice::sqlite {

// A failed SQLite call: the result code and SQLite's own text.
class Error : public std::runtime_error {
public:
    Error(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

class Database;

// One run of a prepared statement. Values are always bound, never pasted
// into the text. The statement is reset and its bindings cleared when the
// query ends, so the cached statement can be run again.
class Query {
public:
    Query(Database& db, sqlite3_stmt* statement);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Parameters are numbered from 1, in the order of the "?" in the text.
    Query& bind(int index, std::int64_t value);
    Query& bind(int index, std::string_view value);
    Query& bind(int index, const char* value) { return bind(index, std::string_view(value)); }
    Query& bind(int index, const std::string& value) {
        return bind(index, std::string_view(value));
    }
    Query& bindNull(int index);
    Query& bindOptional(int index, std::optional<std::int64_t> value);

    // Steps to the next row; false when there is none.
    bool next();
    // Runs a statement without rows.
    void run();

    std::int64_t integer(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;
    std::optional<std::int64_t> optionalInteger(int column) const;
    int columns() const;

private:
    Database& db_;
    sqlite3_stmt* statement_;
};

// One connection, with its prepared statements cached by text.
class Database {
public:
    // Opens (or creates) the file; ":memory:" works too.
    explicit Database(const std::string& path, bool readOnly = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one or more statements without parameters (schema, pragmas).
    void execute(std::string_view sql);
    // The cached statement for this text, ready to bind.
    Query query(const std::string& sql);
    std::int64_t lastInsertId() const;
    int changes() const;
    sqlite3* handle() const { return db_; }
    [[noreturn]] void fail(int code) const;

private:
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// A transaction that rolls back unless committed.
class Transaction {
public:
    // Immediate: takes the write lock at the start, so a writer never has to
    // upgrade a read lock (the usual cause of a busy deadlock).
    Transaction(Database& db, bool immediate);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& db_;
    bool open_ = true;
};

} // namespace backoffice::sqlite
