#include "backoffice/sqlite_store.h"

#include "backoffice/sqlite.h"
#include "backoffice/store_rows.h"

#include <algorithm>
#include <sqlite3.h>
#include <string_view>

namespace backoffice {

const char* StatusName(NoteStatus status) {
    switch (status) {
    case NoteStatus::New:
        return "new";
    case NoteStatus::InProgress:
        return "in progress";
    case NoteStatus::Done:
        return "done";
    }
    return "?";
}

namespace {

// Each entry brings the schema from version i to i + 1. Never edit one that
// has shipped: add the next.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE plants(
  id INTEGER PRIMARY KEY,
  code TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL,
  street TEXT NOT NULL DEFAULT '',
  city TEXT NOT NULL DEFAULT '',
  zip TEXT NOT NULL DEFAULT '',
  state TEXT NOT NULL DEFAULT '',
  language TEXT NOT NULL DEFAULT 'English',
  aord INTEGER NOT NULL DEFAULT 0,
  dnpp INTEGER NOT NULL DEFAULT 0,
  pof INTEGER NOT NULL DEFAULT 0,
  pcs INTEGER NOT NULL DEFAULT 0,
  dnenr INTEGER NOT NULL DEFAULT 0,
  dnc INTEGER NOT NULL DEFAULT 0,
  opi INTEGER NOT NULL DEFAULT 0,
  acs INTEGER NOT NULL DEFAULT 0,
  asb INTEGER NOT NULL DEFAULT 0,
  spn INTEGER NOT NULL DEFAULT 0,
  default_department INTEGER,
  demo INTEGER NOT NULL DEFAULT 0);
CREATE TABLE devices(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  code TEXT NOT NULL,
  registered_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')),
  UNIQUE(plant_id, code));
CREATE TABLE departments(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  number INTEGER NOT NULL,
  code TEXT NOT NULL,
  description TEXT NOT NULL);
CREATE TABLE employees(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  number INTEGER NOT NULL,
  name TEXT NOT NULL,
  UNIQUE(plant_id, number));
CREATE TABLE container_ranges(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  length INTEGER NOT NULL,
  minimum TEXT NOT NULL,
  maximum TEXT NOT NULL);
CREATE TABLE routes(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  department_id INTEGER NOT NULL REFERENCES departments(id),
  number INTEGER NOT NULL,
  description TEXT NOT NULL,
  production_day TEXT NOT NULL,
  delivery_day TEXT NOT NULL);
CREATE INDEX routes_by_delivery ON routes(plant_id, delivery_day, department_id);
CREATE INDEX routes_by_production ON routes(plant_id, production_day, department_id);
CREATE TABLE notes(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  route_id INTEGER NOT NULL REFERENCES routes(id),
  number TEXT NOT NULL,
  customer TEXT NOT NULL,
  status INTEGER NOT NULL DEFAULT 0,
  process_mode INTEGER NOT NULL DEFAULT 0,
  colli INTEGER NOT NULL DEFAULT 0,
  stop INTEGER NOT NULL DEFAULT 0,
  department_id INTEGER REFERENCES departments(id),
  collection_point INTEGER NOT NULL DEFAULT 0,
  collection_point_name TEXT NOT NULL DEFAULT '',
  transport_article TEXT NOT NULL DEFAULT '',
  remark TEXT NOT NULL DEFAULT '',
  held_by INTEGER REFERENCES devices(id),
  hold_kind INTEGER NOT NULL DEFAULT 0,
  hold_start INTEGER NOT NULL DEFAULT 0,
  hold_touched INTEGER NOT NULL DEFAULT 0,
  held_since TEXT NOT NULL DEFAULT '',
  UNIQUE(plant_id, number));
CREATE INDEX notes_by_route ON notes(route_id, status, stop);
CREATE INDEX notes_by_holder ON notes(held_by) WHERE held_by IS NOT NULL;
CREATE TABLE lines(
  id INTEGER PRIMARY KEY,
  note_id INTEGER NOT NULL REFERENCES notes(id),
  position INTEGER NOT NULL,
  product_code TEXT NOT NULL,
  description TEXT NOT NULL,
  size TEXT NOT NULL DEFAULT '',
  packaging TEXT NOT NULL DEFAULT '',
  ordered INTEGER NOT NULL,
  delivered INTEGER NOT NULL DEFAULT 0,
  minimum INTEGER NOT NULL DEFAULT 0,
  maximum INTEGER NOT NULL DEFAULT 0,
  counted INTEGER NOT NULL DEFAULT 0,
  count_minimum INTEGER NOT NULL DEFAULT 0,
  count_maximum INTEGER NOT NULL DEFAULT 0,
  bundles_scanned INTEGER NOT NULL DEFAULT 0);
CREATE INDEX lines_by_note ON lines(note_id, position);
CREATE TABLE instructions(
  note_id INTEGER NOT NULL REFERENCES notes(id),
  position INTEGER NOT NULL,
  text TEXT NOT NULL,
  PRIMARY KEY(note_id, position));
CREATE TABLE note_containers(
  id INTEGER PRIMARY KEY,
  note_id INTEGER NOT NULL REFERENCES notes(id),
  code TEXT NOT NULL,
  scanned_at TEXT NOT NULL,
  device_id INTEGER REFERENCES devices(id),
  UNIQUE(note_id, code));
CREATE INDEX containers_by_code ON note_containers(code);
CREATE TABLE pool_units(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  bundle INTEGER NOT NULL,
  code TEXT NOT NULL,
  product_code TEXT NOT NULL,
  quantity INTEGER NOT NULL DEFAULT 1,
  needs_confirm INTEGER NOT NULL DEFAULT 0,
  note_id INTEGER REFERENCES notes(id),
  line_id INTEGER REFERENCES lines(id),
  scanned_at TEXT NOT NULL DEFAULT '',
  UNIQUE(plant_id, code));
CREATE TABLE print_jobs(
  id INTEGER PRIMARY KEY,
  note_id INTEGER NOT NULL REFERENCES notes(id),
  device_id INTEGER REFERENCES devices(id),
  employee_id INTEGER,
  colli INTEGER NOT NULL,
  order_form INTEGER NOT NULL,
  file TEXT NOT NULL,
  status TEXT NOT NULL,
  message TEXT NOT NULL DEFAULT '',
  created_at TEXT NOT NULL);
CREATE TABLE audit(
  id INTEGER PRIMARY KEY,
  at TEXT NOT NULL,
  device_id INTEGER,
  employee_id INTEGER,
  entity TEXT NOT NULL,
  entity_id INTEGER NOT NULL,
  action TEXT NOT NULL,
  before TEXT NOT NULL,
  after TEXT NOT NULL);
CREATE INDEX audit_by_entity ON audit(entity, entity_id);
)sql",
    // What the supervisor's dashboard shows and the handhelds never ask for:
    // when a note was taken and done, when a route last moved, the scans of a
    // route by time, and each handheld's last exchange. Triggers record it in
    // the transaction of the change itself, so no exchange pays a write of its
    // own and nothing on the wire changes.
    R"sql(
ALTER TABLE notes ADD COLUMN held_from TEXT NOT NULL DEFAULT '';
ALTER TABLE notes ADD COLUMN done_at TEXT NOT NULL DEFAULT '';
ALTER TABLE routes ADD COLUMN last_activity TEXT NOT NULL DEFAULT '';
-- The route's notes by state, kept as they change: the dashboard's day of a
-- thousand routes reads them instead of counting a hundred thousand notes.
ALTER TABLE routes ADD COLUMN notes_new INTEGER NOT NULL DEFAULT 0;
ALTER TABLE routes ADD COLUMN notes_in_progress INTEGER NOT NULL DEFAULT 0;
ALTER TABLE routes ADD COLUMN notes_done INTEGER NOT NULL DEFAULT 0;
UPDATE routes SET
  notes_new = (SELECT COUNT(*) FROM notes WHERE route_id = routes.id AND status = 0),
  notes_in_progress = (SELECT COUNT(*) FROM notes WHERE route_id = routes.id AND status = 1),
  notes_done = (SELECT COUNT(*) FROM notes WHERE route_id = routes.id AND status = 2);
CREATE TRIGGER note_counted AFTER INSERT ON notes BEGIN
  UPDATE routes SET notes_new = notes_new + (NEW.status = 0),
    notes_in_progress = notes_in_progress + (NEW.status = 1),
    notes_done = notes_done + (NEW.status = 2) WHERE id = NEW.route_id;
END;
CREATE TRIGGER note_uncounted AFTER DELETE ON notes BEGIN
  UPDATE routes SET notes_new = notes_new - (OLD.status = 0),
    notes_in_progress = notes_in_progress - (OLD.status = 1),
    notes_done = notes_done - (OLD.status = 2) WHERE id = OLD.route_id;
END;
CREATE TRIGGER note_recounted AFTER UPDATE OF status, route_id ON notes
WHEN NEW.status <> OLD.status OR NEW.route_id <> OLD.route_id BEGIN
  UPDATE routes SET notes_new = notes_new - (OLD.status = 0),
    notes_in_progress = notes_in_progress - (OLD.status = 1),
    notes_done = notes_done - (OLD.status = 2) WHERE id = OLD.route_id;
  UPDATE routes SET notes_new = notes_new + (NEW.status = 0),
    notes_in_progress = notes_in_progress + (NEW.status = 1),
    notes_done = notes_done + (NEW.status = 2) WHERE id = NEW.route_id;
END;
CREATE TABLE scan_events(
  id INTEGER PRIMARY KEY,
  route_id INTEGER NOT NULL REFERENCES routes(id),
  kind INTEGER NOT NULL, -- 0 container, 1 pool item or bundle, 2 delivered quantity, 3 note done
  at TEXT NOT NULL);
CREATE INDEX scan_events_by_route ON scan_events(route_id, at);
CREATE TABLE device_activity(
  device_id INTEGER PRIMARY KEY REFERENCES devices(id),
  at TEXT NOT NULL,
  function TEXT NOT NULL,
  employee_id INTEGER);
CREATE TRIGGER note_held AFTER UPDATE OF held_by ON notes
WHEN NEW.held_by IS NOT OLD.held_by BEGIN
  UPDATE notes SET held_from = CASE WHEN NEW.held_by IS NULL THEN ''
    ELSE strftime('%Y-%m-%dT%H:%M:%fZ', 'now') END WHERE id = NEW.id;
END;
CREATE TRIGGER note_status AFTER UPDATE OF status ON notes
WHEN NEW.status <> OLD.status BEGIN
  UPDATE notes SET done_at = CASE WHEN NEW.status = 2
    THEN strftime('%Y-%m-%dT%H:%M:%fZ', 'now') ELSE '' END WHERE id = NEW.id;
  UPDATE routes SET last_activity = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE id = NEW.route_id;
  INSERT INTO scan_events(route_id, kind, at) SELECT NEW.route_id, 3,
    strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE NEW.status = 2;
END;
-- The time a container arrived, not the handheld's own clock (a local time
-- of a device that may be wrong), so that all events compare. Only a
-- handheld's scan is a scan; a container that came with the data moves the
-- route but counts as none.
CREATE TRIGGER container_scanned AFTER INSERT ON note_containers BEGIN
  UPDATE routes SET last_activity = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')
    WHERE id = (SELECT route_id FROM notes WHERE id = NEW.note_id);
  INSERT INTO scan_events(route_id, kind, at) SELECT route_id, 0,
    strftime('%Y-%m-%dT%H:%M:%fZ', 'now') FROM notes
    WHERE id = NEW.note_id AND NEW.device_id IS NOT NULL;
END;
CREATE TRIGGER pool_scanned AFTER UPDATE OF note_id ON pool_units
WHEN NEW.note_id IS NOT NULL AND NEW.note_id IS NOT OLD.note_id BEGIN
  UPDATE routes SET last_activity = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')
    WHERE id = (SELECT route_id FROM notes WHERE id = NEW.note_id);
  INSERT INTO scan_events(route_id, kind, at) SELECT route_id, 1,
    strftime('%Y-%m-%dT%H:%M:%fZ', 'now') FROM notes WHERE id = NEW.note_id;
END;
-- A pool scan counts its item onto the line right after the pool trigger
-- recorded it: that change is the scan, no quantity saved by hand.
CREATE TRIGGER quantity_saved AFTER UPDATE OF delivered ON lines
WHEN NEW.delivered <> OLD.delivered BEGIN
  UPDATE routes SET last_activity = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')
    WHERE id = (SELECT route_id FROM notes WHERE id = NEW.note_id);
  INSERT INTO scan_events(route_id, kind, at) SELECT n.route_id, 2,
    strftime('%Y-%m-%dT%H:%M:%fZ', 'now') FROM notes n WHERE n.id = NEW.note_id
    AND NOT EXISTS (SELECT 1 FROM scan_events e WHERE e.id =
      (SELECT MAX(id) FROM scan_events WHERE route_id = n.route_id)
      AND e.kind = 1 AND e.at >= strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-1 seconds'));
END;
)sql",
    // Keys of the ERP's data for the import, products for the lines, and the
    // lookups of export and retention.
    R"sql(
CREATE TABLE products(
  id INTEGER PRIMARY KEY,
  plant_id INTEGER NOT NULL REFERENCES plants(id),
  code TEXT NOT NULL,
  description TEXT NOT NULL,
  size TEXT NOT NULL DEFAULT '',
  packaging TEXT NOT NULL DEFAULT '',
  pool INTEGER NOT NULL DEFAULT 0,
  UNIQUE(plant_id, code));
CREATE UNIQUE INDEX departments_key ON departments(plant_id, number);
CREATE UNIQUE INDEX routes_key ON routes(plant_id, delivery_day, number);
CREATE INDEX print_jobs_by_note ON print_jobs(note_id);
CREATE INDEX pool_units_by_note ON pool_units(note_id) WHERE note_id IS NOT NULL;
)sql",
    // Lookups that stay one index descent however many scans a site keeps:
    // a container code's latest notes, in order, and a route's last scan
    // (before, a walk over all of the route's scans).
    R"sql(
DROP INDEX containers_by_code;
CREATE INDEX containers_by_code ON note_containers(code, id);
CREATE INDEX scan_events_by_route_id ON scan_events(route_id, id);
)sql",
    // A quantity saved by hand within a second of a pool scan on the same
    // route, by any handheld, was taken for that scan's own count and left
    // out of the hourly figures. The pool scan's count is now told exactly:
    // it is the change that follows the scan's audit entry, in the same
    // transaction (one writer: nothing comes between), and it counts onto
    // the line the scanned unit was put on.
    R"sql(
DROP TRIGGER quantity_saved;
CREATE TRIGGER quantity_saved AFTER UPDATE OF delivered ON lines
WHEN NEW.delivered <> OLD.delivered BEGIN
  UPDATE routes SET last_activity = strftime('%Y-%m-%dT%H:%M:%fZ', 'now')
    WHERE id = (SELECT route_id FROM notes WHERE id = NEW.note_id);
  INSERT INTO scan_events(route_id, kind, at) SELECT n.route_id, 2,
    strftime('%Y-%m-%dT%H:%M:%fZ', 'now') FROM notes n WHERE n.id = NEW.note_id
    AND NOT EXISTS (SELECT 1 FROM audit a JOIN pool_units u ON u.id = a.entity_id
      WHERE a.id = (SELECT MAX(id) FROM audit) AND a.entity IN ('pool_item', 'bundle')
      AND a.action = 'scan' AND u.line_id = NEW.id);
END;
)sql",
    // PostgreSQL dropped the key from a scan's row to its route, whose check
    // locks the route's row there; SQLite's check locks nothing, and stays.
    R"sql(
-- nothing to change
)sql",
};

constexpr int kVersion = static_cast<int>(std::size(kMigrations));

// A note is there for the handhelds only with its route: an import writes the
// notes of new routes ahead and brings the routes last, in one short step.
const std::string kNoteReachable = "EXISTS(SELECT 1 FROM routes r WHERE r.id = notes.route_id)";

// Another process held SQLite's write lock past the busy timeout: the
// exchange lost a race, and a second try will find the lock free.
std::exception_ptr asConflict(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const sqlite::Error& e) {
        const int primary = e.code() & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
            return std::make_exception_ptr(StoreConflict(e.what()));
        }
    } catch (...) {
    }
    return error;
}

} // namespace

using namespace rows;

class SqliteTransaction : public StoreTransaction {
public:
    SqliteTransaction(SqliteStore& store, bool write)
        : store_(store), owned_(store.acquire()), db_(owned_.get()) {
        if (write) {
            writeTurn_ = store_.writerTurn();
        }
        try {
            transaction_.emplace(*db_, write);
        } catch (...) {
            std::rethrow_exception(asConflict(std::current_exception()));
        }
    }
    // One piece of work inside the writer's batch transaction: no BEGIN or
    // COMMIT of its own.
    SqliteTransaction(SqliteStore& store, sqlite::Database& batch) : store_(store), db_(&batch) {}
    ~SqliteTransaction() override {
        transaction_.reset();
        if (owned_) {
            store_.release(std::move(owned_));
        }
    }

    void setActor(const Actor& actor) override { actor_ = actor; }
    // The file lives on this machine (WAL needs that), so every user of it
    // shares this clock.
    std::chrono::system_clock::time_point now() override {
        return std::chrono::system_clock::now();
    }
    sqlite::Database& database() { return *db_; }

    std::optional<Plant> plantByCode(const std::string& code) override {
        auto q = db_->query("SELECT " + kPlantColumns + " FROM plants WHERE code = ?");
        q.bind(1, code);
        return q.next() ? std::optional(readPlant(q)) : std::nullopt;
    }
    std::optional<Plant> plant(Id id) override {
        auto q = db_->query("SELECT " + kPlantColumns + " FROM plants WHERE id = ?");
        q.bind(1, id);
        return q.next() ? std::optional(readPlant(q)) : std::nullopt;
    }
    std::optional<Device> deviceByCode(Id plantId, const std::string& code) override {
        auto q =
            db_->query("SELECT id, plant_id, code FROM devices WHERE plant_id = ? AND code = ?");
        q.bind(1, plantId).bind(2, code);
        return q.next() ? std::optional(Device{q.integer(0), q.integer(1), q.text(2)})
                        : std::nullopt;
    }
    std::optional<Device> device(Id id) override {
        auto q = db_->query("SELECT id, plant_id, code FROM devices WHERE id = ?");
        q.bind(1, id);
        return q.next() ? std::optional(Device{q.integer(0), q.integer(1), q.text(2)})
                        : std::nullopt;
    }
    Device registerDevice(Id plantId, const std::string& code) override {
        db_->query("INSERT INTO devices(plant_id, code) VALUES(?, ?)")
            .bind(1, plantId)
            .bind(2, code)
            .run();
        const Device device{db_->lastInsertId(), plantId, code};
        audit("device", device.id, "register", "",
              "plant=" + std::to_string(plantId) + "; code=" + code);
        return device;
    }
    std::vector<Department> departments(Id plantId) override {
        auto q = db_->query("SELECT id, plant_id, number, code, description FROM departments "
                            "WHERE plant_id = ? ORDER BY number, id");
        q.bind(1, plantId);
        std::vector<Department> out;
        while (q.next()) {
            out.push_back(
                {q.integer(0), q.integer(1), static_cast<int>(q.integer(2)), q.text(3), q.text(4)});
        }
        return out;
    }
    std::optional<Department> department(Id id) override {
        auto q = db_->query(
            "SELECT id, plant_id, number, code, description FROM departments WHERE id = ?");
        q.bind(1, id);
        if (!q.next()) {
            return std::nullopt;
        }
        return Department{q.integer(0), q.integer(1), static_cast<int>(q.integer(2)), q.text(3),
                          q.text(4)};
    }
    std::vector<ContainerRange> containerRanges(Id plantId) override {
        auto q = db_->query("SELECT length, minimum, maximum FROM container_ranges "
                            "WHERE plant_id = ? ORDER BY id");
        q.bind(1, plantId);
        std::vector<ContainerRange> out;
        while (q.next()) {
            out.push_back({static_cast<int>(q.integer(0)), q.text(1), q.text(2)});
        }
        return out;
    }
    std::optional<Employee> employeeByNumber(Id plantId, std::int64_t number) override {
        auto q = db_->query(
            "SELECT id, plant_id, number, name FROM employees WHERE plant_id = ? AND number = ?");
        q.bind(1, plantId).bind(2, number);
        return q.next()
                   ? std::optional(Employee{q.integer(0), q.integer(1), q.integer(2), q.text(3)})
                   : std::nullopt;
    }
    std::optional<Employee> employee(Id id) override {
        auto q = db_->query("SELECT id, plant_id, number, name FROM employees WHERE id = ?");
        q.bind(1, id);
        return q.next()
                   ? std::optional(Employee{q.integer(0), q.integer(1), q.integer(2), q.text(3)})
                   : std::nullopt;
    }

    std::vector<Route> routes(Id plantId, std::optional<Id> departmentId, const std::string& day,
                              bool byDelivery) override {
        // Each branch uses its own index; the counters come from the notes of
        // the routes found, never from a scan of all notes.
        const std::string dayColumn = byDelivery ? "delivery_day" : "production_day";
        std::string sql =
            "SELECT r.id, r.plant_id, r.department_id, r.number, r.description, r.production_day, "
            "r.delivery_day, "
            "(SELECT COUNT(*) FROM notes n WHERE n.route_id = r.id AND n.status = 0), "
            "(SELECT COUNT(*) FROM notes n WHERE n.route_id = r.id AND n.status = 1), "
            "(SELECT COUNT(*) FROM notes n WHERE n.route_id = r.id AND n.status = 2) "
            "FROM routes r WHERE r.plant_id = ? AND r." +
            dayColumn + " = ?";
        if (departmentId) {
            sql += " AND r.department_id = ?";
        }
        sql += " ORDER BY r.number, r.id";
        auto q = db_->query(sql);
        q.bind(1, plantId).bind(2, day);
        if (departmentId) {
            q.bind(3, *departmentId);
        }
        std::vector<Route> out;
        while (q.next()) {
            out.push_back(readRoute(q));
        }
        return out;
    }
    std::optional<Route> route(Id id) override {
        auto q = db_->query(
            "SELECT r.id, r.plant_id, r.department_id, r.number, r.description, r.production_day, "
            "r.delivery_day, "
            "(SELECT COUNT(*) FROM notes n WHERE n.route_id = r.id AND n.status = 0), "
            "(SELECT COUNT(*) FROM notes n WHERE n.route_id = r.id AND n.status = 1), "
            "(SELECT COUNT(*) FROM notes n WHERE n.route_id = r.id AND n.status = 2) "
            "FROM routes r WHERE r.id = ?");
        q.bind(1, id);
        return q.next() ? std::optional(readRoute(q)) : std::nullopt;
    }

    std::optional<Note> note(Id id) override {
        auto q =
            db_->query("SELECT " + kNoteColumns + " FROM notes WHERE id = ? AND " + kNoteReachable);
        q.bind(1, id);
        return q.next() ? std::optional(readNote(q)) : std::nullopt;
    }
    // One writer at a time holds the whole file: nothing more to lock.
    std::optional<Note> noteToChange(Id id) override { return note(id); }
    std::optional<Note> noteByNumber(Id plantId, const std::string& number) override {
        auto q = db_->query("SELECT " + kNoteColumns +
                            " FROM notes WHERE plant_id = ? AND number = ? "
                            "AND " +
                            kNoteReachable);
        q.bind(1, plantId).bind(2, number);
        return q.next() ? std::optional(readNote(q)) : std::nullopt;
    }
    std::vector<Note> notes(Id routeId, NoteStatus status) override {
        auto q = db_->query("SELECT " + kNoteColumns +
                            " FROM notes WHERE route_id = ? AND status = ? ORDER BY stop, number");
        q.bind(1, routeId).bind(2, static_cast<std::int64_t>(status));
        std::vector<Note> out;
        while (q.next()) {
            out.push_back(readNote(q));
        }
        return out;
    }
    std::optional<Note> nextNewNote(Id routeId) override {
        auto q = db_->query("SELECT " + kNoteColumns +
                            " FROM notes WHERE route_id = ? AND status = 0 AND held_by IS NULL "
                            "ORDER BY stop, number LIMIT 1");
        q.bind(1, routeId);
        return q.next() ? std::optional(readNote(q)) : std::nullopt;
    }
    std::vector<Note> notesHeldBy(Id deviceId) override {
        auto q = db_->query("SELECT " + kNoteColumns + " FROM notes WHERE held_by = ?");
        q.bind(1, deviceId);
        std::vector<Note> out;
        while (q.next()) {
            out.push_back(readNote(q));
        }
        return out;
    }
    void updateNote(const Note& before, const Note& after) override {
        Difference d;
        d.field("status", before.status, after.status);
        d.field("held_by", before.heldBy, after.heldBy);
        d.field("hold_kind", before.holdKind, after.holdKind);
        d.field("hold_start", before.holdStart, after.holdStart);
        d.field("hold_touched", before.holdTouched, after.holdTouched);
        d.field("colli", before.colli, after.colli);
        db_->query("UPDATE notes SET status = ?, colli = ?, held_by = ?, hold_kind = ?, "
                   "hold_start = ?, hold_touched = ?, held_since = ? WHERE id = ? AND status = ? "
                   "AND colli = ? AND held_by IS ? AND hold_kind = ? AND hold_start = ? AND "
                   "hold_touched = ? AND held_since = ?")
            .bind(1, static_cast<std::int64_t>(after.status))
            .bind(2, static_cast<std::int64_t>(after.colli))
            .bindOptional(3, after.heldBy)
            .bind(4, static_cast<std::int64_t>(after.holdKind))
            .bind(5, static_cast<std::int64_t>(after.holdStart))
            .bind(6, static_cast<std::int64_t>(after.holdTouched))
            .bind(7, after.heldSince)
            .bind(8, after.id)
            .bind(9, static_cast<std::int64_t>(before.status))
            .bind(10, static_cast<std::int64_t>(before.colli))
            .bindOptional(11, before.heldBy)
            .bind(12, static_cast<std::int64_t>(before.holdKind))
            .bind(13, static_cast<std::int64_t>(before.holdStart))
            .bind(14, static_cast<std::int64_t>(before.holdTouched))
            .bind(15, before.heldSince)
            .run();
        if (db_->changes() != 1) {
            throw StoreConflict("note " + std::to_string(after.id) + " changed meanwhile");
        }
        if (!d.empty()) {
            audit("note", after.id, "update", d.before(), d.after());
        }
    }

    std::vector<Line> lines(Id noteId) override {
        auto q = db_->query("SELECT " + kLineColumns +
                            " FROM lines WHERE note_id = ? ORDER BY position, id");
        q.bind(1, noteId);
        std::vector<Line> out;
        while (q.next()) {
            out.push_back(readLine(q));
        }
        return out;
    }
    void updateLine(const Line& before, const Line& after) override {
        Difference d;
        d.field("delivered", before.delivered, after.delivered);
        d.field("bundles_scanned", before.bundlesScanned, after.bundlesScanned);
        if (d.empty()) {
            return;
        }
        db_->query("UPDATE lines SET delivered = ?, bundles_scanned = ? WHERE id = ? AND "
                   "delivered = ? AND bundles_scanned = ?")
            .bind(1, static_cast<std::int64_t>(after.delivered))
            .bind(2, static_cast<std::int64_t>(after.bundlesScanned))
            .bind(3, after.id)
            .bind(4, static_cast<std::int64_t>(before.delivered))
            .bind(5, static_cast<std::int64_t>(before.bundlesScanned))
            .run();
        if (db_->changes() != 1) {
            throw StoreConflict("line " + std::to_string(after.id) + " changed meanwhile");
        }
        audit("line", after.id, "update", d.before(), d.after());
    }
    std::vector<std::string> instructions(Id noteId) override {
        auto q = db_->query("SELECT text FROM instructions WHERE note_id = ? ORDER BY position");
        q.bind(1, noteId);
        std::vector<std::string> out;
        while (q.next()) {
            out.push_back(q.text(0));
        }
        return out;
    }

    std::vector<ContainerOnNote> containers(Id noteId) override {
        auto q = db_->query("SELECT id, note_id, code, scanned_at FROM note_containers "
                            "WHERE note_id = ? ORDER BY id");
        q.bind(1, noteId);
        std::vector<ContainerOnNote> out;
        while (q.next()) {
            out.push_back({q.integer(0), q.integer(1), q.text(2), q.text(3), NoteStatus::New, ""});
        }
        return out;
    }
    std::vector<ContainerOnNote> containerHistory(Id plantId, const std::string& code) override {
        auto q = db_->query("SELECT c.id, c.note_id, c.code, c.scanned_at, n.status, n.number "
                            "FROM note_containers c JOIN notes n ON n.id = c.note_id "
                            "WHERE c.code = ? AND n.plant_id = ? ORDER BY c.id DESC LIMIT 50");
        q.bind(1, code).bind(2, plantId);
        std::vector<ContainerOnNote> out;
        while (q.next()) {
            out.push_back(readContainerHistory(q));
        }
        return out;
    }
    void addContainer(Id noteId, const std::string& code, const std::string& scannedAt) override {
        db_->query("INSERT INTO note_containers(note_id, code, scanned_at, device_id) VALUES(?, ?, "
                   "?, ?)")
            .bind(1, noteId)
            .bind(2, code)
            .bind(3, scannedAt)
            .bindOptional(4, actor_.deviceId)
            .run();
        audit("note", noteId, "container", "", "container=" + code);
    }

    std::optional<PoolUnit> poolUnitByCode(Id plantId, const std::string& code) override {
        auto q = db_->query("SELECT " + kPoolColumns +
                            " FROM pool_units WHERE plant_id = ? AND code = ?");
        q.bind(1, plantId).bind(2, code);
        return q.next() ? std::optional(readPoolUnit(q)) : std::nullopt;
    }
    std::optional<PoolUnit> poolUnit(Id id) override {
        auto q = db_->query("SELECT " + kPoolColumns + " FROM pool_units WHERE id = ?");
        q.bind(1, id);
        return q.next() ? std::optional(readPoolUnit(q)) : std::nullopt;
    }
    void updatePoolUnit(const PoolUnit& before, const PoolUnit& after) override {
        Difference d;
        d.field("note", before.noteId, after.noteId);
        d.field("line", before.lineId, after.lineId);
        d.field("scanned_at", before.scannedAt, after.scannedAt);
        db_->query("UPDATE pool_units SET note_id = ?, line_id = ?, scanned_at = ? WHERE id = ? "
                   "AND note_id IS ? AND line_id IS ?")
            .bindOptional(1, after.noteId)
            .bindOptional(2, after.lineId)
            .bind(3, after.scannedAt)
            .bind(4, after.id)
            .bindOptional(5, before.noteId)
            .bindOptional(6, before.lineId)
            .run();
        if (db_->changes() != 1) {
            throw StoreConflict("pool unit " + std::to_string(after.id) + " changed meanwhile");
        }
        if (!d.empty()) {
            audit(after.bundle ? "bundle" : "pool_item", after.id, "scan", d.before(), d.after());
        }
    }

    Id addPrintJob(const PrintJob& job) override {
        db_->query(
               "INSERT INTO print_jobs(note_id, device_id, employee_id, colli, order_form, file, "
               "status, message, created_at) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, job.noteId)
            .bindOptional(2, actor_.deviceId)
            .bindOptional(3, actor_.employeeId)
            .bind(4, static_cast<std::int64_t>(job.colli))
            .bind(5, static_cast<std::int64_t>(job.orderForm))
            .bind(6, job.file)
            .bind(7, job.status)
            .bind(8, job.message)
            .bind(9, actor_.time)
            .run();
        const Id id = db_->lastInsertId();
        audit("note", job.noteId, "print", "",
              "job=" + std::to_string(id) + "; colli=" + std::to_string(job.colli) +
                  "; order_form=" + (job.orderForm ? "1" : "0") + "; status=" + job.status);
        return id;
    }

    Id insertPlant(const Plant& p) override {
        db_->query("INSERT INTO plants(code, name, street, city, zip, state, language, aord, dnpp, "
                   "pof, pcs, dnenr, dnc, opi, acs, asb, spn, demo) "
                   "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, p.code)
            .bind(2, p.name)
            .bind(3, p.street)
            .bind(4, p.city)
            .bind(5, p.zip)
            .bind(6, p.state)
            .bind(7, p.language)
            .bind(8, std::int64_t{p.flags.AORD})
            .bind(9, std::int64_t{p.flags.DNPP})
            .bind(10, std::int64_t{p.flags.POF})
            .bind(11, std::int64_t{p.flags.PCS})
            .bind(12, std::int64_t{p.flags.DNENR})
            .bind(13, std::int64_t{p.flags.DNC})
            .bind(14, std::int64_t{p.flags.OPI})
            .bind(15, std::int64_t{p.flags.ACS})
            .bind(16, std::int64_t{p.flags.ASB})
            .bind(17, std::int64_t{p.flags.SPN})
            .bind(18, std::int64_t{p.demo})
            .run();
        return db_->lastInsertId();
    }
    Id insertDepartment(const Department& d) override {
        db_->query(
               "INSERT INTO departments(plant_id, number, code, description) VALUES(?, ?, ?, ?)")
            .bind(1, d.plantId)
            .bind(2, std::int64_t{d.number})
            .bind(3, d.code)
            .bind(4, d.description)
            .run();
        return db_->lastInsertId();
    }
    void setDefaultDepartment(Id plantId, Id departmentId) override {
        db_->query("UPDATE plants SET default_department = ? WHERE id = ?")
            .bind(1, departmentId)
            .bind(2, plantId)
            .run();
    }
    Id insertEmployee(const Employee& e) override {
        db_->query("INSERT INTO employees(plant_id, number, name) VALUES(?, ?, ?)")
            .bind(1, e.plantId)
            .bind(2, e.number)
            .bind(3, e.name)
            .run();
        return db_->lastInsertId();
    }
    void insertContainerRange(Id plantId, const ContainerRange& r) override {
        db_->query("INSERT INTO container_ranges(plant_id, length, minimum, maximum) VALUES(?, ?, "
                   "?, ?)")
            .bind(1, plantId)
            .bind(2, std::int64_t{r.length})
            .bind(3, r.minimum)
            .bind(4, r.maximum)
            .run();
    }
    Id insertRoute(const Route& r) override {
        db_->query(
               "INSERT INTO routes(plant_id, department_id, number, description, production_day, "
               "delivery_day) VALUES(?, ?, ?, ?, ?, ?)")
            .bind(1, r.plantId)
            .bind(2, r.departmentId)
            .bind(3, std::int64_t{r.number})
            .bind(4, r.description)
            .bind(5, r.productionDay)
            .bind(6, r.deliveryDay)
            .run();
        return db_->lastInsertId();
    }
    Id insertNote(const Note& n) override {
        db_->query(
               "INSERT INTO notes(plant_id, route_id, number, customer, status, process_mode, "
               "colli, "
               "stop, department_id, collection_point, collection_point_name, transport_article, "
               "remark) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, n.plantId)
            .bind(2, n.routeId)
            .bind(3, n.number)
            .bind(4, n.customer)
            .bind(5, static_cast<std::int64_t>(n.status))
            .bind(6, std::int64_t{n.processMode})
            .bind(7, std::int64_t{n.colli})
            .bind(8, std::int64_t{n.stop})
            .bind(9, n.departmentId)
            .bind(10, std::int64_t{n.collectionPoint})
            .bind(11, n.collectionPointName)
            .bind(12, n.transportArticle)
            .bind(13, n.remark)
            .run();
        return db_->lastInsertId();
    }
    Id insertLine(const Line& l) override {
        db_->query(
               "INSERT INTO lines(note_id, position, product_code, description, size, packaging, "
               "ordered, delivered, minimum, maximum, counted, count_minimum, count_maximum, "
               "bundles_scanned) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, l.noteId)
            .bind(2, std::int64_t{l.position})
            .bind(3, l.productCode)
            .bind(4, l.description)
            .bind(5, l.size)
            .bind(6, l.packaging)
            .bind(7, std::int64_t{l.ordered})
            .bind(8, std::int64_t{l.delivered})
            .bind(9, std::int64_t{l.minimum})
            .bind(10, std::int64_t{l.maximum})
            .bind(11, std::int64_t{l.counted})
            .bind(12, std::int64_t{l.countMinimum})
            .bind(13, std::int64_t{l.countMaximum})
            .bind(14, std::int64_t{l.bundlesScanned})
            .run();
        return db_->lastInsertId();
    }
    void insertInstruction(Id noteId, int position, const std::string& text) override {
        db_->query("INSERT INTO instructions(note_id, position, text) VALUES(?, ?, ?)")
            .bind(1, noteId)
            .bind(2, std::int64_t{position})
            .bind(3, text)
            .run();
    }
    Id insertPoolUnit(const PoolUnit& u) override {
        db_->query("INSERT INTO pool_units(plant_id, bundle, code, product_code, quantity, "
                   "needs_confirm) VALUES(?, ?, ?, ?, ?, ?)")
            .bind(1, u.plantId)
            .bind(2, std::int64_t{u.bundle})
            .bind(3, u.code)
            .bind(4, u.productCode)
            .bind(5, std::int64_t{u.quantity})
            .bind(6, std::int64_t{u.needsConfirm})
            .run();
        return db_->lastInsertId();
    }
    bool empty() override {
        auto q = db_->query("SELECT COUNT(*) FROM plants");
        return q.next() && q.integer(0) == 0;
    }

    void commit() override {
        if (transaction_) {
            transaction_->commit();
        }
    }

private:
    void audit(const char* entity, Id id, const char* action, const std::string& before,
               const std::string& after) {
        db_->query(
               "INSERT INTO audit(at, device_id, employee_id, entity, entity_id, action, before, "
               "after) VALUES(?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, actor_.time)
            .bindOptional(2, actor_.deviceId)
            .bindOptional(3, actor_.employeeId)
            .bind(4, entity)
            .bind(5, id)
            .bind(6, action)
            .bind(7, before)
            .bind(8, after)
            .run();
    }

    SqliteStore& store_;
    std::unique_ptr<sqlite::Database> owned_;
    sqlite::Database* db_;
    std::unique_lock<SqliteStore::WriterTurn> writeTurn_;
    std::optional<sqlite::Transaction> transaction_;
    Actor actor_;
};

constexpr int kCheckpointPages = 1000;

SqliteStore::SqliteStore(std::string path, bool fullSync)
    : path_(std::move(path)), fullSync_(fullSync) {
    migrate();
    checkpointer_ = std::thread([this] { checkpoints(); });
}

SqliteStore::~SqliteStore() {
    {
        std::lock_guard lock(checkpointMutex_);
        closing_ = true;
    }
    checkpointWanted_.notify_all();
    checkpointer_.join();
    {
        std::lock_guard lock(jobsMutex_);
        stopping_ = true;
    }
    jobsWanted_.notify_all();
    if (writerThread_.joinable()) {
        writerThread_.join();
    }
}

void SqliteStore::startWriter() {
    if (!writerThread_.joinable()) {
        writerThread_ = std::thread([this] { writeBatches(); });
    }
}

void SqliteStore::write(const std::function<void(StoreTransaction&)>& work) {
    Job job;
    job.work = &work;
    std::unique_lock lock(jobsMutex_);
    startWriter();
    jobs_.push_back(&job);
    jobsWanted_.notify_all();
    jobDone_.wait(lock, [&job] { return job.done; });
    if (job.error) {
        std::rethrow_exception(job.error);
    }
}

// A turn waits in the writer's queue like any work; when the writer reaches
// it, it stands aside until the turn ends.
void SqliteStore::WriterTurn::lock() {
    Job job;
    std::unique_lock lock(store_.jobsMutex_);
    store_.startWriter();
    store_.jobs_.push_back(&job);
    store_.jobsWanted_.notify_all();
    store_.jobDone_.wait(lock, [&job] { return job.done; });
}

void SqliteStore::WriterTurn::unlock() {
    {
        std::lock_guard lock(store_.jobsMutex_);
        store_.turnHeld_ = false;
    }
    store_.turnEnded_.notify_all();
}

// Group commit: every piece of work waiting when the writer comes round runs
// in one transaction, each in a savepoint of its own, and all of them are
// answered after the one commit. One commit (and one disk write of the
// shared pages) serves many handhelds, and the writer's connection keeps its
// cache, which no other connection's write empties.
void SqliteStore::writeBatches() {
    std::unique_ptr<sqlite::Database> db;
    std::vector<Job*> batch;
    for (;;) {
        {
            std::unique_lock lock(jobsMutex_);
            jobsWanted_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            if (!jobs_.front()->work) {
                Job* turn = jobs_.front();
                jobs_.erase(jobs_.begin());
                turnHeld_ = true;
                turn->done = true;
                jobDone_.notify_all();
                turnEnded_.wait(lock, [this] { return !turnHeld_; });
                continue;
            }
            // The work up to the next turn, at most 64 pieces.
            size_t take = 0;
            while (take < jobs_.size() && take < 64 && jobs_[take]->work) {
                ++take;
            }
            batch.assign(jobs_.begin(), jobs_.begin() + static_cast<std::ptrdiff_t>(take));
            jobs_.erase(jobs_.begin(), jobs_.begin() + static_cast<std::ptrdiff_t>(take));
        }
        std::exception_ptr batchError;
        try {
            if (!db) {
                db = open();
            }
            sqlite::Transaction transaction(*db, true);
            for (Job* job : batch) {
                db->execute("SAVEPOINT work");
                try {
                    SqliteTransaction tx(*this, *db);
                    (*job->work)(tx);
                    db->execute("RELEASE work");
                } catch (...) {
                    job->error = std::current_exception();
                    db->execute("ROLLBACK TO work");
                    db->execute("RELEASE work");
                }
            }
            transaction.commit();
        } catch (...) {
            // The commit (or the database) failed: none of the batch holds.
            batchError = asConflict(std::current_exception());
            db.reset();
        }
        {
            std::lock_guard lock(jobsMutex_);
            for (Job* job : batch) {
                if (batchError) {
                    job->error = batchError;
                }
                job->done = true;
            }
        }
        jobDone_.notify_all();
    }
}

int SqliteStore::walHook(void* store, sqlite3*, const char*, int pages) {
    if (pages >= kCheckpointPages) {
        auto* self = static_cast<SqliteStore*>(store);
        {
            std::lock_guard lock(self->checkpointMutex_);
            self->checkpointDue_ = true;
        }
        self->checkpointWanted_.notify_one();
    }
    return SQLITE_OK;
}

void SqliteStore::checkpoints() {
    std::unique_ptr<sqlite::Database> db;
    try {
        db = open();
    } catch (const sqlite::Error&) {
        return; // the writers' own connections report the problem
    }
    std::unique_lock lock(checkpointMutex_);
    while (!closing_) {
        checkpointWanted_.wait(lock, [this] { return checkpointDue_ || closing_; });
        checkpointDue_ = false;
        lock.unlock();
        // Passive: copies what no reader still needs, never waits for anyone.
        sqlite3_wal_checkpoint_v2(db->handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                  nullptr);
        lock.lock();
    }
}

int SqliteStore::currentVersion() {
    return kVersion;
}

std::unique_ptr<sqlite::Database> SqliteStore::open() {
    auto db = std::make_unique<sqlite::Database>(path_);
    db->execute("PRAGMA journal_mode = WAL");
    db->execute(fullSync_ ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
    db->execute("PRAGMA foreign_keys = ON");
    // Reads come straight from the mapped file instead of being copied in.
    db->execute("PRAGMA mmap_size = 268435456");
    sqlite3_wal_hook(db->handle(), &SqliteStore::walHook, this);
    return db;
}

std::unique_ptr<sqlite::Database> SqliteStore::connect() {
    return open();
}

std::unique_ptr<sqlite::Database> SqliteStore::acquire() {
    {
        std::lock_guard lock(poolMutex_);
        if (!pool_.empty()) {
            auto db = std::move(pool_.back());
            pool_.pop_back();
            return db;
        }
    }
    return open();
}

void SqliteStore::release(std::unique_ptr<sqlite::Database> db) {
    std::lock_guard lock(poolMutex_);
    pool_.push_back(std::move(db));
}

int SqliteStore::version() {
    auto db = acquire();
    auto q = db->query("SELECT version FROM schema_version");
    const int version = q.next() ? static_cast<int>(q.integer(0)) : 0;
    release(std::move(db));
    return version;
}

void SqliteStore::migrate() {
    auto db = acquire();
    {
        // Before the writer thread starts: no turn to wait for.
        sqlite::Transaction transaction(*db, true);
        db->execute("CREATE TABLE IF NOT EXISTS schema_version(version INTEGER NOT NULL)");
        int version = 0;
        {
            auto q = db->query("SELECT version FROM schema_version");
            if (q.next()) {
                version = static_cast<int>(q.integer(0));
            } else {
                db->query("INSERT INTO schema_version(version) VALUES(0)").run();
            }
        }
        if (version > kVersion) {
            throw sqlite::Error(SQLITE_MISMATCH, "the database " + path_ + " has schema version " +
                                                     std::to_string(version) +
                                                     ", newer than this program's " +
                                                     std::to_string(kVersion));
        }
        for (; version < kVersion; ++version) {
            db->execute(kMigrations[version]);
        }
        db->query("UPDATE schema_version SET version = ?").bind(1, std::int64_t{kVersion}).run();
        transaction.commit();
    }
    release(std::move(db));
}

void SqliteStore::read(const std::function<void(sqlite::Database&)>& work) {
    struct Lease {
        SqliteStore& store;
        std::unique_ptr<sqlite::Database> db;
        ~Lease() { store.release(std::move(db)); }
    } lease{*this, acquire()};
    sqlite::Transaction transaction(*lease.db, false);
    work(*lease.db);
    transaction.commit();
}

void SqliteStore::writeDatabase(const std::function<void(sqlite::Database&)>& work) {
    write([&work](StoreTransaction& tx) { work(static_cast<SqliteTransaction&>(tx).database()); });
}

std::unique_ptr<StoreTransaction> SqliteStore::begin(bool write) {
    return std::make_unique<SqliteTransaction>(*this, write);
}

} // namespace backoffice
