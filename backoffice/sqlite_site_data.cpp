#include "backoffice/sqlite_site_data.h"

#include "backoffice/site_import_plan.h"
#include "backoffice/sqlite.h"
#include "backoffice/sqlite_store.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace backoffice {

namespace {

using namespace import_plan;

// Rows an import writes ahead of its switch go in steps this large, each in a
// transaction of its own in the writers' turn: a handheld's write waits at
// most for one step.
constexpr std::int64_t kStepRows = 2000;

// One short write of the import's in the writers' turn; afterwards the turn
// is left free for as long again (at least a millisecond), so that the
// handhelds' writes get it between two steps. Another process's writer (the
// import command beside `serve`) waits on SQLite's lock, which it only finds
// free when it looks in such a pause.
template <typename Work> void Step(SqliteStore& store, sqlite::Database& db, Work&& work) {
    const auto started = std::chrono::steady_clock::now();
    {
        std::unique_lock turn = store.writerTurn();
        sqlite::Transaction transaction(db, true);
        work();
        transaction.commit();
    }
    std::this_thread::sleep_for(std::max<std::chrono::steady_clock::duration>(
        std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1)));
}

// One import at a time into a database, across processes: an import's new
// ids are counted from what is there, and the rows it wrote ahead of its
// switch are its own until then. The system lets go of the lock when the
// process ends, however it ends.
class ImportLock {
public:
    // An import that runs already is an error; with `tryOnly`, held() says
    // whether the lock was had.
    explicit ImportLock(const std::string& database, bool tryOnly = false) {
        if (database.empty() || database == ":memory:") {
            return;
        }
        const std::string path = database + ".import-lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
        }
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            fd_ = -1;
            held_ = false;
            if (!tryOnly) {
                throw std::runtime_error("another import into " + database +
                                         " is running; try again when it has finished");
            }
        }
    }
    bool held() const { return held_; }
    ~ImportLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

private:
    int fd_ = -1;
    bool held_ = true;
};

// An import that writes rows ahead of its switch marks them with an audit
// entry "pending" that names the ids above which they are (notes and their
// instructions, lines); the switch turns it into the import's entry. One
// that is still pending belongs to an import that never switched in (killed,
// or failed): its rows are removed, in steps, and the entry says so.
bool RollBackUnfinished(SqliteStore& store, sqlite::Database& db) {
    struct Pending {
        std::int64_t audit, notesAbove, linesAbove;
    };
    std::vector<Pending> pending;
    {
        auto q = db.query("SELECT id, before FROM main.audit WHERE entity = 'import' AND "
                          "entity_id = 0 AND action = 'pending'");
        while (q.next()) {
            long long notes = 0, lines = 0;
            if (std::sscanf(q.text(1).c_str(), "notes>%lld lines>%lld", &notes, &lines) == 2) {
                pending.push_back({q.integer(0), notes, lines});
            }
        }
    }
    for (const Pending& p : pending) {
        const std::pair<const char*, std::int64_t> steps[] = {
            {"DELETE FROM main.instructions WHERE rowid IN (SELECT rowid FROM main.instructions "
             "WHERE note_id > ? LIMIT 2000)",
             p.notesAbove},
            {"DELETE FROM main.lines WHERE id IN (SELECT id FROM main.lines WHERE id > ? LIMIT "
             "2000)",
             p.linesAbove},
            // Their routes never came: no route counts them.
            {"DELETE FROM main.notes WHERE id IN (SELECT id FROM main.notes WHERE id > ? LIMIT "
             "2000)",
             p.notesAbove},
        };
        for (const auto& [sql, above] : steps) {
            // Each step removes rows or ends the loop; nothing adds any meanwhile.
            for (bool more = true; more;) {
                Step(store, db, [&] {
                    db.query(sql).bind(1, above).run();
                    more = db.changes() > 0;
                });
            }
        }
        Step(store, db, [&] {
            db.query("UPDATE main.audit SET action = 'rolled back' WHERE id = ?")
                .bind(1, p.audit)
                .run();
        });
    }
    return !pending.empty();
}

// The connection checks no references while an import writes ahead of its
// switch (the notes' routes come with it); on again afterwards, whatever
// happened.
class ReferencesUnchecked {
public:
    explicit ReferencesUnchecked(sqlite::Database& db) : db_(db) {
        db_.execute("PRAGMA foreign_keys = OFF");
    }
    ~ReferencesUnchecked() {
        try {
            db_.execute("PRAGMA foreign_keys = ON");
        } catch (const sqlite::Error&) {
        }
    }
    ReferencesUnchecked(const ReferencesUnchecked&) = delete;
    ReferencesUnchecked& operator=(const ReferencesUnchecked&) = delete;

private:
    sqlite::Database& db_;
};

class SqliteImportSession : public ImportSession {
public:
    SqliteImportSession(SqliteStore& store) : store_(store), db_(store.connect()) {
        // The staged rows may be many: on disk, not in memory, behind caches
        // of a fixed size (SQLite's default of 2 MB has the resolving and the
        // switch of a large import read the staged indexes from the disk
        // again and again: 15 s instead of 6 s for 600,000 rows, and a switch
        // four times as long). At most 256 + 64 MiB, whatever the files' size.
        db_->execute("PRAGMA temp_store = FILE");
        db_->execute("PRAGMA main.cache_size = -65536");
        db_->execute("PRAGMA temp.cache_size = -262144");
        for (const ImportKind& kind : ImportKinds()) {
            std::string sql =
                "CREATE TEMP TABLE " + Stage(kind.name) + "(file INTEGER, line INTEGER";
            for (const ImportColumn& c : kind.columns) {
                sql += std::string(", ") + c.name +
                       (c.type == ColumnType::Text || c.type == ColumnType::Day ? " TEXT"
                                                                                : " INTEGER");
            }
            sql += ", plant_id INTEGER, ref_id INTEGER, ref2_id INTEGER, target INTEGER, action "
                   "TEXT)";
            db_->execute(sql);
        }
        db_->execute("BEGIN");
    }
    ~SqliteImportSession() override {
        try {
            if (sqlite3_get_autocommit(db_->handle()) == 0) {
                db_->execute("ROLLBACK");
            }
        } catch (const sqlite::Error&) {
        }
    }

    void stage(const ImportKind& kind, const std::string& file, long line,
               const std::vector<std::string>& values) override {
        std::string& sql = insertText_[&kind];
        if (sql.empty()) {
            sql = "INSERT INTO " + Stage(kind.name) + " VALUES(?, ?";
            for (std::size_t i = 0; i < kind.columns.size(); ++i) {
                sql += ", ?";
            }
            sql += ", NULL, NULL, NULL, NULL, NULL)";
        }
        auto q = db_->query(sql);
        // The file by its number: the name once per row would make every
        // staged row and index larger for nothing.
        if (files_.empty() || files_.back() != file) {
            files_.push_back(file);
        }
        q.bind(1, static_cast<std::int64_t>(files_.size() - 1)).bind(2, std::int64_t{line});
        for (std::size_t i = 0; i < kind.columns.size(); ++i) {
            const int index = static_cast<int>(i) + 3;
            if (kind.columns[i].type == ColumnType::Integer ||
                kind.columns[i].type == ColumnType::Flag) {
                q.bind(index, std::int64_t{std::stoll(values[i])});
            } else {
                q.bind(index, values[i]);
            }
        }
        q.run();
    }

    void finish(const ImportRequest& request, ImportSummary& summary) override;

private:
    void report(ImportSummary& summary, const std::string& sql, const char* column,
                const std::string& reason) {
        auto q = db_->query(sql);
        while (q.next()) {
            ImportProblem p{fileName(q.integer(0)), static_cast<long>(q.integer(1)), column,
                            reason};
            if (q.columns() == 3 && !q.isNull(2)) {
                p.reason += q.text(2);
            } else if (q.columns() == 4) { // where the first of a duplicate key is
                p.reason += fileName(q.integer(2)) + ":" + std::to_string(q.integer(3));
            }
            if (summary.problems.size() < 1000) {
                summary.problems.push_back(std::move(p));
            } else {
                ++summary.moreProblems;
            }
        }
    }
    std::string fileName(std::int64_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < files_.size()
                   ? files_[static_cast<std::size_t>(index)]
                   : std::string("?");
    }
    void resolve(ImportSummary& summary);
    void decide(ImportSummary& summary);
    void writeAhead(const ImportRequest& request);
    void insertInstructions(const std::string& actions, std::int64_t after, std::int64_t upTo);
    void switchIn(const ImportRequest& request, ImportSummary& summary);
    void replaceDay(const std::string& day, ImportSummary& summary);

    SqliteStore& store_;
    std::unique_ptr<sqlite::Database> db_;
    std::map<const ImportKind*, std::string> insertText_; // the staging insert of each kind
    std::vector<std::string> files_;                      // staged rows' files by number
    std::map<std::string, long> ahead_; // rows of each kind written ahead of the switch
    std::int64_t pendingAudit_ = 0;     // the audit entry that marks them
};

// Keys, references and new ids, on the snapshot of the read transaction: one
// pass over each kind's staged rows (what one value needs of another is
// written out in it, since SET sees the row as it was).
void SqliteImportSession::resolve(ImportSummary& summary) {
    const std::string plant = "COALESCE((SELECT id FROM main.plants WHERE code = s.plant), "
                              "(SELECT target FROM stage_plants WHERE plant = s.plant))";
    for (const KindPlan& plan : Plans()) {
        const ImportKind& kind = KindNamed(plan.kind);
        const std::string stage = Stage(plan.kind);
        std::string keys;
        for (std::size_t i = 0; i < kind.keyColumns; ++i) {
            keys += (i ? ", " : "") + std::string(kind.columns[i].name);
        }
        try {
            db_->execute("CREATE UNIQUE INDEX " + stage + "_key ON " + stage + "(" + keys + ")");
        } catch (const sqlite::Error&) {
            db_->execute("CREATE INDEX " + stage + "_key ON " + stage + "(" + keys + ")");
            report(summary,
                   "SELECT s.file, s.line, f.file, f.line FROM " + stage + " s JOIN " + stage +
                       " f ON f.rowid = (SELECT MIN(g.rowid) FROM " + stage + " g WHERE " +
                       KeyEquality(kind, "g", "s") + ") WHERE f.rowid < s.rowid",
                   kind.columns[kind.keyColumns - 1].name, "duplicate key, first at ");
        }
        const bool isPlant = std::string(plan.kind) == "plants";
        const std::string plantId = isPlant ? "NULL" : "(" + plant + ")";
        const std::string ref =
            plan.ref && !isPlant ? "(" + Substitute(plan.ref, "s.plant_id", plantId) + ")" : "NULL";
        const std::string ref2 =
            plan.ref2
                ? "(" + Substitute(Substitute(plan.ref2, "s.plant_id", plantId), "s.ref_id", ref) +
                      ")"
                : "NULL";
        std::string target =
            "(" + Substitute(Substitute(plan.lookup, "s.plant_id", plantId), "s.ref_id", ref) + ")";
        if (plan.explicitIds) {
            // New rows take ids above everything there: only imports insert
            // into these tables, and a concurrent one fails on the key.
            target = "COALESCE(" + target + ", (SELECT COALESCE(MAX(id), 0) FROM main." +
                     plan.table + ") + s.rowid)";
        }
        db_->execute("UPDATE " + stage + " AS s SET plant_id = " + (isPlant ? target : plantId) +
                     ", ref_id = " + ref + ", ref2_id = " + ref2 + ", target = " + target);
        db_->execute("CREATE INDEX " + stage + "_target ON " + stage + "(target)");
        if (std::string(plan.kind) == "products") {
            db_->execute("CREATE TEMP TABLE import_products(id INTEGER PRIMARY KEY, description, "
                         "size, packaging, pool);"
                         "INSERT INTO import_products SELECT target, description, size, packaging, "
                         "pool FROM stage_products;"
                         "INSERT OR IGNORE INTO import_products SELECT id, description, size, "
                         "packaging, pool FROM main.products;");
        }
        if (!isPlant) {
            report(summary, "SELECT file, line, plant FROM " + stage + " WHERE plant_id IS NULL",
                   "plant", "unknown plant ");
        }
        if (plan.ref && !isPlant) {
            report(summary,
                   "SELECT file, line FROM " + stage +
                       " WHERE ref_id IS NULL AND plant_id IS NOT NULL",
                   plan.refColumn, plan.refWhat);
        }
        if (plan.ref2 && plan.ref2Column) {
            report(summary,
                   "SELECT file, line FROM " + stage +
                       " WHERE ref2_id IS NULL AND plant_id IS NOT NULL",
                   plan.ref2Column, plan.ref2What);
        }
    }
    // The default department refers to departments, which come after plants.
    const KindPlan& plants = Plans().front();
    db_->execute(std::string("UPDATE stage_plants AS s SET ref_id = (") + plants.ref + ")");
    report(summary, "SELECT file, line FROM stage_plants WHERE ref_id IS NULL", plants.refColumn,
           plants.refWhat);
}

// Each row's fate: insert, unchanged ("same"), update, or skip (worked on).
void SqliteImportSession::decide(ImportSummary& summary) {
    for (const KindPlan& plan : Plans()) {
        const std::string stage = Stage(plan.kind);
        std::string same = "EXISTS(SELECT 1 FROM main." + std::string(plan.table) + " t" +
                           (plan.joinTable ? std::string(", ") + plan.joinTable : "") +
                           " WHERE t.id = s.target" +
                           (plan.joinOn ? std::string(" AND ") + plan.joinOn : "");
        for (const Mapping& m : plan.columns) {
            same += std::string(" AND t.") + m.column + " IS " + m.value;
        }
        if (plan.sameExtra) {
            same += std::string(" AND ") + plan.sameExtra;
        }
        same += ")";
        const std::string guard = plan.guardStaged ? plan.guardStaged : "0";
        db_->execute("UPDATE " + stage +
                     " AS s SET action = CASE WHEN NOT EXISTS(SELECT 1 FROM main." + plan.table +
                     " t WHERE t.id = s.target) THEN CASE WHEN " + guard +
                     " THEN 'skip' ELSE 'insert' END WHEN " + same + " THEN 'same' WHEN " + guard +
                     " THEN 'skip' ELSE 'update' END");
        KindCount count;
        auto q = db_->query("SELECT action, COUNT(*) FROM " + stage + " GROUP BY action");
        bool any = false;
        while (q.next()) {
            any = true;
            const std::string action = q.text(0);
            const long n = static_cast<long>(q.integer(1));
            (action == "insert"   ? count.inserted
             : action == "same"   ? count.unchanged
             : action == "update" ? count.updated
                                  : count.skipped) += n;
        }
        if (any) {
            summary.kinds[plan.kind] = count;
        }
        if (plan.guardWhat) {
            const ImportKind& kind = KindNamed(plan.kind);
            auto skipped = db_->query("SELECT file, line FROM " + stage +
                                      " WHERE action = 'skip' ORDER BY rowid LIMIT 1000");
            while (skipped.next()) {
                summary.skipped.push_back({fileName(skipped.integer(0)),
                                           static_cast<long>(skipped.integer(1)),
                                           kind.columns[kind.keyColumns - 1].name, plan.guardWhat});
            }
        }
    }
}

void SqliteImportSession::finish(const ImportRequest& request, ImportSummary& summary) {
    db_->execute("COMMIT"); // the staged rows; only the temporary tables were written
    std::optional<ImportLock> lock;
    if (!request.checkOnly) {
        lock.emplace(store_.path());
        // Before any id is counted: a killed import's rows are not the site's.
        RollBackUnfinished(store_, *db_);
    }
    db_->execute("BEGIN");
    resolve(summary);
    if (summary.problems.empty()) {
        decide(summary);
    }
    db_->execute("COMMIT");
    if (!summary.problems.empty() || request.checkOnly) {
        return;
    }
    try {
        writeAhead(request);
        switchIn(request, summary);
    } catch (...) {
        if (pendingAudit_ != 0) {
            try {
                RollBackUnfinished(store_, *db_);
            } catch (const std::exception&) {
                // The next import removes them; they are out of every handheld's sight.
            }
        }
        throw;
    }
}

// The instructions of the staged notes with one of `actions` and a rowid in
// (after, upTo]: one row per line of the field, unless the note is worked on.
void SqliteImportSession::insertInstructions(const std::string& actions, std::int64_t after,
                                             std::int64_t upTo) {
    auto q = db_->query("SELECT s.target, s.instructions FROM stage_notes s JOIN main.notes n ON "
                        "n.id = s.target WHERE s.action IN (" +
                        actions +
                        ") AND s.rowid > ? AND s.rowid <= ? AND s.instructions <> '' AND NOT " +
                        std::string(kWorkedNote));
    q.bind(1, after).bind(2, upTo);
    while (q.next()) {
        const Id note = q.integer(0);
        const std::string text = q.text(1);
        int position = 0;
        for (std::size_t from = 0; from <= text.size();) {
            std::size_t to = text.find('\n', from);
            if (to == std::string::npos) {
                to = text.size();
            }
            std::string part = text.substr(from, to - from);
            if (!part.empty() && part.back() == '\r') {
                part.pop_back();
            }
            db_->query("INSERT INTO main.instructions(note_id, position, text) VALUES(?, ?, ?)")
                .bind(1, note)
                .bind(2, std::int64_t{++position})
                .bind(3, part)
                .run();
            from = to + 1;
        }
    }
}

// The bulk of a first load goes in before the switch, in steps: new notes of
// new routes, and the lines (and instructions) of new notes. No handheld
// reaches them meanwhile: a note is found only with its route, which comes
// with the switch, a line only through its note. What is left for the switch
// is the routes, the master data and the changes of what is already there.
void SqliteImportSession::writeAhead(const ImportRequest& request) {
    db_->execute("UPDATE stage_notes SET action = 'ahead' WHERE action = 'insert' AND ref_id NOT "
                 "IN (SELECT id FROM main.routes)");
    ahead_["notes"] = db_->changes();
    db_->execute("UPDATE stage_lines SET action = 'ahead' WHERE action = 'insert' AND ref_id NOT "
                 "IN (SELECT id FROM main.notes)");
    ahead_["lines"] = db_->changes();
    if (ahead_["notes"] == 0 && ahead_["lines"] == 0) {
        return;
    }
    Step(store_, *db_, [&] {
        const auto highest = [this](const char* table) {
            auto q = db_->query(std::string("SELECT COALESCE(MAX(id), 0) FROM main.") + table);
            return q.next() ? q.integer(0) : std::int64_t{0};
        };
        db_->query("INSERT INTO main.audit(at, entity, entity_id, action, before, after) VALUES(?, "
                   "'import', 0, 'pending', ?, ?)")
            .bind(1, request.time)
            .bind(3, FileList(request))
            .bind(2, "notes>" + std::to_string(highest("notes")) + " lines>" +
                         std::to_string(highest("lines")))
            .run();
        pendingAudit_ = db_->lastInsertId();
    });
    ReferencesUnchecked unchecked(*db_);
    for (const KindPlan& plan : Plans()) {
        const std::string kind = plan.kind;
        if (kind != "notes" && kind != "lines") {
            continue;
        }
        const std::string stage = Stage(plan.kind);
        std::string columns = "id", values = "s.target";
        for (const Mapping& m : plan.columns) {
            columns += std::string(", ") + m.column;
            values += std::string(", ") + m.value;
        }
        const std::string insert =
            "INSERT INTO main." + std::string(plan.table) + "(" + columns + ") SELECT " + values +
            " FROM " + stage + " AS s" +
            (plan.joinTable ? std::string(" JOIN ") + plan.joinTable + " ON " + plan.joinOn : "") +
            " WHERE s.action = 'ahead' AND s.rowid > ? AND s.rowid <= ? ORDER BY s.rowid";
        std::int64_t last = 0;
        {
            auto q = db_->query("SELECT COALESCE(MAX(rowid), 0) FROM " + stage);
            last = q.next() ? q.integer(0) : 0;
        }
        for (std::int64_t after = 0; after < last; after += kStepRows) {
            Step(store_, *db_, [&] {
                db_->query(insert).bind(1, after).bind(2, after + kStepRows).run();
                if (kind == "notes") {
                    insertInstructions("'ahead'", after, after + kStepRows);
                }
            });
        }
    }
}

// The one short step: set-wise inserts and updates of what was decided, in one
// transaction in the writers' turn. Worked-on rows are checked again, since a
// handheld may have opened a note since the decision.
void SqliteImportSession::switchIn(const ImportRequest& request, ImportSummary& summary) {
    std::unique_lock turn = store_.writerTurn();
    const auto started = std::chrono::steady_clock::now();
    sqlite::Transaction transaction(*db_, true);
    for (const KindPlan& plan : Plans()) {
        const std::string stage = Stage(plan.kind);
        const auto found = summary.kinds.find(plan.kind);
        if (found == summary.kinds.end()) {
            continue;
        }
        KindCount& count = found->second;
        const std::string guard = plan.guardStaged ? plan.guardStaged : "0";
        const std::string join = plan.joinTable
                                     ? std::string(" JOIN ") + plan.joinTable + " ON " + plan.joinOn
                                     : std::string();
        std::string columns = plan.explicitIds ? "id" : "";
        std::string values = plan.explicitIds ? "s.target" : "";
        std::string sets;
        for (const Mapping& m : plan.columns) {
            columns += (columns.empty() ? "" : ", ") + std::string(m.column);
            values += (values.empty() ? "" : ", ") + std::string(m.value);
            sets += (sets.empty() ? "" : ", ") + std::string(m.column) + " = " + m.value;
        }
        // Only what is left: a scan of every staged row for nothing is what
        // the handhelds would wait for.
        if (count.inserted > ahead_[plan.kind]) {
            db_->execute("INSERT INTO main." + std::string(plan.table) + "(" + columns +
                         ") SELECT " + values + " FROM " + stage + " AS s" + join +
                         " WHERE s.action = 'insert' AND NOT " + guard + " ORDER BY s.rowid");
            const long late = count.inserted - ahead_[plan.kind] - db_->changes();
            count.inserted -= late;
            count.skipped += late;
        }
        if (count.updated > 0) {
            db_->execute("UPDATE main." + std::string(plan.table) + " AS t SET " + sets + " FROM " +
                         stage + " AS s" + join +
                         " WHERE s.action = 'update' AND t.id = s.target AND NOT " +
                         (plan.guardTable ? plan.guardTable : "0"));
            const long lateUpdates = count.updated - db_->changes();
            count.updated -= lateUpdates;
            count.skipped += lateUpdates;
        }
        if (std::string(plan.kind) == "routes") {
            // The notes written ahead were counted by no route: theirs came
            // only now.
            db_->execute("UPDATE main.routes SET notes_new = (SELECT COUNT(*) FROM main.notes n "
                         "WHERE n.route_id = routes.id AND n.status = 0) WHERE id IN (SELECT "
                         "target FROM stage_routes WHERE action = 'insert')");
        }
        if (std::string(plan.kind) == "notes" && count.inserted + count.updated > ahead_["notes"]) {
            db_->execute("DELETE FROM main.instructions WHERE note_id IN (SELECT target FROM "
                         "stage_notes WHERE action IN ('insert', 'update')) AND note_id NOT IN "
                         "(SELECT id FROM main.notes n WHERE " +
                         std::string(kWorkedNote) + ")");
            insertInstructions("'insert', 'update'", 0, std::numeric_limits<std::int64_t>::max());
        }
    }
    if (!request.replaceDay.empty()) {
        replaceDay(request.replaceDay, summary);
    }
    const std::string counts = CountsText(summary);
    // The entry that marked the rows written ahead as pending becomes the
    // import's own, in the same transaction as the switch.
    const std::string entry =
        FileList(request) + counts +
        (request.replaceDay.empty() ? std::string() : "; replace_day=" + request.replaceDay);
    if (pendingAudit_ != 0) {
        db_->query("UPDATE main.audit SET action = 'import', before = '', after = ? WHERE id = ?")
            .bind(1, entry)
            .bind(2, pendingAudit_)
            .run();
    } else {
        db_->query("INSERT INTO main.audit(at, entity, entity_id, action, before, after) VALUES(?, "
                   "'import', 0, 'import', '', ?)")
            .bind(1, request.time)
            .bind(2, entry)
            .run();
    }
    transaction.commit();
    summary.applied = true;
    summary.switchMilliseconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count());
}

// The files hold the day completely: what they no longer name goes, unless a
// handheld worked on it. Only plants with routes or notes of that day in the
// files: a file of another plant says nothing about this one.
void SqliteImportSession::replaceDay(const std::string& day, ImportSummary& summary) {
    // ?1 is the day throughout.
    const std::string plants = "(SELECT plant_id FROM stage_routes WHERE delivery_day = ?1 UNION "
                               "SELECT plant_id FROM stage_notes WHERE delivery_day = ?1)";
    db_->execute("CREATE TEMP TABLE gone_notes(id INTEGER PRIMARY KEY)");
    db_->query("INSERT INTO gone_notes SELECT n.id FROM main.notes n JOIN main.routes r ON r.id = "
               "n.route_id WHERE r.delivery_day = ?1 AND r.plant_id IN " +
               plants +
               " AND n.id NOT IN (SELECT target FROM stage_notes) AND n.status = 0 AND n.held_by "
               "IS NULL")
        .bind(1, day)
        .run();
    db_->execute("DELETE FROM main.instructions WHERE note_id IN gone_notes;"
                 "DELETE FROM main.note_containers WHERE note_id IN gone_notes;"
                 "DELETE FROM main.print_jobs WHERE note_id IN gone_notes;"
                 "DELETE FROM main.lines WHERE note_id IN gone_notes;"
                 "DELETE FROM main.notes WHERE id IN gone_notes;");
    summary.kinds["notes"].removed += db_->changes();
    db_->query("DELETE FROM main.lines WHERE note_id IN (SELECT s.target FROM stage_notes s JOIN "
               "main.notes n ON n.id = s.target WHERE s.delivery_day = ?1 AND NOT " +
               std::string(kWorkedNote) +
               ") AND id NOT IN (SELECT target FROM stage_lines WHERE target IS NOT NULL)")
        .bind(1, day)
        .run();
    summary.kinds["lines"].removed += db_->changes();
    db_->query("DELETE FROM main.routes WHERE delivery_day = ?1 AND plant_id IN " + plants +
               " AND id NOT IN (SELECT target FROM stage_routes) AND NOT EXISTS(SELECT 1 FROM "
               "main.notes n WHERE n.route_id = routes.id)")
        .bind(1, day)
        .run();
    summary.kinds["routes"].removed += db_->changes();
    db_->execute("DROP TABLE gone_notes");
}

} // namespace

bool SqliteSiteData::rollBackUnfinishedImport() {
    const ImportLock lock(store_.path(), true);
    if (!lock.held()) {
        return false; // that import is alive and will finish or fail itself
    }
    auto db = store_.connect();
    return RollBackUnfinished(store_, *db);
}

std::unique_ptr<ImportSession> SqliteSiteData::beginImport() {
    return std::make_unique<SqliteImportSession>(store_);
}

std::vector<ExportNote> SqliteSiteData::exportDay(const std::string& day,
                                                  const std::string& plant) {
    auto db = store_.connect();
    sqlite::Transaction snapshot(*db, false);
    std::vector<ExportNote> notes;
    std::vector<Id> ids;
    {
        auto q = db->query(
            "SELECT p.code, n.id, n.number, r.number, r.delivery_day, n.stop, n.customer, "
            "n.status, n.colli, (SELECT MAX(created_at) FROM print_jobs j WHERE j.note_id = n.id) "
            "FROM notes n JOIN routes r ON r.id = n.route_id JOIN plants p ON p.id = n.plant_id "
            "WHERE r.delivery_day = ? AND (? = '' OR p.code = ?) "
            "ORDER BY p.code, r.number, n.stop, n.number");
        q.bind(1, day).bind(2, plant).bind(3, plant);
        while (q.next()) {
            ExportNote n;
            n.plant = q.text(0);
            ids.push_back(q.integer(1));
            n.number = q.text(2);
            n.route = static_cast<int>(q.integer(3));
            n.deliveryDay = q.text(4);
            n.stop = static_cast<int>(q.integer(5));
            n.customer = q.text(6);
            n.status = StatusName(static_cast<NoteStatus>(q.integer(7)));
            n.colli = static_cast<int>(q.integer(8));
            n.printedAt = q.text(9);
            notes.push_back(std::move(n));
        }
    }
    // Who opened and finished a note, from the audit trail of its state.
    const std::string who =
        "SELECT a.at, COALESCE(d.code, ''), COALESCE(e.number, '') FROM audit a LEFT JOIN devices "
        "d ON d.id = a.device_id LEFT JOIN employees e ON e.id = a.employee_id WHERE a.entity = "
        "'note' AND a.entity_id = ? AND a.action = 'update' AND a.after LIKE ? ORDER BY a.id ";
    for (std::size_t i = 0; i < notes.size(); ++i) {
        ExportNote& n = notes[i];
        const Id id = ids[i];
        {
            auto q = db->query(who + "LIMIT 1");
            q.bind(1, id).bind(2, "status=in progress%");
            if (q.next()) {
                n.openedAt = q.text(0), n.openedBy = q.text(1), n.openedEmployee = q.text(2);
            }
        }
        if (n.status == "done") {
            auto q = db->query(who + "DESC LIMIT 1");
            q.bind(1, id).bind(2, "status=done%");
            if (q.next()) {
                n.finishedAt = q.text(0), n.finishedBy = q.text(1), n.finishedEmployee = q.text(2);
            }
        }
        {
            auto q = db->query("SELECT position, product_code, description, ordered, delivered "
                               "FROM lines WHERE note_id = ? ORDER BY position, id");
            q.bind(1, id);
            while (q.next()) {
                n.lines.push_back({static_cast<int>(q.integer(0)), q.text(1), q.text(2),
                                   static_cast<int>(q.integer(3)), static_cast<int>(q.integer(4))});
            }
        }
        {
            auto q = db->query(
                "SELECT code, scanned_at FROM note_containers WHERE note_id = ? ORDER BY id");
            q.bind(1, id);
            while (q.next()) {
                n.containers.push_back({q.text(0), q.text(1)});
            }
        }
        {
            auto q = db->query("SELECT code, product_code, bundle, quantity, scanned_at FROM "
                               "pool_units WHERE note_id = ? ORDER BY scanned_at, id");
            q.bind(1, id);
            while (q.next()) {
                n.pool.push_back({q.text(0), q.text(1), q.integer(2) != 0,
                                  static_cast<int>(q.integer(3)), q.text(4)});
            }
        }
    }
    return notes;
}

PruneSummary SqliteSiteData::prune(const std::string& day, const std::string& time) {
    auto db = store_.connect();
    PruneSummary summary;
    std::unique_lock turn = store_.writerTurn();
    sqlite::Transaction transaction(*db, true);
    db->execute("CREATE TEMP TABLE IF NOT EXISTS prune_routes(id INTEGER PRIMARY KEY);"
                "CREATE TEMP TABLE IF NOT EXISTS prune_notes(id INTEGER PRIMARY KEY);"
                "CREATE TEMP TABLE IF NOT EXISTS prune_lines(id INTEGER PRIMARY KEY);"
                "CREATE TEMP TABLE IF NOT EXISTS prune_pool(id INTEGER PRIMARY KEY);"
                "DELETE FROM prune_routes; DELETE FROM prune_notes; DELETE FROM prune_lines;"
                "DELETE FROM prune_pool;");
    // A route with a note in progress (or held) stays whole.
    db->query("INSERT INTO prune_routes SELECT id FROM main.routes r WHERE delivery_day < ? AND "
              "NOT EXISTS(SELECT 1 FROM main.notes n WHERE n.route_id = r.id AND (n.status = 1 OR "
              "n.held_by IS NOT NULL))")
        .bind(1, day)
        .run();
    {
        auto q = db->query("SELECT COUNT(*) FROM main.notes n JOIN main.routes r ON r.id = "
                           "n.route_id WHERE r.delivery_day < ? AND (n.status = 1 OR n.held_by IS "
                           "NOT NULL)");
        q.bind(1, day);
        summary.keptInProgress = q.next() ? static_cast<long>(q.integer(0)) : 0;
    }
    db->execute(
        "INSERT INTO prune_notes SELECT id FROM main.notes WHERE route_id IN prune_routes;"
        "INSERT INTO prune_lines SELECT id FROM main.lines WHERE note_id IN prune_notes;"
        "INSERT INTO prune_pool SELECT id FROM main.pool_units WHERE note_id IN prune_notes;");
    const auto run = [&db](const char* sql) {
        db->execute(sql);
        return static_cast<long>(db->changes());
    };
    summary.auditEntries =
        run("DELETE FROM main.audit WHERE entity = 'note' AND entity_id IN prune_notes") +
        run("DELETE FROM main.audit WHERE entity = 'line' AND entity_id IN prune_lines") +
        run("DELETE FROM main.audit WHERE entity IN ('pool_item', 'bundle') AND entity_id IN "
            "prune_pool");
    summary.poolUnits = run("DELETE FROM main.pool_units WHERE id IN prune_pool");
    summary.printJobs = run("DELETE FROM main.print_jobs WHERE note_id IN prune_notes");
    summary.containers = run("DELETE FROM main.note_containers WHERE note_id IN prune_notes");
    run("DELETE FROM main.instructions WHERE note_id IN prune_notes");
    summary.lines = run("DELETE FROM main.lines WHERE id IN prune_lines");
    summary.notes = run("DELETE FROM main.notes WHERE id IN prune_notes");
    run("DELETE FROM main.scan_events WHERE route_id IN prune_routes");
    summary.routes = run("DELETE FROM main.routes WHERE id IN prune_routes");
    if (summary.routes > 0) {
        db->query("INSERT INTO main.audit(at, entity, entity_id, action, before, after) VALUES(?, "
                  "'prune', 0, 'prune', ?, ?)")
            .bind(1, time)
            .bind(2, "delivered before " + day)
            .bind(3, "routes=" + std::to_string(summary.routes) +
                         "; notes=" + std::to_string(summary.notes) +
                         "; lines=" + std::to_string(summary.lines) +
                         "; containers=" + std::to_string(summary.containers) +
                         "; pool=" + std::to_string(summary.poolUnits) +
                         "; prints=" + std::to_string(summary.printJobs) +
                         "; audit=" + std::to_string(summary.auditEntries))
            .run();
    }
    transaction.commit();
    return summary;
}

// SQLite's online backup in one step: it reads one snapshot (in WAL mode
// writers go on meanwhile) into a file beside the target, renamed when whole.
void SqliteSiteData::backup(const std::string& file) {
    auto source = store_.connect();
    const std::string partial = file + ".part";
    std::filesystem::remove(partial);
    sqlite3* target = nullptr;
    int rc = sqlite3_open(partial.c_str(), &target);
    if (rc == SQLITE_OK) {
        sqlite3_backup* copy = sqlite3_backup_init(target, "main", source->handle(), "main");
        if (!copy) {
            rc = sqlite3_errcode(target);
        } else {
            rc = sqlite3_backup_step(copy, -1);
            const int finished = sqlite3_backup_finish(copy);
            rc = rc == SQLITE_DONE ? finished : rc;
        }
    }
    const std::string message = target ? sqlite3_errmsg(target) : "out of memory";
    sqlite3_close(target);
    if (rc != SQLITE_OK) {
        std::filesystem::remove(partial);
        throw sqlite::Error(rc, "backup to " + file + ": " + message);
    }
    std::filesystem::rename(partial, file);
}

} // namespace backoffice
