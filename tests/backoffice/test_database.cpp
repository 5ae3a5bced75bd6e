#include "test_database.h"

#include "backoffice/sqlite.h"
#include "backoffice/sqlite_store.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#ifdef KORVANE_HAVE_POSTGRES
#include "backoffice/postgres_store.h"

#include <pqxx/pqxx>
#endif

namespace {

std::string testPostgresUri() {
    if (const char* uri = std::getenv("KORVANE_TEST_POSTGRES"); uri && *uri) {
        return uri;
    }
    const char* file = std::getenv("KORVANE_TEST_POSTGRES_FILE");
    std::string uri;
#ifdef KORVANE_TEST_POSTGRES_URI_FILE
    if (!file || !*file) {
        file = KORVANE_TEST_POSTGRES_URI_FILE;
    }
#endif
    if (file && *file) {
        std::ifstream(file) >> uri;
    }
    return uri;
}

} // namespace

TestDatabase::TestDatabase(std::string engine, const std::filesystem::path& folder)
    : engine_(std::move(engine)) {
    if (engine_ == "sqlite") {
        location_ = (folder / "office.db").string();
        return;
    }
#ifdef KORVANE_HAVE_POSTGRES
    serverUri_ = testPostgresUri();
    if (serverUri_.empty()) {
        return;
    }
    static std::atomic<int> made{0};
    schema_ = "test_" + std::to_string(getpid()) + "_" + std::to_string(made++);
    pqxx::connection connection(serverUri_);
    pqxx::work tx(connection);
    tx.exec("CREATE SCHEMA " + schema_);
    tx.commit();
    location_ = serverUri_ + (serverUri_.find('?') == std::string::npos ? "?" : "&") +
                "options=-c%20search_path%3D" + schema_;
#endif
}

TestDatabase::~TestDatabase() {
#ifdef KORVANE_HAVE_POSTGRES
    if (!schema_.empty()) {
        try {
            pqxx::connection connection(serverUri_);
            pqxx::work tx(connection);
            tx.exec("DROP SCHEMA " + schema_ + " CASCADE");
            tx.commit();
        } catch (const std::exception&) {
            // the server goes with the run anyway
        }
    }
#endif
}

std::unique_ptr<bo::Store> TestDatabase::open() const {
#ifdef KORVANE_HAVE_POSTGRES
    if (engine_ == "postgresql") {
        return std::make_unique<bo::PostgresStore>(location_, 8);
    }
#endif
    return std::make_unique<bo::SqliteStore>(location_);
}

std::int64_t TestDatabase::count(const std::string& from) const {
    // Only the fixed table names of the tests reach the text.
#ifdef KORVANE_HAVE_POSTGRES
    if (engine_ == "postgresql") {
        pqxx::connection connection(location_);
        pqxx::work tx(connection);
        return tx.exec1("SELECT COUNT(*) FROM " + from)[0].as<std::int64_t>();
    }
#endif
    bo::sqlite::Database db(location_);
    auto q = db.query("SELECT COUNT(*) FROM " + from);
    return q.next() ? q.integer(0) : -1;
}

std::vector<std::vector<std::string>> TestDatabase::rows(const std::string& sql) const {
    std::vector<std::vector<std::string>> out;
#ifdef KORVANE_HAVE_POSTGRES
    if (engine_ == "postgresql") {
        pqxx::connection connection(location_);
        pqxx::work tx(connection);
        for (const pqxx::row& row : tx.exec(sql)) {
            out.emplace_back();
            for (const pqxx::field& f : row) {
                out.back().push_back(f.is_null() ? std::string() : f.as<std::string>());
            }
        }
        tx.commit();
        return out;
    }
#endif
    bo::sqlite::Database db(location_);
    auto q = db.query(sql);
    while (q.next()) {
        out.emplace_back();
        for (int c = 0; c < q.columns(); ++c) {
            out.back().push_back(q.text(c));
        }
    }
    return out;
}

void TestDatabase::execute(const std::string& sql) const {
#ifdef KORVANE_HAVE_POSTGRES
    if (engine_ == "postgresql") {
        pqxx::connection connection(location_);
        pqxx::work tx(connection);
        tx.exec(sql);
        tx.commit();
        return;
    }
#endif
    bo::sqlite::Database(location_).execute(sql);
}
