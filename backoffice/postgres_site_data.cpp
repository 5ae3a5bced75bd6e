#include "backoffice/postgres_site_data.h"

#include "backoffice/postgres_store.h"
#include "backoffice/site_import.h"
#include "backoffice/site_import_plan.h"
#include "backoffice/storage.h"

#include <chrono>
#include <map>
#include <optional>
#include <pqxx/pqxx>
#include <stdexcept>
#include <thread>
#include <unordered_map>

namespace backoffice {

const char* const kPostgresBackupMessage =
    "a PostgreSQL database is backed up with pg_dump and restored with pg_restore (see the "
    "README); this command only copies SQLite files";

namespace {

using namespace import_plan;

// The shared expressions name live tables "main.table"; here they are found
// on the connection's search path.
std::string Sql(const std::string& text) {
    return Substitute(text, "main.", "");
}

// Staged rows go in with one statement per this many rows of a kind.
constexpr std::size_t kBatchRows = 2000;

// The instructions as one text, to compare with the staged field.
const char* const kSameInstructions =
    "(SELECT string_agg(text, E'\\n' ORDER BY position) FROM instructions WHERE note_id = t.id) "
    "IS NOT DISTINCT FROM NULLIF(s.instructions, '')";

bool IsNumber(ColumnType type) {
    return type == ColumnType::Integer || type == ColumnType::Flag;
}

// One import at a time into a database (its schema), across instances: the
// lock is the connection's, so a killed import lets go of it with its
// connection. A connection just closed may still hold it for a moment on the
// server, hence a few tries before another import is reported as running.
class ImportLock {
public:
    ImportLock(pqxx::connection& connection, const std::string& uri) : connection_(connection) {
        for (int attempt = 0;; ++attempt) {
            pqxx::nontransaction tx(connection_);
            if (tx.exec1("SELECT pg_try_advisory_lock(" + std::string(kKey) + ")")[0].as<bool>()) {
                return;
            }
            if (attempt == 20) {
                throw std::runtime_error("another import into " + uri +
                                         " is running; try again when it has finished");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~ImportLock() {
        try {
            pqxx::nontransaction tx(connection_);
            tx.exec("SELECT pg_advisory_unlock(" + std::string(kKey) + ")");
        } catch (const std::exception&) {
            // The connection broke: the server let go of the lock with it.
        }
    }
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

private:
    static constexpr const char* kKey =
        "hashtextextended('korvane-import:' || current_schema(), 0)";
    pqxx::connection& connection_;
};

class PostgresImportSession : public ImportSession {
public:
    explicit PostgresImportSession(const std::string& uri) : uri_(uri), connection_(uri) {
        pqxx::work tx(connection_);
        // The per-row lookups make the planner's estimates large enough for
        // it to compile each statement to machine code first, which took
        // longer than running it (half of the import's time).
        tx.exec("SET jit = off");
        for (const ImportKind& kind : ImportKinds()) {
            std::string sql = "CREATE TEMP TABLE " + Stage(kind.name) +
                              "(rowid BIGINT PRIMARY KEY, file BIGINT, line BIGINT";
            for (const ImportColumn& c : kind.columns) {
                sql += std::string(", ") + c.name + (IsNumber(c.type) ? " BIGINT" : " TEXT");
            }
            sql += ", plant_id BIGINT, ref_id BIGINT, ref2_id BIGINT, target BIGINT, action TEXT)";
            tx.exec(sql);
        }
        tx.commit();
    }

    void stage(const ImportKind& kind, const std::string& file, long line,
               const std::vector<std::string>& values) override {
        Batch& batch = batches_[&kind];
        if (batch.columns.empty()) {
            batch.columns.resize(kind.columns.size() + 3);
        }
        if (files_.empty() || files_.back() != file) {
            files_.push_back(file);
        }
        batch.columns[0].push_back(std::to_string(++rows_));
        batch.columns[1].push_back(std::to_string(files_.size() - 1));
        batch.columns[2].push_back(std::to_string(line));
        for (std::size_t i = 0; i < kind.columns.size(); ++i) {
            // Already checked as whole numbers; written out plainly.
            batch.columns[i + 3].push_back(
                IsNumber(kind.columns[i].type) ? std::to_string(std::stoll(values[i])) : values[i]);
        }
        if (batch.columns[0].size() >= kBatchRows) {
            flush(kind, batch);
        }
    }

    void finish(const ImportRequest& request, ImportSummary& summary) override {
        for (auto& [kind, batch] : batches_) {
            flush(*kind, batch);
        }
        std::optional<ImportLock> lock;
        if (!request.checkOnly) {
            lock.emplace(connection_, uri_);
        }
        {
            // Decisions, on the live tables as they are now; only the
            // temporary tables are written.
            pqxx::work tx(connection_);
            resolve(tx, summary);
            if (summary.problems.empty()) {
                decide(tx, summary);
            }
            tx.commit();
        }
        if (!summary.problems.empty() || request.checkOnly) {
            return;
        }
        apply(request, summary);
    }

private:
    struct Batch {
        std::vector<std::vector<std::string>> columns; // rowid, file, line, the kind's columns
    };

    // One statement for many staged rows: each column one array parameter.
    void flush(const ImportKind& kind, Batch& batch) {
        if (batch.columns.empty() || batch.columns[0].empty()) {
            return;
        }
        const std::string name = std::string("stage_insert_") + kind.name;
        if (!prepared_[&kind]) {
            std::string columns = "rowid, file, line",
                        values = "u.c0::BIGINT, u.c1::BIGINT, "
                                 "u.c2::BIGINT",
                        arrays, names;
            for (std::size_t i = 0; i < batch.columns.size(); ++i) {
                const std::string n = std::to_string(i);
                arrays += (i ? ", $" : "$") + std::to_string(i + 1) + "::TEXT[]";
                names += (i ? ", c" : "c") + n;
                if (i >= 3) {
                    const ImportColumn& c = kind.columns[i - 3];
                    columns += std::string(", ") + c.name;
                    values += ", u.c" + n + (IsNumber(c.type) ? "::BIGINT" : "");
                }
            }
            connection_.prepare(name, "INSERT INTO " + Stage(kind.name) + "(" + columns +
                                          ") SELECT " + values + " FROM unnest(" + arrays +
                                          ") AS u(" + names + ")");
            prepared_[&kind] = true;
        }
        std::vector<std::string> parameters;
        for (std::vector<std::string>& column : batch.columns) {
            parameters.push_back(PostgresArray(column));
            column.clear();
        }
        pqxx::work tx(connection_);
        tx.exec_prepared(name, pqxx::prepare::make_dynamic_params(parameters));
        tx.commit();
    }

    std::string fileName(const pqxx::field& index) const {
        const auto i = index.as<std::int64_t>();
        return i >= 0 && static_cast<std::size_t>(i) < files_.size()
                   ? files_[static_cast<std::size_t>(i)]
                   : std::string("?");
    }

    // Problems of rows the query finds: file, line, and either a text to
    // append to the reason or the file and line of where a duplicate was first.
    void report(pqxx::work& tx, ImportSummary& summary, const std::string& sql, const char* column,
                const std::string& reason) {
        for (const pqxx::row& row : tx.exec(sql)) {
            ImportProblem p{fileName(row[0]), row[1].as<long>(), column, reason};
            if (row.size() == 3 && !row[2].is_null()) {
                p.reason += row[2].as<std::string>();
            } else if (row.size() == 4) {
                p.reason += fileName(row[2]) + ":" + row[3].as<std::string>();
            }
            if (summary.problems.size() < kMaxListedProblems) {
                summary.problems.push_back(std::move(p));
            } else {
                ++summary.moreProblems;
            }
        }
    }

    void resolve(pqxx::work& tx, ImportSummary& summary);
    void decide(pqxx::work& tx, ImportSummary& summary);
    void apply(const ImportRequest& request, ImportSummary& summary);
    void replaceDay(pqxx::work& tx, const std::string& day, ImportSummary& summary);

    std::string uri_;
    pqxx::connection connection_;
    std::map<const ImportKind*, Batch> batches_;
    std::map<const ImportKind*, bool> prepared_;
    std::vector<std::string> files_; // staged rows' files by number
    std::int64_t rows_ = 0;          // staged so far, of all kinds: the rows' order
};

// Keys, references and ids, kind after kind: what refers comes after what it
// refers to, so every reference finds its target among the staged rows or
// the live ones.
void PostgresImportSession::resolve(pqxx::work& tx, ImportSummary& summary) {
    const std::string plant = "COALESCE((SELECT id FROM plants WHERE code = s.plant), "
                              "(SELECT target FROM stage_plants WHERE plant = s.plant))";
    for (const KindPlan& plan : Plans()) {
        const ImportKind& kind = KindNamed(plan.kind);
        const std::string stage = Stage(plan.kind);
        std::string keys;
        for (std::size_t i = 0; i < kind.keyColumns; ++i) {
            keys += (i ? ", " : "") + std::string(kind.columns[i].name);
        }
        tx.exec("CREATE INDEX ON " + stage + "(" + keys + ")");
        // Temporary tables get no statistics by themselves: without them the
        // planner takes a large staging table for a small one.
        tx.exec("ANALYZE " + stage);
        report(tx, summary,
               "SELECT file, line, first_file, first_line FROM (SELECT rowid, file, line, "
               "first_value(file) OVER w AS first_file, first_value(line) OVER w AS first_line, "
               "row_number() OVER w AS n FROM " +
                   stage + " WINDOW w AS (PARTITION BY " + keys +
                   " ORDER BY rowid)) d WHERE n > 1 ORDER BY rowid",
               kind.columns[kind.keyColumns - 1].name, "duplicate key, first at ");
        const bool isPlant = std::string(plan.kind) == "plants";
        const std::string plantId = isPlant ? "NULL::BIGINT" : "(" + plant + ")";
        const std::string ref = plan.ref && !isPlant
                                    ? "(" + Sql(Substitute(plan.ref, "s.plant_id", plantId)) + ")"
                                    : "NULL::BIGINT";
        const std::string ref2 =
            plan.ref2 ? "(" +
                            Sql(Substitute(Substitute(plan.ref2, "s.plant_id", plantId), "s.ref_id",
                                           ref)) +
                            ")"
                      : "NULL::BIGINT";
        const std::string found =
            "(" + Sql(Substitute(Substitute(plan.lookup, "s.plant_id", plantId), "s.ref_id", ref)) +
            ")";
        // New rows take their ids from the table's own sequence (others refer
        // to them before they are in), in the order of the scan, which is the
        // files'. A plant's id is its plant_id too: given in a second step.
        const std::string sequence =
            "nextval(pg_get_serial_sequence('" + std::string(plan.table) + "', 'id'))";
        const std::string target =
            plan.explicitIds && !isPlant ? "COALESCE(" + found + ", " + sequence + ")" : found;
        tx.exec("UPDATE " + stage + " AS s SET plant_id = " + (isPlant ? target : plantId) +
                ", ref_id = " + ref + ", ref2_id = " + ref2 + ", target = " + target);
        if (isPlant) {
            tx.exec("UPDATE stage_plants SET target = " + sequence + " WHERE target IS NULL");
            tx.exec("UPDATE stage_plants SET plant_id = target");
        }
        tx.exec("CREATE INDEX ON " + stage + "(target)");
        tx.exec("ANALYZE " + stage);
        if (std::string(plan.kind) == "products") {
            // Kept for the apply step's lines.
            tx.exec("CREATE TEMP TABLE import_products(id BIGINT PRIMARY KEY, description TEXT, "
                    "size TEXT, packaging TEXT, pool BIGINT)");
            tx.exec("INSERT INTO import_products SELECT target, description, size, packaging, "
                    "pool FROM stage_products ORDER BY rowid ON CONFLICT DO NOTHING");
            tx.exec("INSERT INTO import_products SELECT id, description, size, packaging, pool "
                    "FROM products ON CONFLICT DO NOTHING");
        }
        if (!isPlant) {
            report(tx, summary,
                   "SELECT file, line, plant FROM " + stage +
                       " WHERE plant_id IS NULL ORDER BY rowid",
                   "plant", "unknown plant ");
        }
        if (plan.ref && !isPlant) {
            report(tx, summary,
                   "SELECT file, line FROM " + stage +
                       " WHERE ref_id IS NULL AND plant_id IS NOT NULL ORDER BY rowid",
                   plan.refColumn, plan.refWhat);
        }
        if (plan.ref2 && plan.ref2Column) {
            report(tx, summary,
                   "SELECT file, line FROM " + stage +
                       " WHERE ref2_id IS NULL AND plant_id IS NOT NULL ORDER BY rowid",
                   plan.ref2Column, plan.ref2What);
        }
    }
    // The default department refers to departments, which come after plants.
    const KindPlan& plants = Plans().front();
    tx.exec("UPDATE stage_plants AS s SET ref_id = (" + Sql(plants.ref) + ")");
    report(tx, summary, "SELECT file, line FROM stage_plants WHERE ref_id IS NULL ORDER BY rowid",
           plants.refColumn, plants.refWhat);
}

// Each row's fate: insert, unchanged ("same"), update, or skip (worked on).
void PostgresImportSession::decide(pqxx::work& tx, ImportSummary& summary) {
    for (const KindPlan& plan : Plans()) {
        const std::string stage = Stage(plan.kind);
        std::string same = "EXISTS(SELECT 1 FROM " + std::string(plan.table) + " t" +
                           (plan.joinTable ? std::string(", ") + plan.joinTable : "") +
                           " WHERE t.id = s.target" +
                           (plan.joinOn ? std::string(" AND ") + plan.joinOn : "");
        for (const Mapping& m : plan.columns) {
            same +=
                std::string(" AND t.") + m.column + " IS NOT DISTINCT FROM (" + Sql(m.value) + ")";
        }
        if (plan.sameExtra) {
            if (std::string(plan.kind) != "notes") {
                throw std::logic_error(std::string("no comparison for ") + plan.kind);
            }
            same += std::string(" AND ") + kSameInstructions;
        }
        same += ")";
        const std::string guard = plan.guardStaged ? Sql(plan.guardStaged) : "false";
        tx.exec("UPDATE " + stage + " AS s SET action = CASE WHEN NOT EXISTS(SELECT 1 FROM " +
                plan.table + " t WHERE t.id = s.target) THEN CASE WHEN " + guard +
                " THEN 'skip' ELSE 'insert' END WHEN " + same + " THEN 'same' WHEN " + guard +
                " THEN 'skip' ELSE 'update' END");
        KindCount count;
        bool any = false;
        for (const pqxx::row& row :
             tx.exec("SELECT action, COUNT(*) FROM " + stage + " GROUP BY action")) {
            any = true;
            CountAction(count, row[0].as<std::string>(), row[1].as<long>());
        }
        if (any) {
            summary.kinds[plan.kind] = count;
        }
        if (plan.guardWhat) {
            const ImportKind& kind = KindNamed(plan.kind);
            for (const pqxx::row& row :
                 tx.exec("SELECT file, line FROM " + stage +
                         " WHERE action = 'skip' ORDER BY rowid LIMIT 1000")) {
                summary.skipped.push_back({fileName(row[0]), row[1].as<long>(),
                                           kind.columns[kind.keyColumns - 1].name, plan.guardWhat});
            }
        }
    }
}

// Everything decided, in one transaction. Worked-on rows are checked again
// (a handheld may have opened a note since the decision): what became worked
// on meanwhile is counted as skipped.
void PostgresImportSession::apply(const ImportRequest& request, ImportSummary& summary) {
    const auto started = std::chrono::steady_clock::now();
    pqxx::work tx(connection_);
    // The notes whose rows change (the note, its lines, or, with a day
    // replaced, what it loses) are locked first, in one order: a handheld
    // that opens one meanwhile either came first, and the checks below see
    // it worked on, or waits for this step and then finds the new rows.
    // Nothing else a handheld writes is locked.
    tx.exec_params("SELECT n.id FROM notes n WHERE n.id IN (SELECT target FROM stage_notes WHERE "
                   "action = 'update' OR delivery_day = $1 UNION SELECT ref_id FROM stage_lines "
                   "WHERE action IN ('insert', 'update')) ORDER BY n.id FOR UPDATE",
                   request.replaceDay);
    for (const KindPlan& plan : Plans()) {
        const std::string stage = Stage(plan.kind);
        const auto found = summary.kinds.find(plan.kind);
        if (found == summary.kinds.end()) {
            continue;
        }
        KindCount& count = found->second;
        const std::string guard = plan.guardStaged ? Sql(plan.guardStaged) : "false";
        const std::string join = plan.joinTable
                                     ? std::string(" JOIN ") + plan.joinTable + " ON " + plan.joinOn
                                     : std::string();
        std::string columns = plan.explicitIds ? "id" : "";
        std::string values = plan.explicitIds ? "s.target" : "";
        std::string sets;
        for (const Mapping& m : plan.columns) {
            columns += (columns.empty() ? "" : ", ") + std::string(m.column);
            values += (values.empty() ? "" : ", ") + Sql(m.value);
            sets += (sets.empty() ? "" : ", ") + std::string(m.column) + " = " + Sql(m.value);
        }
        if (count.inserted > 0) {
            const pqxx::result r =
                tx.exec("INSERT INTO " + std::string(plan.table) + "(" + columns + ") SELECT " +
                        values + " FROM " + stage + " AS s" + join +
                        " WHERE s.action = 'insert' AND NOT " + guard + " ORDER BY s.rowid");
            const long late = count.inserted - static_cast<long>(r.affected_rows());
            count.inserted -= late;
            count.skipped += late;
        }
        if (count.updated > 0) {
            const pqxx::result r = tx.exec(
                "UPDATE " + std::string(plan.table) + " AS t SET " + sets + " FROM " + stage +
                " AS s" + join + " WHERE s.action = 'update' AND t.id = s.target AND NOT " +
                (plan.guardTable ? Sql(plan.guardTable) : std::string("false")));
            const long late = count.updated - static_cast<long>(r.affected_rows());
            count.updated -= late;
            count.skipped += late;
        }
        if (std::string(plan.kind) == "notes" && count.inserted + count.updated > 0) {
            const std::string worked = kWorkedNote;
            tx.exec("DELETE FROM instructions WHERE note_id IN (SELECT target FROM stage_notes "
                    "WHERE action IN ('insert', 'update')) AND note_id NOT IN (SELECT id FROM "
                    "notes n WHERE " +
                    worked + ")");
            // One row per line of the field; a line's carriage return goes.
            tx.exec("INSERT INTO instructions(note_id, position, text) SELECT s.target, x.n, "
                    "regexp_replace(x.part, E'\\r$', '') FROM stage_notes s JOIN notes n ON n.id "
                    "= s.target CROSS JOIN LATERAL unnest(string_to_array(s.instructions, "
                    "E'\\n')) WITH ORDINALITY AS x(part, n) WHERE s.action IN ('insert', "
                    "'update') AND s.instructions <> '' AND NOT " +
                    worked);
        }
    }
    if (!request.replaceDay.empty()) {
        replaceDay(tx, request.replaceDay, summary);
    }
    tx.exec_params(
        "INSERT INTO audit(at, entity, entity_id, action, before, after) VALUES($1, "
        "'import', 0, 'import', '', $2)",
        request.time,
        FileList(request) + CountsText(summary) +
            (request.replaceDay.empty() ? std::string() : "; replace_day=" + request.replaceDay));
    tx.commit();
    summary.applied = true;
    summary.switchMilliseconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count());
}

// The files hold the day completely: what they no longer name goes, unless a
// handheld worked on it. Only plants with routes or notes of that day in the
// files: a file of another plant says nothing about this one.
void PostgresImportSession::replaceDay(pqxx::work& tx, const std::string& day,
                                       ImportSummary& summary) {
    const std::string plants = "(SELECT plant_id FROM stage_routes WHERE delivery_day = $1 UNION "
                               "SELECT plant_id FROM stage_notes WHERE delivery_day = $1)";
    const std::string worked = kWorkedNote;
    tx.exec("CREATE TEMP TABLE gone_notes(id BIGINT PRIMARY KEY) ON COMMIT DROP");
    // Locked as they are chosen: a handheld that opens one meanwhile either
    // came first (and the note stays) or finds it gone.
    tx.exec_params("INSERT INTO gone_notes SELECT n.id FROM notes n JOIN routes r ON r.id = "
                   "n.route_id WHERE r.delivery_day = $1 AND r.plant_id IN " +
                       plants +
                       " AND n.id NOT IN (SELECT target FROM stage_notes) AND n.status = 0 AND "
                       "n.held_by IS NULL FOR UPDATE OF n",
                   day);
    for (const char* table : {"instructions", "note_containers", "print_jobs", "lines"}) {
        tx.exec(std::string("DELETE FROM ") + table +
                " WHERE note_id IN (SELECT id FROM gone_notes)");
    }
    summary.kinds["notes"].removed += static_cast<long>(
        tx.exec("DELETE FROM notes WHERE id IN (SELECT id FROM gone_notes)").affected_rows());
    summary.kinds["lines"].removed += static_cast<long>(
        tx.exec_params("DELETE FROM lines WHERE note_id IN (SELECT s.target FROM stage_notes s "
                       "JOIN notes n ON n.id = s.target WHERE s.delivery_day = $1 AND NOT " +
                           worked +
                           ") AND id NOT IN (SELECT target FROM stage_lines WHERE target IS NOT "
                           "NULL)",
                       day)
            .affected_rows());
    summary.kinds["routes"].removed += static_cast<long>(
        tx.exec_params("DELETE FROM routes WHERE delivery_day = $1 AND plant_id IN " + plants +
                           " AND id NOT IN (SELECT target FROM stage_routes) AND NOT "
                           "EXISTS(SELECT 1 FROM notes n WHERE n.route_id = routes.id)",
                       day)
            .affected_rows());
}

std::string IdArray(const std::vector<Id>& ids) {
    std::vector<std::optional<std::int64_t>> values(ids.begin(), ids.end());
    return PostgresArray(values);
}

} // namespace

std::unique_ptr<ImportSession> PostgresSiteData::beginImport() {
    return std::make_unique<PostgresImportSession>(uri_);
}

// An import is one transaction here: a killed one left nothing behind.
bool PostgresSiteData::rollBackUnfinishedImport() {
    return false;
}

void PostgresSiteData::backup(const std::string&) {
    throw std::runtime_error(kPostgresBackupMessage);
}

// The day's notes on one snapshot, with a fixed number of statements however
// many notes there are. Texts sort byte by byte, as on SQLite.
std::vector<ExportNote> PostgresSiteData::exportDay(const std::string& day,
                                                    const std::string& plant) {
    pqxx::connection connection(uri_);
    pqxx::transaction<pqxx::repeatable_read, pqxx::read_only> tx(connection);
    std::vector<ExportNote> notes;
    std::vector<Id> ids;
    std::unordered_map<Id, std::size_t> index;
    for (const pqxx::row& row : tx.exec_params(
             "SELECT p.code, n.id, n.number, r.number, r.delivery_day, n.stop, n.customer, "
             "n.status, n.colli, COALESCE((SELECT MAX(created_at COLLATE \"C\") FROM print_jobs j "
             "WHERE j.note_id = n.id), '') FROM notes n JOIN routes r ON r.id = n.route_id JOIN "
             "plants p ON p.id = n.plant_id WHERE r.delivery_day = $1 AND ($2 = '' OR p.code = "
             "$2) ORDER BY p.code COLLATE \"C\", r.number, n.stop, n.number COLLATE \"C\"",
             day, plant)) {
        ExportNote n;
        n.plant = row[0].as<std::string>();
        ids.push_back(row[1].as<Id>());
        index[ids.back()] = notes.size();
        n.number = row[2].as<std::string>();
        n.route = row[3].as<int>();
        n.deliveryDay = row[4].as<std::string>();
        n.stop = row[5].as<int>();
        n.customer = row[6].as<std::string>();
        n.status = StatusName(static_cast<NoteStatus>(row[7].as<int>()));
        n.colli = row[8].as<int>();
        n.printedAt = row[9].as<std::string>();
        notes.push_back(std::move(n));
    }
    if (notes.empty()) {
        return notes;
    }
    const std::string all = IdArray(ids);
    const auto note = [&](const pqxx::field& id) -> ExportNote& {
        return notes[index.at(id.as<Id>())];
    };
    // Who opened and finished a note, from the audit trail of its state: the
    // first opening, the last finish.
    const std::string who =
        "SELECT DISTINCT ON (a.entity_id) a.entity_id, a.at, COALESCE(d.code, ''), "
        "COALESCE(e.number::TEXT, '') FROM audit a LEFT JOIN devices d ON d.id = a.device_id "
        "LEFT JOIN employees e ON e.id = a.employee_id WHERE a.entity = 'note' AND a.entity_id = "
        "ANY($1::BIGINT[]) AND a.action = 'update' AND a.after LIKE $2 ORDER BY a.entity_id, a.id";
    for (const pqxx::row& row : tx.exec_params(who, all, "status=in progress%")) {
        ExportNote& n = note(row[0]);
        n.openedAt = row[1].as<std::string>();
        n.openedBy = row[2].as<std::string>();
        n.openedEmployee = row[3].as<std::string>();
    }
    for (const pqxx::row& row : tx.exec_params(who + " DESC", all, "status=done%")) {
        ExportNote& n = note(row[0]);
        if (n.status == "done") {
            n.finishedAt = row[1].as<std::string>();
            n.finishedBy = row[2].as<std::string>();
            n.finishedEmployee = row[3].as<std::string>();
        }
    }
    for (const pqxx::row& row :
         tx.exec_params("SELECT note_id, position, product_code, description, ordered, delivered "
                        "FROM lines WHERE note_id = ANY($1::BIGINT[]) ORDER BY note_id, "
                        "position, id",
                        all)) {
        note(row[0]).lines.push_back({row[1].as<int>(), row[2].as<std::string>(),
                                      row[3].as<std::string>(), row[4].as<int>(),
                                      row[5].as<int>()});
    }
    for (const pqxx::row& row :
         tx.exec_params("SELECT note_id, code, scanned_at FROM note_containers WHERE note_id = "
                        "ANY($1::BIGINT[]) ORDER BY note_id, id",
                        all)) {
        note(row[0]).containers.push_back({row[1].as<std::string>(), row[2].as<std::string>()});
    }
    for (const pqxx::row& row :
         tx.exec_params("SELECT note_id, code, product_code, bundle, quantity, scanned_at FROM "
                        "pool_units WHERE note_id = ANY($1::BIGINT[]) ORDER BY note_id, "
                        "scanned_at COLLATE \"C\", id",
                        all)) {
        note(row[0]).pool.push_back({row[1].as<std::string>(), row[2].as<std::string>(),
                                     row[3].as<std::int64_t>() != 0, row[4].as<int>(),
                                     row[5].as<std::string>()});
    }
    tx.commit();
    return notes;
}

PruneSummary PostgresSiteData::prune(const std::string& day, const std::string& time) {
    pqxx::connection connection(uri_);
    pqxx::work tx(connection);
    PruneSummary summary;
    for (const char* table : {"prune_routes", "prune_notes", "prune_lines", "prune_pool"}) {
        tx.exec(std::string("CREATE TEMP TABLE ") + table +
                "(id BIGINT PRIMARY KEY) ON COMMIT DROP");
    }
    // The old notes are locked first: a handheld that opens one meanwhile
    // either came first (and its route stays) or finds it gone.
    tx.exec_params("SELECT n.id FROM notes n JOIN routes r ON r.id = n.route_id WHERE "
                   "r.delivery_day < $1 FOR UPDATE OF n",
                   day);
    // A route with a note in progress (or held) stays whole.
    tx.exec_params("INSERT INTO prune_routes SELECT id FROM routes r WHERE delivery_day < $1 AND "
                   "NOT EXISTS(SELECT 1 FROM notes n WHERE n.route_id = r.id AND (n.status = 1 "
                   "OR n.held_by IS NOT NULL))",
                   day);
    summary.keptInProgress =
        tx.exec_params1("SELECT COUNT(*) FROM notes n JOIN routes r ON r.id = n.route_id WHERE "
                        "r.delivery_day < $1 AND (n.status = 1 OR n.held_by IS NOT NULL)",
                        day)[0]
            .as<long>();
    tx.exec("INSERT INTO prune_notes SELECT id FROM notes WHERE route_id IN (SELECT id FROM "
            "prune_routes)");
    tx.exec("INSERT INTO prune_lines SELECT id FROM lines WHERE note_id IN (SELECT id FROM "
            "prune_notes)");
    tx.exec("INSERT INTO prune_pool SELECT id FROM pool_units WHERE note_id IN (SELECT id FROM "
            "prune_notes)");
    const auto run = [&tx](const char* sql) {
        return static_cast<long>(tx.exec(sql).affected_rows());
    };
    summary.auditEntries =
        run("DELETE FROM audit WHERE entity = 'note' AND entity_id IN (SELECT id FROM "
            "prune_notes)") +
        run("DELETE FROM audit WHERE entity = 'line' AND entity_id IN (SELECT id FROM "
            "prune_lines)") +
        run("DELETE FROM audit WHERE entity IN ('pool_item', 'bundle') AND entity_id IN (SELECT "
            "id FROM prune_pool)");
    summary.poolUnits = run("DELETE FROM pool_units WHERE id IN (SELECT id FROM prune_pool)");
    summary.printJobs = run("DELETE FROM print_jobs WHERE note_id IN (SELECT id FROM prune_notes)");
    summary.containers =
        run("DELETE FROM note_containers WHERE note_id IN (SELECT id FROM prune_notes)");
    run("DELETE FROM instructions WHERE note_id IN (SELECT id FROM prune_notes)");
    summary.lines = run("DELETE FROM lines WHERE id IN (SELECT id FROM prune_lines)");
    summary.notes = run("DELETE FROM notes WHERE id IN (SELECT id FROM prune_notes)");
    run("DELETE FROM scan_events WHERE route_id IN (SELECT id FROM prune_routes)");
    summary.routes = run("DELETE FROM routes WHERE id IN (SELECT id FROM prune_routes)");
    if (summary.routes > 0) {
        tx.exec_params("INSERT INTO audit(at, entity, entity_id, action, before, after) VALUES($1, "
                       "'prune', 0, 'prune', $2, $3)",
                       time, "delivered before " + day,
                       "routes=" + std::to_string(summary.routes) +
                           "; notes=" + std::to_string(summary.notes) +
                           "; lines=" + std::to_string(summary.lines) +
                           "; containers=" + std::to_string(summary.containers) +
                           "; pool=" + std::to_string(summary.poolUnits) +
                           "; prints=" + std::to_string(summary.printJobs) +
                           "; audit=" + std::to_string(summary.auditEntries));
    }
    tx.commit();
    return summary;
}

} // namespace backoffice
