// Import, export, backup and retention, on each engine.
#include "backoffice/csv_reader.h"
#include "backoffice/site_export.h"
#include "backoffice/site_import.h"
#include "backoffice/sqlite.h"
#include "backoffice/sqlite_site_data.h"
#ifdef KORVANE_HAVE_POSTGRES
#include "backoffice/postgres_site_data.h"

#include <pqxx/pqxx>
#endif
#include "backoffice_fixture.h"

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const std::filesystem::path kExamples = BACKOFFICE_EXAMPLES;

std::vector<std::string> ExampleFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
        files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The site data of a test's store, on its engine.
std::unique_ptr<bo::SiteData> SiteDataOf(bo::Store& store, const TestDatabase& database) {
#ifdef KORVANE_HAVE_POSTGRES
    if (database.engine() == "postgresql") {
        return std::make_unique<bo::PostgresSiteData>(database.location());
    }
#endif
    return std::make_unique<bo::SqliteSiteData>(static_cast<bo::SqliteStore&>(store));
}

// The tests' statements are written for SQLite; on PostgreSQL a list of
// values becomes string_agg, in the values' order.
std::string ForEngine(const std::string& engine, const std::string& sql) {
    if (engine != "postgresql") {
        return sql;
    }
    const std::string name = "group_concat(";
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = sql.find(name); at != std::string::npos; at = sql.find(name, from)) {
        const std::size_t close = sql.find(')', at);
        if (close == std::string::npos) {
            break;
        }
        const std::string inside = sql.substr(at + name.size(), close - at - name.size());
        const std::size_t comma = inside.find(", '");
        const std::string value = inside.substr(0, comma);
        const std::string separator = comma == std::string::npos ? "','" : inside.substr(comma + 2);
        out += sql.substr(from, at - from) + "string_agg((" + value + ")::TEXT, " + separator +
               " ORDER BY " + value + ")";
        from = close + 1;
    }
    return out + sql.substr(from);
}

// Every case on each engine; the PostgreSQL half is skipped without a server.
class SiteData : public ::testing::TestWithParam<const char*> {
protected:
    SiteData() : database_(GetParam(), folder_.path()) {}
    void SetUp() override {
        if (!database_.available()) {
            GTEST_SKIP() << "no PostgreSQL server for the tests";
        }
        open();
    }
    void open() {
        store_ = database_.open();
        data_ = SiteDataOf(*store_, database_);
    }
    bool postgres() const { return database_.engine() == "postgresql"; }

    bo::ImportSummary import(std::vector<std::string> files, bool check = false,
                             const std::string& replaceDay = "") {
        bo::ImportRequest request;
        request.files = std::move(files);
        request.checkOnly = check;
        request.replaceDay = replaceDay;
        request.time = "2026-03-04T06:00:00";
        return bo::ImportFiles(*data_, request);
    }
    std::string write(const std::string& name, const std::string& text) {
        const std::string file = (folder_.path() / name).string();
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    std::string scalar(const std::string& sql) {
        const auto rows = database_.rows(ForEngine(database_.engine(), sql));
        return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
    }
    void execute(const std::string& sql) { database_.execute(sql); }
    // Every table but the audit trail, row by row, to compare states.
    std::string dump() {
        std::string out;
        const auto tables = database_.rows(
            postgres() ? "SELECT table_name FROM information_schema.tables WHERE table_schema = "
                         "current_schema() AND table_type = 'BASE TABLE' AND table_name NOT IN "
                         "('audit', 'schema_version') ORDER BY table_name"
                       : "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT IN "
                         "('audit', 'schema_version') ORDER BY name");
        for (const auto& table : tables) {
            out += "[" + table[0] + "]\n";
            for (const auto& row : database_.rows("SELECT * FROM " + table[0] + " ORDER BY 1")) {
                for (const std::string& value : row) {
                    out += value + "|";
                }
                out += "\n";
            }
        }
        return out;
    }

    TemporaryFolder folder_;
    TestDatabase database_;
    std::unique_ptr<bo::Store> store_;
    std::unique_ptr<bo::SiteData> data_;
};

INSTANTIATE_TEST_SUITE_P(Engines, SiteData, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(SiteData, EveryExampleFileGoesIn) {
    const bo::ImportSummary summary = import(ExampleFiles());
    ASSERT_TRUE(summary.problems.empty()) << summary.problems.front().text();
    EXPECT_TRUE(summary.applied);
    const struct {
        const char* what;
        const char* sql;
        const char* expected;
    } checks[] = {
        {"plant", "SELECT name || '/' || aord || dnpp || pof || pcs || spn FROM plants",
         "Korvane Test Site/21110"},
        {"default department",
         "SELECT d.number FROM plants p JOIN departments d ON d.id = "
         "p.default_department",
         "10"},
        {"handhelds", "SELECT group_concat(code) FROM devices", "TS01,TS02"},
        {"quoted department", "SELECT description FROM departments WHERE number = 20",
         "Chilled, dairy & eggs"},
        {"employees (semicolons, BOM)", "SELECT group_concat(name, '/') FROM employees",
         "Ada Vos/Jan \"JJ\" de Boer/Zo\xC3\xAB Lammers"},
        {"ranges", "SELECT COUNT(*) FROM container_ranges", "2"},
        {"routes", "SELECT group_concat(number) FROM routes WHERE delivery_day = '2026-03-04'",
         "11,12,21"},
        {"note's department from its route",
         "SELECT d.number FROM notes n JOIN departments d ON d.id = n.department_id WHERE "
         "n.number = '7210001'",
         "20"},
        {"instructions, one per line",
         "SELECT group_concat(text, '|') FROM instructions i JOIN notes n ON n.id = i.note_id "
         "WHERE n.number = '7110002'",
         "Deliver at the back door.|Ring twice."},
        {"cash customer", "SELECT process_mode FROM notes WHERE number = '7110003'", "1"},
        {"line from its product",
         "SELECT description || '/' || delivered FROM lines WHERE "
         "product_code = 'P-110' AND ordered = 6",
         "Vine tomatoes/6"},
        {"a pool product starts at 0", "SELECT delivered FROM lines WHERE product_code = 'P-300'",
         "0"},
        {"bundle", "SELECT quantity || '' || needs_confirm FROM pool_units WHERE bundle = 1", "21"},
        {"audit names the files", "SELECT COUNT(*) FROM audit WHERE after LIKE '%notes.csv%'", "1"},
    };
    for (const auto& check : checks) {
        EXPECT_EQ(scalar(check.sql), check.expected) << check.what;
    }
}

TEST_P(SiteData, AgainChangesNothingAChangedRowUpdatesAMissingOneStays) {
    ASSERT_TRUE(import(ExampleFiles()).applied);
    const std::string first = dump();
    const bo::ImportSummary again = import(ExampleFiles());
    EXPECT_EQ(dump(), first);
    for (const auto& [kind, count] : again.kinds) {
        EXPECT_EQ(count.inserted + count.updated + count.skipped, 0) << kind;
    }
    const std::string notes =
        write("notes.csv", "plant,note,route,delivery_day,stop,customer\n"
                           "3000,7110001,11,2026-03-04,1,Bakery Smit & Sons\n");
    const bo::ImportSummary changed = import({notes});
    EXPECT_EQ(changed.kinds.at("notes").updated, 1);
    EXPECT_EQ(scalar("SELECT customer FROM notes WHERE number = '7110001'"), "Bakery Smit & Sons");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM notes"), "5") << "left out is not removed";
    // The handhelds' route counts are the ones kept on the route's row: a
    // note moved by an import moves its count.
    const char* const miscounted =
        "SELECT COUNT(*) FROM routes r WHERE notes_new <> (SELECT COUNT(*) FROM notes n WHERE "
        "n.route_id = r.id AND n.status = 0) OR notes_in_progress <> (SELECT COUNT(*) FROM notes "
        "n WHERE n.route_id = r.id AND n.status = 1) OR notes_done <> (SELECT COUNT(*) FROM notes "
        "n WHERE n.route_id = r.id AND n.status = 2)";
    const std::string moved = write("moved.csv", "plant,note,route,delivery_day,stop,customer\n"
                                                 "3000,7110002,12,2026-03-04,9,Moved shop\n");
    ASSERT_TRUE(import({moved}).applied);
    EXPECT_EQ(scalar("SELECT r.number FROM notes n JOIN routes r ON r.id = n.route_id "
                     "WHERE n.number = '7110002'"),
              "12");
    EXPECT_EQ(scalar(miscounted), "0");

    // Unless the day is declared complete: then what is left out goes.
    const std::string routes =
        write("routes.csv", "plant,route,delivery_day,production_day,"
                            "department\n3000,11,2026-03-04,2026-03-03,10\n");
    const bo::ImportSummary replaced = import({routes, notes}, false, "2026-03-04");
    EXPECT_EQ(replaced.kinds.at("notes").removed, 4);
    EXPECT_EQ(replaced.kinds.at("routes").removed, 2);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM lines"), "0")
        << "the kept note's lines were not in the files either";
    EXPECT_EQ(scalar(miscounted), "0");
}

TEST_P(SiteData, WorkOfAHandheldIsNeverOverwritten) {
    ASSERT_TRUE(import(ExampleFiles()).applied);
    execute("UPDATE notes SET status = 1 WHERE number = '7110001';"
            "UPDATE notes SET status = 2 WHERE number = '7110002';"
            "UPDATE lines SET delivered = 9 WHERE note_id = (SELECT id FROM notes WHERE number = "
            "'7110001') AND position = 1;"
            "UPDATE pool_units SET note_id = 1 WHERE code = '9500001'");
    const std::string notes = write("notes.csv", "plant,note,route,delivery_day,stop,customer\n"
                                                 "3000,7110001,11,2026-03-04,1,Changed\n"
                                                 "3000,7110002,11,2026-03-04,2,Changed\n");
    const std::string lines = write("lines.csv", "plant,note,position,product,ordered\n"
                                                 "3000,7110001,1,P-100,99\n"
                                                 "3000,7110001,7,P-100,1\n"
                                                 "3000,7110002,1,P-120,99\n");
    const std::string pool = write("pool.csv", "plant,code,product,quantity\n"
                                               "3000,9500001,P-300,5\n");
    const bo::ImportSummary summary = import({notes, lines, pool}, false, "2026-03-04");
    ASSERT_TRUE(summary.applied);
    EXPECT_EQ(summary.kinds.at("notes").skipped, 2);
    EXPECT_EQ(summary.kinds.at("lines").skipped, 3) << "no new line on a worked note either";
    EXPECT_EQ(summary.kinds.at("pool").skipped, 1);
    ASSERT_EQ(summary.skipped.size(), 6u);
    EXPECT_EQ(summary.skipped[0].text().rfind(notes + ":2: note: the note is open", 0), 0u)
        << summary.skipped[0].text();
    // The day's other notes went (--replace-day); the worked ones did not.
    EXPECT_EQ(scalar("SELECT group_concat(number) FROM notes"), "7110001,7110002");
    EXPECT_EQ(summary.kinds.at("notes").removed, 3);
    EXPECT_EQ(scalar("SELECT group_concat(number) FROM routes"), "11");
    EXPECT_EQ(scalar("SELECT customer FROM notes WHERE number = '7110001'"), "Bakery Smit");
    EXPECT_EQ(scalar("SELECT delivered FROM lines WHERE position = 1 AND note_id = (SELECT id FROM "
                     "notes WHERE number = '7110001')"),
              "9");
}

TEST_P(SiteData, AnyProblemAnywhereAndNothingIsWritten) {
    ASSERT_TRUE(import(ExampleFiles()).applied);
    const std::string before = dump();
    const std::string lines = "plant,note,position,product,ordered\n";
    const struct {
        const char* name;
        std::string text;
        std::string problem; // the start of the first problem after "file:"
    } cases[] = {
        {"unknown note", lines + "3000,7999999,1,P-100,1\n", "2: note: unknown note"},
        {"unknown product", lines + "3000,7110001,9,X-1,1\n", "2: product: unknown product"},
        {"unknown plant", lines + "9999,7110001,9,P-100,1\n", "2: plant: unknown plant 9999"},
        {"duplicate key", lines + "3000,7110001,9,P-100,1\n3000,7110001,9,P-100,2\n",
         "3: position: duplicate key, first at"},
        {"below zero", lines + "3000,7110001,9,P-100,-3\n", "2: ordered: below zero"},
        {"out of range", lines + "3000,7110001,9,P-100,123456789012\n", "2: ordered: out of range"},
        {"not a number", lines + "3000,7110001,9,P-100,ten\n", "2: ordered: not a whole number"},
        {"missing value", lines + "3000,7110001,9,,1\n", "2: product: missing"},
        {"a field too many", lines + "3000,7110001,9,P-100,1,2\n", "2: 6 fields"},
        {"note number", lines + "3000,71-10,9,P-100,1\n", "2: note: a note number is"},
        {"not a day",
         "plant,route,delivery_day,production_day,department\n3000,1,2026-02-30,"
         "2026-02-28,10\n",
         "2: delivery_day: not a day"},
        {"unknown header", "plant,colour\n3000,red\n", "1: no CSV file of a known kind"},
        {"not text", std::string("\x89PNG\r\n\x1a\n\0\0", 10), "1: "},
        {"stray quote", lines + "3000,\"7110001,9,P-100,1\n", "2: a quoted field is not closed"},
        {"line too long", lines + "3000,7110001,9," + std::string(1100000, 'P') + ",1\n",
         "2: a line longer than 1024 KiB"},
        {"empty file", "", "0: empty"},
    };
    for (const auto& c : cases) {
        // The bad file comes last: everything before it was good.
        const std::string bad = write("bad.csv", c.text);
        std::vector<std::string> files = ExampleFiles();
        files.push_back(bad);
        const bo::ImportSummary summary = import(files);
        ASSERT_FALSE(summary.problems.empty()) << c.name;
        EXPECT_FALSE(summary.applied) << c.name;
        EXPECT_EQ(summary.problems.front().text().rfind(bad + ":" + c.problem, 0), 0u)
            << c.name << ": " << summary.problems.front().text();
        EXPECT_EQ(dump(), before) << c.name;
    }
    const std::string missing = (folder_.path() / "missing.csv").string();
    EXPECT_EQ(import({missing}).problems.at(0).text(), missing + ":0: no such file");
    EXPECT_EQ(import({folder_.path().string()}).problems.at(0).reason,
              "a directory, not a CSV file");

    // Many problems: some listed, all counted, still nothing written.
    std::string many = lines;
    for (int i = 0; i < 100000; ++i) {
        many += "3000,7110001,1,P-100,-1\n";
    }
    const bo::ImportSummary flood = import({write("many.csv", many)});
    EXPECT_EQ(flood.problems.size() + static_cast<std::size_t>(flood.moreProblems), 100000u);
    EXPECT_EQ(flood.problems.size(), bo::kMaxListedProblems);
    EXPECT_EQ(dump(), before);

    // --check reports what would happen and writes nothing.
    const bo::ImportSummary check =
        import({write("notes.csv", "plant,note,route,delivery_day,stop,customer\n"
                                   "3000,7110001,11,2026-03-04,1,Changed\n")},
               true);
    EXPECT_EQ(check.kinds.at("notes").updated, 1);
    EXPECT_FALSE(check.applied);
    EXPECT_EQ(dump(), before);
}

// While another import holds the database's import lock (another process or
// instance), an import is refused with a clear message and writes nothing;
// once the lock is free it goes in.
TEST_P(SiteData, OneImportAtATimePerDatabase) {
    std::function<void()> release;
#ifdef KORVANE_HAVE_POSTGRES
    std::unique_ptr<pqxx::connection> other;
#endif
    if (postgres()) {
#ifdef KORVANE_HAVE_POSTGRES
        other = std::make_unique<pqxx::connection>(database_.location());
        pqxx::nontransaction(*other).exec(
            "SELECT pg_advisory_lock(hashtextextended('korvane-import:' || current_schema(), 0))");
        release = [&other] { other.reset(); };
#endif
    } else {
        const std::string path = database_.location() + ".import-lock";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        release = [fd] { ::close(fd); };
    }
    const std::string before = dump();
    try {
        import(ExampleFiles());
        ADD_FAILURE() << "an import went in beside another";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("another import"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(dump(), before);
    EXPECT_FALSE(import(ExampleFiles(), true).applied) << "a check needs no lock";
    release();
    EXPECT_TRUE(import(ExampleFiles()).applied);
}

class SiteExport : public EngineTest {};

INSTANTIATE_TEST_SUITE_P(Engines, SiteExport, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param); });

// A day large enough that its new notes and lines go in ahead of the switch,
// in steps, while the files are still read: given lines first, the import
// still reads them after their notes; a bad last file leaves nothing of them
// (not even the audit entry that marked them), a complete day keeps them.
TEST_P(SiteData, ADayWrittenAheadGoesInWholeOrNotAtAll) {
    ASSERT_TRUE(import(ExampleFiles()).applied);
    std::string routes = "plant,route,delivery_day,production_day,department\n",
                notes = "plant,note,route,delivery_day,stop,customer,instructions\n",
                lines = "plant,note,position,product,ordered\n";
    for (int route = 40; route < 42; ++route) {
        routes += "3000," + std::to_string(route) + ",2026-03-05,2026-03-04,10\n";
        for (int stop = 1; stop <= 150; ++stop) {
            const std::string note = std::to_string(9000000 + route * 1000 + stop);
            notes += "3000," + note + "," + std::to_string(route) + ",2026-03-05," +
                     std::to_string(stop) + ",Shop " + note + ",\"Gate 2\nRing\"\n";
            for (int position = 1; position <= 10; ++position) {
                lines += "3000," + note + "," + std::to_string(position) + ",P-100,3\n";
            }
        }
    }
    const std::vector<std::string> day = {write("l.csv", lines), write("n.csv", notes),
                                          write("r.csv", routes)};
    const std::string before = dump();
    const std::string audit = scalar("SELECT group_concat(action) FROM audit");
    std::vector<std::string> bad = day;
    bad.push_back(write("bad.csv", "plant,note,position,product,ordered\n3000,1,1,P-100,1\n"));
    const bo::ImportSummary failed = import(bad);
    ASSERT_EQ(failed.problems.size(), 1u);
    EXPECT_EQ(failed.problems[0].text(), bad.back() + ":2: note: unknown note");
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(scalar("SELECT group_concat(action) FROM audit"), audit);

    // The same day declared complete: nothing of it is taken for left out.
    const bo::ImportSummary whole = import(day, false, "2026-03-05");
    ASSERT_TRUE(whole.applied);
    EXPECT_EQ(whole.kinds.at("notes").inserted, 300);
    EXPECT_EQ(whole.kinds.at("lines").inserted, 3000);
    EXPECT_EQ(whole.kinds.at("notes").removed + whole.kinds.at("lines").removed, 0);
    const struct {
        const char* what;
        const char* sql;
        const char* expected;
    } checks[] = {
        {"notes and lines", "SELECT COUNT(*) || '/' || (SELECT COUNT(*) FROM lines) FROM notes",
         "305/3009"},
        {"counted by their routes", "SELECT SUM(notes_new) FROM routes WHERE number >= 40", "300"},
        {"instructions", "SELECT COUNT(*) FROM instructions WHERE text = 'Ring'", "300"},
        {"no pending entry", "SELECT COUNT(*) FROM audit WHERE action <> 'import'", "0"},
    };
    for (const auto& check : checks) {
        EXPECT_EQ(scalar(check.sql), check.expected) << check.what;
    }
    // A new note on a route that is there: its lines go in ahead, and stay.
    const bo::ImportSummary added =
        import({write("l2.csv", "plant,note,position,product,ordered\n3000,9999999,1,P-100,1\n"),
                write("n2.csv", "plant,note,route,delivery_day,stop,customer\n"
                                "3000,9999999,40,2026-03-05,151,Late shop\n"),
                day[0], day[1], day[2]},
               false, "2026-03-05");
    ASSERT_TRUE(added.applied);
    EXPECT_EQ(added.kinds.at("lines").inserted, 1);
    EXPECT_EQ(added.kinds.at("lines").removed, 0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM lines l JOIN notes n ON n.id = l.note_id WHERE "
                     "n.number = '9999999'"),
              "1");
}

// The import's steps leave SQLite's lock free between them only for other
// processes' writers: whether there are any is told by their locks.
TEST_P(SiteData, AnotherProcessOnTheDatabaseIsSeen) {
    if (postgres()) {
        GTEST_SKIP() << "a SQLite file's locks";
    }
    const std::string path_ = database_.location();
    bo::sqlite::Database own(path_);
    own.execute("SELECT COUNT(*) FROM plants");
    EXPECT_FALSE(bo::OtherProcessesOpen(path_)) << "only this process";
    EXPECT_TRUE(bo::OtherProcessesOpen((folder_.path() / "none.db").string())) << "cannot tell";
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"sqlite3", path_.c_str(), nullptr};
    pid_t shell = 0;
    const int spawned =
        posix_spawnp(&shell, "sqlite3", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    ASSERT_EQ(spawned, 0);
    const std::string query = "SELECT COUNT(*) FROM plants;\n";
    EXPECT_EQ(::write(input[1], query.data(), query.size()), static_cast<ssize_t>(query.size()));
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
        seen = bo::OtherProcessesOpen(path_);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(seen) << "sqlite3 in another process";
    close(input[1]);
    waitpid(shell, nullptr, 0);
    EXPECT_FALSE(bo::OtherProcessesOpen(path_)) << "once it has gone";
}

std::vector<std::vector<std::string>> ReadCsv(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    bo::csv::Reader reader(in);
    std::vector<std::vector<std::string>> rows;
    bo::csv::Record record;
    while (reader.next(record)) {
        rows.push_back(record.fields);
    }
    EXPECT_EQ(reader.error(), "") << file;
    return rows;
}

// A worked note goes out with who did what, and the files read back as the
// records they were written from.
TEST_P(SiteExport, WhatWasPackedReadsBackLossless) {
    const bo::Note worked = note(bo::DemoNoteNumber(0, 101, 4));
    ASSERT_EQ(packingNote(1, 0, std::to_string(worked.id))->outcome, "OK");
    const bo::Line first = lines(worked.id).front();
    ASSERT_EQ(delivered(1, worked.id, {{first.id, first.ordered - 1}})->outcome, "OK");
    ASSERT_EQ(containerScan(1, worked.id, "20500001")->outcome, "OK");

    const auto site = SiteDataOf(*store_, database_);
    bo::SiteData& data = *site;
    const std::vector<bo::ExportNote> notes = data.exportDay(kDay, "1000");
    ASSERT_EQ(notes.size(), 9u * bo::demo::kNotesPerRoute);
    const auto it = std::find_if(notes.begin(), notes.end(), [&](const bo::ExportNote& n) {
        return n.number == worked.number;
    });
    ASSERT_NE(it, notes.end());
    EXPECT_EQ(it->status, "in progress");
    EXPECT_EQ(it->openedBy, "HH01");
    EXPECT_FALSE(it->openedAt.empty());
    EXPECT_EQ(it->lines.front().delivered, first.ordered - 1);
    EXPECT_EQ(it->containers.at(0).code, "20500001");

    const std::string out = (folder_.path() / "export").string();
    const std::vector<std::string> files = bo::WriteExport(notes, kDay, "csv", out);
    ASSERT_EQ(files.size(), 4u);
    const auto noteRows = ReadCsv(files[0]);
    const auto lineRows = ReadCsv(files[1]);
    ASSERT_EQ(noteRows.size(), notes.size() + 1);
    std::size_t line = 1;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const bo::ExportNote& n = notes[i];
        EXPECT_EQ(noteRows[i + 1][1], n.number);
        EXPECT_EQ(noteRows[i + 1][5], n.customer);
        EXPECT_EQ(noteRows[i + 1][6], n.status);
        EXPECT_EQ(noteRows[i + 1][8], n.openedBy);
        for (const bo::ExportLine& l : n.lines) {
            ASSERT_LT(line, lineRows.size());
            EXPECT_EQ(lineRows[line][1], n.number);
            EXPECT_EQ(lineRows[line][3], l.product);
            EXPECT_EQ(lineRows[line][4], l.description) << "quotes and commas survive";
            EXPECT_EQ(lineRows[line][6], std::to_string(l.delivered));
            ++line;
        }
    }
    EXPECT_EQ(line, lineRows.size());
    std::size_t containers = 1;
    for (const bo::ExportNote& n : notes) {
        containers += n.containers.size();
    }
    EXPECT_EQ(ReadCsv(files[2]).size(), containers);
    const std::string json = bo::WriteExport(notes, kDay, "json", out).at(0);
    std::ifstream in(json);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("\"Flower bouquet \\\"Spring\\\"\""), std::string::npos);
}

// A backup taken while a writer keeps changing holds every change that was
// acknowledged before it began, and opens as a store of its own.
TEST_P(SiteData, BackupUnderLoadHoldsEveryAcknowledgedChange) {
    ASSERT_TRUE(import(ExampleFiles()).applied);
    if (postgres()) {
        // The server's own tools copy it; asking here is an error, not a no-op.
        try {
            data_->backup((folder_.path() / "copy.db").string());
            ADD_FAILURE() << "a PostgreSQL backup reported success";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("pg_dump"), std::string::npos);
        }
        EXPECT_FALSE(std::filesystem::exists(folder_.path() / "copy.db"));
        return;
    }
    const std::string path_ = database_.location();
    std::atomic<int> acknowledged{0};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 1; !stop && i < 100000; ++i) {
            store_->write([i](bo::StoreTransaction& tx) {
                bo::Note before = tx.noteByNumber(1, "7110001").value();
                bo::Note after = before;
                after.colli = i;
                tx.updateNote(before, after);
            });
            acknowledged = i;
        }
    });
    while (acknowledged < 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const int before = acknowledged;
    const std::string copy = (folder_.path() / "copy.db").string();
    data_->backup(copy);
    stop = true;
    writer.join();
    // Restored: the copy in place of the database.
    data_.reset();
    store_.reset();
    std::filesystem::remove(path_ + "-wal");
    std::filesystem::remove(path_ + "-shm");
    std::filesystem::copy_file(copy, path_, std::filesystem::copy_options::overwrite_existing);
    bo::SqliteStore restored(path_);
    EXPECT_GE(restored.begin(false)->noteByNumber(1, "7110001")->colli, before);
    EXPECT_EQ(scalar("PRAGMA integrity_check"), "ok");
}

// Ninety days of a site: each morning the day's routes come in, a day's
// work is done, and everything older than a week is pruned. The file stops
// growing once a week's data are in it; a route with a note in progress stays.
TEST_P(SiteData, PruningKeepsTheFileFromGrowing) {
    ASSERT_TRUE(import(ExampleFiles()).applied);
    const int routes = 10, notesPerRoute = 6, linesPerNote = 5;
    std::uintmax_t sizeAtDay30 = 0;
    // The database's size on disk, with what SQLite has not yet folded in.
    // The server reuses the space of removed rows once its vacuum has been by
    // (when is its own business): there the rows kept count.
    const auto size = [this] {
        if (postgres()) {
            return static_cast<std::uintmax_t>(std::stoull(
                scalar("SELECT (SELECT COUNT(*) FROM routes) + (SELECT COUNT(*) FROM notes) + "
                       "(SELECT COUNT(*) FROM lines) + (SELECT COUNT(*) FROM audit)")));
        }
        data_.reset();
        store_.reset();
        const std::uintmax_t bytes = std::filesystem::file_size(database_.location());
        open();
        return bytes;
    };
    for (int d = 0; d < 90; ++d) {
        const std::string day = bo::AddDays("2026-01-01", d);
        std::string r = "plant,route,delivery_day,production_day,department\n";
        std::string n = "plant,note,route,delivery_day,stop,customer\n";
        std::string l = "plant,note,position,product,ordered\n";
        for (int route = 1; route <= routes; ++route) {
            r += "3000," + std::to_string(route) + "," + day + "," + day + ",10\n";
            for (int stop = 1; stop <= notesPerRoute; ++stop) {
                const std::string number = std::to_string(8000000 + d * 1000 + route * 10 + stop);
                n += "3000," + number + "," + std::to_string(route) + "," + day + "," +
                     std::to_string(stop) + ",Customer " + number + "\n";
                for (int p = 1; p <= linesPerNote; ++p) {
                    l += "3000," + number + "," + std::to_string(p) + ",P-100," +
                         std::to_string(p) + "\n";
                }
            }
        }
        ASSERT_TRUE(import({write("r.csv", r), write("n.csv", n), write("l.csv", l)}).applied);
        execute("UPDATE notes SET status = 2 WHERE route_id IN (SELECT id FROM routes WHERE "
                "delivery_day = '" +
                day + "')");
        if (d == 0) {
            execute("UPDATE notes SET status = 1 WHERE number = '8000011'");
        }
        data_->prune(bo::AddDays(day, -7), day + "T23:00:00");
        if (d == 30) {
            sizeAtDay30 = size();
        }
    }
    EXPECT_LE(size(), sizeAtDay30 * 11 / 10);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM routes WHERE delivery_day < '2026-03-24'"), "1")
        << "the route with a note in progress";
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM routes"), std::to_string(8 * routes + 1));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM audit WHERE action = 'prune'"), "82");
}

} // namespace

namespace {

// The example site imported beside the demonstration warehouse, a note of it
// worked by one of its handhelds, exported, and the files imported again: the
// worked note stays as the handheld left it, the export shows the work.
TEST_P(SiteExport, ImportedSiteWorkedExportedAndImportedAgain) {
    const auto site = SiteDataOf(*store_, database_);
    bo::SiteData& data = *site;
    bo::ImportRequest request;
    request.files = ExampleFiles();
    ASSERT_TRUE(bo::ImportFiles(data, request).applied);
    bo::Id device = 0, noteId = 0;
    {
        auto tx = store_->begin(false);
        const bo::Plant plant = tx->plantByCode("3000").value();
        device = tx->deviceByCode(plant.id, "TS01").value().id;
        noteId = tx->noteByNumber(plant.id, "7110002").value().id;
    }
    ASSERT_EQ(packingNote(static_cast<int>(device), 0, std::to_string(noteId))->outcome, "OK");
    const std::vector<bo::Line> noteLines = lines(noteId);
    ASSERT_EQ(noteLines.size(), 2u);
    ASSERT_EQ(delivered(static_cast<int>(device), noteId, {{noteLines[0].id, 11}})->outcome, "OK");
    ASSERT_EQ(containerScan(static_cast<int>(device), noteId, "30000001")->outcome, "OK");

    const bo::ImportSummary again = bo::ImportFiles(data, request);
    ASSERT_TRUE(again.applied);
    EXPECT_EQ(again.kinds.at("notes").unchanged, 5) << "a worked note as imported is unchanged";
    EXPECT_EQ(lines(noteId)[0].delivered, 11);

    const std::vector<bo::ExportNote> day = data.exportDay("2026-03-04", "3000");
    ASSERT_EQ(day.size(), 5u);
    const bo::ExportNote& worked = day[1];
    EXPECT_EQ(worked.number, "7110002");
    EXPECT_EQ(worked.status, "in progress");
    EXPECT_EQ(worked.openedBy, "TS01");
    EXPECT_EQ(worked.lines[0].delivered, 11);
    EXPECT_EQ(worked.lines[0].ordered, 12);
    EXPECT_EQ(worked.containers.at(0).code, "30000001");
}

} // namespace
