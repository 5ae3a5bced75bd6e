#include "backoffice/sqlite_site_data.h"

#include "backoffice/site_import.h"
#include "backoffice/site_import_plan.h"
#include "backoffice/sqlite.h"
#include "backoffice/sqlite_store.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace backoffice {

// Whether a process other than this one has `database` open. Every SQLite
// connection on a database in WAL mode keeps a shared lock on its -shm file
// while it is open; /proc/locks lists each lock with its process and the
// file's device and inode. When this process's own lock is not found there
// either, it cannot be told, and the answer is yes.
bool OtherProcessesOpen(const std::string& database) {
    struct stat shm {};
    std::ifstream locks("/proc/locks");
    if (database.empty() || ::stat((database + "-shm").c_str(), &shm) != 0 || !locks) {
        return true;
    }
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(shm.st_dev), minor(shm.st_dev),
                  static_cast<unsigned long long>(shm.st_ino));
    const std::string self = std::to_string(::getpid());
    bool own = false;
    std::string line;
    for (int i = 0; i < 1000000 && std::getline(locks, line); ++i) {
        // "1: POSIX  ADVISORY  READ 12105 fe:00:10954152 128 128"; a lock
        // that waits has "->" after its number.
        std::istringstream fields(line);
        std::string number, type, advisory, access, pid, inode;
        fields >> number >> type;
        if (type == "->") {
            fields >> type;
        }
        fields >> advisory >> access >> pid >> inode;
        if (inode == file) {
            if (pid != self) {
                return true;
            }
            own = true;
        }
    }
    return !own;
}

namespace {

using namespace import_plan;

// Rows an import writes ahead of its switch go in steps this large, each in a
// transaction of its own in the writers' turn: a handheld's write waits at
// most for one step (about 3 ms of inserts; twice as many rows per step made
// the import no faster, since a step's commit costs little beside its rows).
constexpr std::int64_t kStepRows = 1000;

// When the writers' turn was last given back by a run of steps, and whether
// another process may wait for SQLite's lock meanwhile (looked at again now
// and then: `serve` may start while an import runs).
class Pace {
public:
    explicit Pace(std::string database) : database_(std::move(database)) {}
    std::chrono::steady_clock::time_point freeSince = std::chrono::steady_clock::now();
    bool othersMayWrite() {
        const auto now = std::chrono::steady_clock::now();
        if (!lookedAt_ || now - *lookedAt_ > std::chrono::milliseconds(250)) {
            others_ = OtherProcessesOpen(database_);
            lookedAt_ = now;
        }
        return others_;
    }

private:
    std::string database_;
    std::optional<std::chrono::steady_clock::time_point> lookedAt_;
    bool others_ = true;
};

// One short write of the import's in the writers' turn. In this process the
// handhelds' writes that came meanwhile queue before the next step. Another
// process's writer (`serve` beside the import command) waits on SQLite's
// lock and only finds it free when it looks while it is free: while another
// process has the database open, the lock is left free at least as long as
// the step held it, counting the time since the last step (an import
// reading its files between two steps holds nothing) and waiting the rest.
template <typename Work>
void Step(SqliteStore& store, sqlite::Database& db, Pace& pace, Work&& work) {
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::duration held{};
    {
        std::unique_lock turn = store.writerTurn();
        sqlite::Transaction transaction(db, true);
        started = std::chrono::steady_clock::now();
        work();
        transaction.commit();
        held = std::chrono::steady_clock::now() - started;
    }
    const auto freeBefore = started - pace.freeSince;
    if (held > freeBefore && pace.othersMayWrite()) {
        std::this_thread::sleep_for(held - freeBefore);
    }
    pace.freeSince = std::chrono::steady_clock::now();
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
// or failed): its rows are removed, in steps, and the entry says so. The
// entry `own` (of an import that gives up itself) goes with its rows, so
// that nothing of that import is left.
bool RollBackUnfinished(SqliteStore& store, sqlite::Database& db, std::int64_t own = 0) {
    Pace pace(store.path());
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
                Step(store, db, pace, [&] {
                    db.query(sql).bind(1, above).run();
                    more = db.changes() > 0;
                });
            }
        }
        Step(store, db, pace, [&] {
            db.query(p.audit == own ? "DELETE FROM main.audit WHERE id = ?"
                                    : "UPDATE main.audit SET action = 'rolled back' WHERE id = ?")
                .bind(1, p.audit)
                .run();
        });
    }
    return !pending.empty();
}

// Lists a problem, or only counts it beyond the listed ones.
void AddProblem(ImportSummary& summary, ImportProblem problem) {
    if (summary.problems.size() < kMaxListedProblems) {
        summary.problems.push_back(std::move(problem));
    } else {
        ++summary.moreProblems;
    }
}

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

    void start(const ImportRequest& request) override {
        mode_ = request.checkOnly ? Mode::Check : Mode::Write;
        time_ = request.time;
        fileList_ = FileList(request);
        if (mode_ == Mode::Write) {
            db_->execute("COMMIT");
            lock_.emplace(store_.path());
            // Before any id is counted: a killed import's rows are not the site's.
            RollBackUnfinished(store_, *db_);
            db_->execute("BEGIN");
        }
    }
    // An import that failed while reading (a step that could not be
    // written) takes back what it wrote ahead here.
    ~SqliteImportSession() override {
        try {
            stopWriter();
        } catch (const std::exception&) {
        }
        giveUp();
        try {
            if (sqlite3_get_autocommit(db_->handle()) == 0) {
                db_->execute("ROLLBACK");
            }
        } catch (const sqlite::Error&) {
        }
    }

    void stage(const ImportKind& kind, const std::string& file, long line,
               const std::vector<std::string>& values) override {
        // The file by its number: the name once per row would make every
        // staged row and index larger for nothing.
        if (files_.empty() || files_.back() != file) {
            files_.push_back(file);
        }
        const std::string name = kind.name;
        if (name == "notes" || name == "lines") {
            if (!streaming_) {
                startStreaming();
            }
            name == "notes" ? streamNote(kind, line, values) : streamLine(kind, line, values);
            return;
        }
        if (streaming_ && resolved_.count(name) != 0) {
            throw std::logic_error("import rows of " + name + " after the notes");
        }
        stageRow(kind, line, values, nullptr);
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
            AddProblem(summary, std::move(p));
        }
    }
    std::string fileName(std::int64_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < files_.size()
                   ? files_[static_cast<std::size_t>(index)]
                   : std::string("?");
    }
    // What a staged row was resolved to as it came (notes and lines).
    struct Resolved {
        std::int64_t plant = 0, ref = 0, ref2 = 0, target = 0;
    };
    struct RouteInfo {
        std::int64_t id = 0, department = 0;
        bool isNew = false; // comes with the switch
    };
    struct ProductInfo {
        std::int64_t id = 0;
        std::string description, size, packaging;
        bool pool = false;
    };
    struct NoteInfo {
        std::int64_t id = 0;
        std::int64_t file = 0;
        long line = 0;
        bool isNew = false;
    };
    // A new note of a new route, or a line of a new note: no handheld
    // reaches it before the switch, so it is written ahead as it comes.
    // Its numbers are parsed and its texts copied while the files are read,
    // so that the step that writes it holds the writers' turn for no more
    // than the inserts.
    struct Ahead {
        bool line = false;
        std::int64_t id = 0, plant = 0, ref = 0, ref2 = 0;
        const ProductInfo* product = nullptr;
        std::array<std::int64_t, 7> numbers{};
        std::array<std::string, 5> texts;
    };
    // Without start(), rows are staged as they come and all go in with the
    // switch; a check writes nothing; a writing import writes ahead.
    enum class Mode { Unstarted, Check, Write };

    void stageRow(const ImportKind& kind, long line, const std::vector<std::string>& values,
                  const Resolved* resolved);
    void problem(long line, const char* column, const std::string& reason) {
        AddProblem(early_, {files_.back(), line, column, reason});
    }
    // Rows written ahead go again, with their pending entry, when the
    // import is not applied: the database is as it was.
    void giveUp() noexcept {
        if (pendingAudit_ == 0) {
            return;
        }
        try {
            if (sqlite3_get_autocommit(db_->handle()) == 0) {
                db_->execute("ROLLBACK");
            }
            RollBackUnfinished(store_, *db_, pendingAudit_);
        } catch (const std::exception&) {
            // The next import removes them; they are out of every handheld's sight.
        }
        pendingAudit_ = 0;
    }
    void startStreaming();
    std::optional<std::int64_t> plantOf(long line, const std::string& code);
    const RouteInfo* route(std::int64_t plant, std::int64_t number, const std::string& day);
    const ProductInfo* product(std::int64_t plant, const std::string& code);
    void streamNote(const ImportKind& kind, long line, const std::vector<std::string>& v);
    void streamLine(const ImportKind& kind, long line, const std::vector<std::string>& v);
    void keepAhead(Ahead ahead);
    void handAhead();
    void stopWriter();
    void writeAhead();
    void writeBatch(const std::vector<Ahead>& rows);
    void reportDuplicateLines(ImportSummary& summary);
    void resolve(ImportSummary& summary, const char* upTo = nullptr);
    void decide(ImportSummary& summary);
    void insertInstructions(const std::string& actions, std::int64_t after, std::int64_t upTo);
    void switchIn(const ImportRequest& request, ImportSummary& summary);
    void replaceDay(const std::string& day, ImportSummary& summary);

    SqliteStore& store_;
    std::unique_ptr<sqlite::Database> db_;
    Mode mode_ = Mode::Unstarted;
    std::string time_, fileList_; // for the pending audit entry
    std::optional<ImportLock> lock_;
    std::map<const ImportKind*, std::string> insertText_; // the staging insert of each kind
    std::vector<std::string> files_;                      // staged rows' files by number
    std::map<std::string, long> ahead_; // rows of each kind written ahead of the switch
    std::int64_t pendingAudit_ = 0;     // the audit entry that marks them
    Pace pace_{store_.path()};
    // Kinds whose staged rows were resolved; the default department of the
    // plants was resolved.
    std::set<std::string> resolved_;
    bool defaultDepartments_ = false;
    // Notes and lines are resolved as they come, from what the kinds before
    // them were resolved to: in memory, one entry per key (not per byte of
    // the files), with the live tables looked up by their indexes.
    bool streaming_ = false;
    ImportSummary early_; // their problems, until finish()
    std::unordered_map<std::string, std::int64_t> plants_;
    std::unordered_map<std::string, RouteInfo> routes_;
    // By plant, then by the ERP's code: looked up with the field itself.
    std::unordered_map<std::int64_t, std::unordered_map<std::string, ProductInfo>> products_;
    std::unordered_map<std::int64_t, std::unordered_map<std::string, NoteInfo>> notes_;
    std::optional<NoteInfo> lastNote_; // of the last line
    std::int64_t lastNotePlant_ = 0;
    std::string lastNoteNumber_;
    // (note id * 100000 + position, file << 32 | line) of every line, for
    // duplicate keys.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lineKeys_;
    std::int64_t notesAbove_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t linesAbove_ = std::numeric_limits<std::int64_t>::max();
    std::int64_t nextNote_ = 0, nextLine_ = 0;
    std::vector<Ahead> aheadRows_;
    // The writer thread and its connection; the batches handed to it.
    std::unique_ptr<sqlite::Database> writerDb_;
    std::thread writer_;
    std::mutex batchesMutex_;
    std::condition_variable batchReady_, batchTaken_;
    std::deque<std::vector<Ahead>> batches_;
    bool closing_ = false;
    std::exception_ptr writeError_;
};

// Keys, references and new ids, on the snapshot of the read transaction: one
// pass over each kind's staged rows (what one value needs of another is
// written out in it, since SET sees the row as it was).
// Kinds resolved already are left; notes and lines were resolved as they
// came; `upTo` ends it before that kind.
void SqliteImportSession::resolve(ImportSummary& summary, const char* upTo) {
    const std::string plant = "COALESCE((SELECT id FROM main.plants WHERE code = s.plant), "
                              "(SELECT target FROM stage_plants WHERE plant = s.plant))";
    for (const KindPlan& plan : Plans()) {
        if (upTo && std::string(plan.kind) == upTo) {
            break;
        }
        if (!resolved_.insert(plan.kind).second) {
            continue;
        }
        if (std::string(plan.kind) == "notes" || std::string(plan.kind) == "lines") {
            db_->execute("CREATE INDEX " + Stage(plan.kind) + "_target ON " + Stage(plan.kind) +
                         "(target)");
            continue;
        }
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
    if (defaultDepartments_ || resolved_.count("departments") == 0) {
        return;
    }
    defaultDepartments_ = true;
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
            CountAction(count, q.text(0), static_cast<long>(q.integer(1)));
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
    for (const auto& [kind, rows] : ahead_) {
        if (rows > 0) {
            summary.kinds[kind].inserted += rows;
        }
    }
}

void SqliteImportSession::finish(const ImportRequest& request, ImportSummary& summary) {
    // The problems of the rows resolved as they came.
    for (ImportProblem& p : early_.problems) {
        AddProblem(summary, std::move(p));
    }
    summary.moreProblems += early_.moreProblems;
    early_ = {};
    reportDuplicateLines(summary);
    try {
        if (summary.problems.empty() && !request.checkOnly) {
            handAhead(); // the last rows kept
        }
        stopWriter();
        db_->execute("COMMIT"); // the staged rows; only the temporary tables were written
        if (!lock_ && !request.checkOnly) {
            lock_.emplace(store_.path());
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
            giveUp();
            return;
        }
        switchIn(request, summary);
    } catch (...) {
        giveUp();
        throw;
    }
}

// A note's instructions as rows of their own, one per line of the field.
void InsertInstructions(sqlite::Database& db, Id note, const std::string& text) {
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
        db.query("INSERT INTO main.instructions(note_id, position, text) VALUES(?, ?, ?)")
            .bind(1, note)
            .bind(2, std::int64_t{++position})
            .bind(3, part)
            .run();
        from = to + 1;
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
        InsertInstructions(*db_, q.integer(0), q.text(1));
    }
}

void SqliteImportSession::stageRow(const ImportKind& kind, long line,
                                   const std::vector<std::string>& values,
                                   const Resolved* resolved) {
    std::string& sql = insertText_[&kind];
    if (sql.empty()) {
        sql = "INSERT INTO " + Stage(kind.name) + " VALUES(?, ?";
        for (std::size_t i = 0; i < kind.columns.size(); ++i) {
            sql += ", ?";
        }
        sql += ", ?, ?, ?, ?, NULL)";
    }
    auto q = db_->query(sql);
    q.bind(1, static_cast<std::int64_t>(files_.size() - 1)).bind(2, std::int64_t{line});
    int index = 3;
    for (std::size_t i = 0; i < kind.columns.size(); ++i, ++index) {
        if (kind.columns[i].type == ColumnType::Integer ||
            kind.columns[i].type == ColumnType::Flag) {
            q.bind(index, std::int64_t{std::stoll(values[i])});
        } else {
            q.bind(index, values[i]);
        }
    }
    for (const std::int64_t id : {resolved ? resolved->plant : 0, resolved ? resolved->ref : 0,
                                  resolved ? resolved->ref2 : 0, resolved ? resolved->target : 0}) {
        if (resolved) {
            q.bind(index++, id);
        } else {
            q.bindNull(index++);
        }
    }
    q.run();
}

const std::string kNoteByNumber = "SELECT id FROM main.notes WHERE plant_id = ? AND number = ?";

std::string KeyOf(std::int64_t plant, const std::string& code) {
    return std::to_string(plant) + '\x1f' + code;
}

// The first note or line: everything before them in the files is resolved
// now, once, and what the notes and lines refer to is read into memory.
void SqliteImportSession::startStreaming() {
    streaming_ = true;
    resolve(early_, "notes");
    const auto highest = [this](const char* table) {
        auto q = db_->query(std::string("SELECT COALESCE(MAX(id), 0) FROM main.") + table);
        return q.next() ? q.integer(0) : std::int64_t{0};
    };
    // Only imports insert notes and lines, one at a time (the lock): the new
    // ones are counted from here, and what lies above the marks is theirs.
    notesAbove_ = highest("notes");
    linesAbove_ = highest("lines");
    nextNote_ = notesAbove_ + 1;
    nextLine_ = linesAbove_ + 1;
    {
        auto q = db_->query("SELECT code, id FROM main.plants UNION ALL SELECT plant, target FROM "
                            "stage_plants WHERE target IS NOT NULL");
        while (q.next()) {
            plants_[q.text(0)] = q.integer(1);
        }
    }
    {
        auto q = db_->query("SELECT plant_id, route, delivery_day, target, ref_id, NOT EXISTS("
                            "SELECT 1 FROM main.routes r WHERE r.id = s.target) FROM stage_routes "
                            "s WHERE plant_id IS NOT NULL AND ref_id IS NOT NULL");
        while (q.next()) {
            routes_[KeyOf(q.integer(0), std::to_string(q.integer(1)) + '\x1f' + q.text(2))] = {
                q.integer(3), q.integer(4), q.integer(5) != 0};
        }
    }
    auto q = db_->query("SELECT s.plant_id, s.product, p.id, p.description, p.size, p.packaging, "
                        "p.pool FROM stage_products s JOIN import_products p ON p.id = s.target "
                        "WHERE s.plant_id IS NOT NULL");
    while (q.next()) {
        products_[q.integer(0)][q.text(1)] = {q.integer(2), q.text(3), q.text(4), q.text(5),
                                              q.integer(6) != 0};
    }
}

std::optional<std::int64_t> SqliteImportSession::plantOf(long line, const std::string& code) {
    const auto found = plants_.find(code);
    if (found == plants_.end()) {
        problem(line, "plant", "unknown plant " + code);
        return std::nullopt;
    }
    return found->second;
}

// A route of the files, or one there already.
const SqliteImportSession::RouteInfo*
SqliteImportSession::route(std::int64_t plant, std::int64_t number, const std::string& day) {
    const std::string key = KeyOf(plant, std::to_string(number) + '\x1f' + day);
    const auto found = routes_.find(key);
    if (found != routes_.end()) {
        return &found->second;
    }
    auto q = db_->query("SELECT id, department_id FROM main.routes WHERE plant_id = ? AND "
                        "delivery_day = ? AND number = ?");
    q.bind(1, plant).bind(2, day).bind(3, number);
    if (!q.next()) {
        return nullptr;
    }
    return &(routes_[key] = {q.integer(0), q.integer(1), false});
}

// A product of the files, or one there already.
const SqliteImportSession::ProductInfo* SqliteImportSession::product(std::int64_t plant,
                                                                     const std::string& code) {
    auto& ofPlant = products_[plant];
    const auto found = ofPlant.find(code);
    if (found != ofPlant.end()) {
        return &found->second;
    }
    auto q = db_->query("SELECT id, description, size, packaging, pool FROM main.products WHERE "
                        "plant_id = ? AND code = ?");
    q.bind(1, plant).bind(2, code);
    if (!q.next()) {
        return nullptr;
    }
    return &(ofPlant[code] = {q.integer(0), q.text(1), q.text(2), q.text(3), q.integer(4) != 0});
}

// plant, note, route, delivery_day, stop, customer, instructions, ...
void SqliteImportSession::streamNote(const ImportKind& kind, long line,
                                     const std::vector<std::string>& v) {
    const std::optional<std::int64_t> plant = plantOf(line, v[0]);
    if (!plant) {
        return;
    }
    auto& ofPlant = notes_[*plant];
    const auto first = ofPlant.find(v[1]);
    if (first != ofPlant.end()) {
        problem(line, "note",
                "duplicate key, first at " + fileName(first->second.file) + ":" +
                    std::to_string(first->second.line));
        return;
    }
    NoteInfo note{0, static_cast<std::int64_t>(files_.size() - 1), line, false};
    {
        auto q = db_->query(kNoteByNumber);
        q.bind(1, *plant).bind(2, v[1]);
        if (q.next()) {
            note.id = q.integer(0);
        } else {
            note.id = nextNote_++;
            note.isNew = true;
        }
    }
    // Known from here on even when its route is not: its lines are not
    // reported once more for it.
    ofPlant.emplace(v[1], note);
    const RouteInfo* onRoute = route(*plant, std::stoll(v[2]), v[3]);
    if (!onRoute) {
        problem(line, "route", "unknown route on that delivery day");
        return;
    }
    if (note.isNew && onRoute->isNew && mode_ != Mode::Unstarted) {
        // process_mode, stop, collection_point; number, customer, collection
        // point name, transport article, instructions
        keepAhead({false,
                   note.id,
                   *plant,
                   onRoute->id,
                   onRoute->department,
                   nullptr,
                   {std::stoll(v[10]), std::stoll(v[4]), std::stoll(v[7])},
                   {v[1], v[5], v[8], v[9], v[6]}});
        return;
    }
    const Resolved resolved{*plant, onRoute->id, onRoute->department, note.id};
    stageRow(kind, line, v, &resolved);
}

// plant, note, position, product, ordered, minimum, maximum, counted, ...
void SqliteImportSession::streamLine(const ImportKind& kind, long line,
                                     const std::vector<std::string>& v) {
    const std::optional<std::int64_t> plant = plantOf(line, v[0]);
    if (!plant) {
        return;
    }
    // A note's lines come one after another: its note is the last one's.
    std::optional<NoteInfo> note;
    if (lastNote_ && lastNotePlant_ == *plant && lastNoteNumber_ == v[1]) {
        note = lastNote_;
    } else if (const auto found = notes_[*plant].find(v[1]); found != notes_[*plant].end()) {
        note = found->second;
    } else {
        auto q = db_->query(kNoteByNumber);
        q.bind(1, *plant).bind(2, v[1]);
        if (q.next()) {
            note = NoteInfo{q.integer(0), 0, 0, false};
        }
    }
    lastNote_ = note;
    lastNotePlant_ = *plant;
    lastNoteNumber_ = v[1];
    const ProductInfo* of = product(*plant, v[3]);
    if (!note) {
        problem(line, "note", "unknown note");
    }
    if (!of) {
        problem(line, "product", "unknown product");
    }
    if (!note || !of) {
        return;
    }
    const std::int64_t position = std::stoll(v[2]);
    lineKeys_.emplace_back(
        static_cast<std::uint64_t>(note->id) * 100000 + static_cast<std::uint64_t>(position),
        (static_cast<std::uint64_t>(files_.size() - 1) << 32) | static_cast<std::uint64_t>(line));
    if (note->isNew && mode_ != Mode::Unstarted) {
        // position, ordered, minimum, maximum, counted, count_minimum,
        // count_maximum; product
        keepAhead({true,
                   nextLine_++,
                   *plant,
                   note->id,
                   of->id,
                   of,
                   {position, std::stoll(v[4]), std::stoll(v[5]), std::stoll(v[6]),
                    std::stoll(v[7]), std::stoll(v[8]), std::stoll(v[9])},
                   {v[3]}});
        return;
    }
    Resolved resolved{*plant, note->id, of->id, 0};
    if (!note->isNew) {
        static const std::string lineAt =
            "SELECT id FROM main.lines WHERE note_id = ? AND position = ? ORDER BY id LIMIT 1";
        auto q = db_->query(lineAt);
        q.bind(1, note->id).bind(2, position);
        if (q.next()) {
            resolved.target = q.integer(0);
        }
    }
    if (resolved.target == 0) {
        resolved.target = nextLine_++;
    }
    stageRow(kind, line, v, &resolved);
}

// Rows written ahead are counted as inserted; a check only counts them.
void SqliteImportSession::keepAhead(Ahead ahead) {
    ++ahead_[ahead.line ? "lines" : "notes"];
    if (mode_ != Mode::Write || !early_.problems.empty()) {
        return; // nothing will be written
    }
    aheadRows_.push_back(std::move(ahead));
    if (aheadRows_.size() >= static_cast<std::size_t>(kStepRows)) {
        handAhead();
    }
}

// The rows kept go to the writer thread, which writes them on its own
// connection while the files are read on; at most two steps wait for it.
void SqliteImportSession::handAhead() {
    if (aheadRows_.empty()) {
        return;
    }
    if (!writer_.joinable()) {
        writerDb_ = store_.connect();
        // The notes written ahead refer to routes that come with the switch.
        writerDb_->execute("PRAGMA foreign_keys = OFF");
        writer_ = std::thread([this] { writeAhead(); });
    }
    {
        std::unique_lock lock(batchesMutex_);
        batchTaken_.wait(lock, [this] { return batches_.size() < 2 || writeError_; });
        if (writeError_) {
            std::rethrow_exception(writeError_);
        }
        batches_.push_back(std::move(aheadRows_));
    }
    batchReady_.notify_one();
    aheadRows_.clear();
    // A new snapshot for the lookups (what was written ahead is never looked
    // up: its keys are the files' own), so that the checkpoints can go on.
    db_->execute("COMMIT");
    db_->execute("BEGIN");
}

// Waits for the writer thread to write what it was given; its error, if any.
void SqliteImportSession::stopWriter() {
    if (!writer_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(batchesMutex_);
        closing_ = true;
    }
    batchReady_.notify_one();
    writer_.join();
    if (writeError_) {
        std::rethrow_exception(std::exchange(writeError_, nullptr));
    }
}

// The writer thread: each batch in one step, the first after the pending
// audit entry that marks them.
void SqliteImportSession::writeAhead() {
    for (;;) {
        std::vector<Ahead> batch;
        {
            std::unique_lock lock(batchesMutex_);
            batchReady_.wait(lock, [this] { return closing_ || !batches_.empty(); });
            if (batches_.empty()) {
                return;
            }
            batch = std::move(batches_.front());
            batches_.pop_front();
        }
        batchTaken_.notify_one();
        try {
            writeBatch(batch);
        } catch (...) {
            std::lock_guard lock(batchesMutex_);
            writeError_ = std::current_exception();
            batches_.clear();
            batchTaken_.notify_one();
            return;
        }
    }
}

void SqliteImportSession::writeBatch(const std::vector<Ahead>& rows) {
    sqlite::Database& db = *writerDb_;
    {
        if (pendingAudit_ == 0) {
            Step(store_, db, pace_, [&] {
                db.query("INSERT INTO main.audit(at, entity, entity_id, action, before, after) "
                         "VALUES(?, 'import', 0, 'pending', ?, ?)")
                    .bind(1, time_)
                    .bind(2, "notes>" + std::to_string(notesAbove_) + " lines>" +
                                 std::to_string(linesAbove_))
                    .bind(3, fileList_)
                    .run();
                pendingAudit_ = db.lastInsertId();
            });
        }
        static const std::string insertNote =
            "INSERT INTO main.notes(id, plant_id, route_id, number, customer, process_mode, stop, "
            "department_id, collection_point, collection_point_name, transport_article) VALUES(?, "
            "?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        static const std::string insertLine =
            "INSERT INTO main.lines(id, note_id, position, product_code, description, size, "
            "packaging, ordered, delivered, minimum, maximum, counted, count_minimum, "
            "count_maximum) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        Step(store_, db, pace_, [&] {
            for (const Ahead& a : rows) {
                const auto& n = a.numbers;
                const auto& t = a.texts;
                if (!a.line) {
                    db.query(insertNote)
                        .bind(1, a.id)
                        .bind(2, a.plant)
                        .bind(3, a.ref)
                        .bind(4, t[0])
                        .bind(5, t[1])
                        .bind(6, n[0])
                        .bind(7, n[1])
                        .bind(8, a.ref2)
                        .bind(9, n[2])
                        .bind(10, t[2])
                        .bind(11, t[3])
                        .run();
                    if (!t[4].empty()) {
                        InsertInstructions(db, a.id, t[4]);
                    }
                    continue;
                }
                db.query(insertLine)
                    .bind(1, a.id)
                    .bind(2, a.ref)
                    .bind(3, n[0])
                    .bind(4, t[0])
                    .bind(5, a.product->description)
                    .bind(6, a.product->size)
                    .bind(7, a.product->packaging)
                    .bind(8, n[1])
                    // Offered as delivered for the packer to confirm; a pool
                    // product counts up from 0 as its items are scanned out.
                    .bind(9, a.product->pool ? std::int64_t{0} : n[1])
                    .bind(10, n[2])
                    .bind(11, n[3])
                    .bind(12, n[4])
                    .bind(13, n[5])
                    .bind(14, n[6])
                    .run();
            }
        });
    }
}

// Two lines of one note at one position: the later ones are problems.
void SqliteImportSession::reportDuplicateLines(ImportSummary& summary) {
    std::sort(lineKeys_.begin(), lineKeys_.end());
    for (std::size_t i = 1; i < lineKeys_.size(); ++i) {
        if (lineKeys_[i].first != lineKeys_[i - 1].first) {
            continue;
        }
        std::size_t first = i - 1;
        while (first > 0 && lineKeys_[first - 1].first == lineKeys_[i].first) {
            --first;
        }
        const auto where = [this](std::uint64_t at) {
            return std::pair{fileName(static_cast<std::int64_t>(at >> 32)),
                             static_cast<long>(at & 0xffffffffu)};
        };
        const auto [file, line] = where(lineKeys_[i].second);
        const auto [firstFile, firstLine] = where(lineKeys_[first].second);
        AddProblem(summary,
                   {file, line, "position",
                    "duplicate key, first at " + firstFile + ":" + std::to_string(firstLine)});
    }
    lineKeys_.clear();
    lineKeys_.shrink_to_fit();
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
    pendingAudit_ = 0; // the import's own entry now
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
               " AND n.id NOT IN (SELECT target FROM stage_notes) AND n.id <= ?2 AND n.status = 0 "
               "AND n.held_by IS NULL")
        .bind(1, day)
        .bind(2, notesAbove_) // above: new ones of this import, written ahead
        .run();
    db_->execute("DELETE FROM main.instructions WHERE note_id IN gone_notes;"
                 "DELETE FROM main.note_containers WHERE note_id IN gone_notes;"
                 "DELETE FROM main.print_jobs WHERE note_id IN gone_notes;"
                 "DELETE FROM main.lines WHERE note_id IN gone_notes;"
                 "DELETE FROM main.notes WHERE id IN gone_notes;");
    summary.kinds["notes"].removed += db_->changes();
    db_->query(
           "DELETE FROM main.lines WHERE note_id IN (SELECT s.target FROM stage_notes s JOIN "
           "main.notes n ON n.id = s.target WHERE s.delivery_day = ?1 AND NOT " +
           std::string(kWorkedNote) +
           ") AND id NOT IN (SELECT target FROM stage_lines WHERE target IS NOT NULL) AND id <= ?2")
        .bind(1, day)
        .bind(2, linesAbove_)
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
