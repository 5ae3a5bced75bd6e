#pragma once

#include "backoffice/storage.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace bo = backoffice;

// The database of one test on one engine: an SQLite file in the test's
// folder, or a schema of its own on the tests' PostgreSQL server (the URI in
// KORVANE_TEST_POSTGRES, or in the file KORVANE_TEST_POSTGRES_FILE names, by
// default the one the test run's throw-away server writes).
class TestDatabase {
public:
    TestDatabase(std::string engine, const std::filesystem::path& folder);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;
    // False when the engine has no server to run on here.
    bool available() const { return !location_.empty(); }
    const std::string& engine() const { return engine_; }
    // What --db names it by: the file or the URI.
    const std::string& location() const { return location_; }
    // A store on it; every call another (another instance of the office).
    std::unique_ptr<bo::Store> open() const;
    // SELECT COUNT(*) FROM `from` (a table name, perhaps with a condition).
    std::int64_t count(const std::string& from) const;
    // The rows of a statement of the test's own, every value as text (NULL
    // as ""); execute() runs statements that return nothing.
    std::vector<std::vector<std::string>> rows(const std::string& sql) const;
    void execute(const std::string& sql) const;

private:
    std::string engine_;
    std::string location_; // the file or the URI
    std::string serverUri_;
    std::string schema_;
};

// The engines every store and handler test runs on.
inline const char* const kEngines[] = {"sqlite", "postgresql"};
