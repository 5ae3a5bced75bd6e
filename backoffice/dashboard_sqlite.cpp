#include "backoffice/dashboard_sqlite.h"

#include "backoffice/dashboard_rows.h"
#include "backoffice/sqlite.h"
#include "backoffice/sqlite_store.h"

#include <map>

namespace backoffice {

using namespace dashboard_rows;

SqliteDashboardQueries::SqliteDashboardQueries(SqliteStore& store) : store_(store) {}
SqliteDashboardQueries::~SqliteDashboardQueries() = default;

std::uint64_t SqliteDashboardQueries::changeMarker() {
    // data_version differs between two asks of one connection whenever
    // another connection committed in between; counted here so that the
    // marker only grows.
    std::lock_guard lock(markerMutex_);
    if (!watcher_) {
        watcher_ = std::make_unique<sqlite::Database>(store_.path(), true);
    }
    auto q = watcher_->query("PRAGMA data_version");
    if (q.next() && q.integer(0) != seenVersion_) {
        seenVersion_ = q.integer(0);
        ++marker_;
    }
    return marker_;
}

std::vector<DashboardPlant> SqliteDashboardQueries::plants() {
    std::vector<DashboardPlant> out;
    store_.read([&](sqlite::Database& db) {
        auto q = db.query("SELECT id, code, name, language FROM plants ORDER BY code");
        while (q.next()) {
            out.push_back({q.integer(0), q.text(1), q.text(2), q.text(3)});
        }
    });
    return out;
}

std::vector<Department> SqliteDashboardQueries::departments(Id plant) {
    std::vector<Department> out;
    store_.read([&](sqlite::Database& db) {
        auto q = db.query("SELECT id, plant_id, number, code, description FROM departments "
                          "WHERE plant_id = ? ORDER BY number, id");
        q.bind(1, plant);
        while (q.next()) {
            out.push_back(
                {q.integer(0), q.integer(1), static_cast<int>(q.integer(2)), q.text(3), q.text(4)});
        }
    });
    return out;
}

std::vector<DashboardRoute> SqliteDashboardQueries::routes(Id plant, const std::string& day) {
    std::vector<DashboardRoute> out;
    store_.read([&](sqlite::Database& db) {
        auto q = db.query(std::string(kRouteSelect) + "WHERE r.plant_id = ? AND r.delivery_day = ? "
                                                      "ORDER BY r.department_id, r.number, r.id");
        q.bind(1, plant).bind(2, day);
        while (q.next()) {
            out.push_back(readRoute(q));
        }
    });
    return out;
}

std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>>
SqliteDashboardQueries::routeNotes(Id plant, Id route) {
    std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>> out;
    store_.read([&](sqlite::Database& db) {
        auto r = db.query(std::string(kRouteSelect) + "WHERE r.id = ? AND r.plant_id = ?");
        r.bind(1, route).bind(2, plant);
        if (!r.next()) {
            return;
        }
        out.emplace(readRoute(r), std::vector<DashboardNote>{});
        RouteNotes notes(out->second);
        auto q = db.query(std::string(kNoteSelect) + "?" + kNoteOrder);
        q.bind(1, route);
        while (q.next()) {
            notes.addNote(q);
        }
        auto l = db.query(std::string(kLineSelect) + "?" + kLineOrder);
        l.bind(1, route);
        while (l.next()) {
            notes.addLine(l);
        }
        auto c = db.query(std::string(kContainerSelect) + "?" + kContainerOrder);
        c.bind(1, route);
        while (c.next()) {
            notes.addContainer(c);
        }
    });
    return out;
}

std::vector<DashboardHandheld> SqliteDashboardQueries::handhelds(Id plant) {
    std::vector<DashboardHandheld> out;
    store_.read([&](sqlite::Database& db) {
        auto q =
            db.query("SELECT d.id, d.code, COALESCE(a.at, ''), COALESCE(a.function, ''), "
                     "COALESCE(e.name, ''), "
                     "COALESCE((SELECT n.number FROM notes n WHERE n.held_by = d.id "
                     "ORDER BY n.held_from DESC LIMIT 1), '') "
                     "FROM devices d LEFT JOIN device_activity a ON a.device_id = d.id "
                     "LEFT JOIN employees e ON e.id = a.employee_id AND e.plant_id = d.plant_id "
                     "WHERE d.plant_id = ? ORDER BY d.code, d.id");
        q.bind(1, plant);
        while (q.next()) {
            out.push_back({q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5)});
        }
    });
    return out;
}

HourlyScans SqliteDashboardQueries::scansPerHour(Id plant, const std::string& day) {
    HourlyScans out;
    store_.read([&](sqlite::Database& db) {
        auto q = db.query("SELECT e.kind, CAST(strftime('%H', e.at, 'localtime') AS INTEGER), "
                          "COUNT(*) FROM routes r JOIN scan_events e ON e.route_id = r.id "
                          "WHERE r.plant_id = ? AND r.delivery_day = ? GROUP BY 1, 2");
        q.bind(1, plant).bind(2, day);
        while (q.next()) {
            addScans(out, q.integer(0), q.integer(1), q.integer(2));
        }
        auto n = db.query("SELECT COUNT(*) FROM routes r JOIN notes n ON n.route_id = r.id "
                          "WHERE r.plant_id = ? AND r.delivery_day = ?");
        n.bind(1, plant).bind(2, day);
        out.notes = n.next() ? static_cast<int>(n.integer(0)) : 0;
    });
    return out;
}

std::string SqliteDashboardQueries::printFile(Id plant, Id job) {
    std::string file;
    store_.read([&](sqlite::Database& db) {
        auto q = db.query("SELECT p.file FROM print_jobs p JOIN notes n ON n.id = p.note_id "
                          "WHERE p.id = ? AND n.plant_id = ?");
        q.bind(1, job).bind(2, plant);
        if (q.next()) {
            file = q.text(0);
        }
    });
    return file;
}

void SqliteDashboardQueries::saveActivity(const std::vector<HandheldActivity>& activity) {
    if (activity.empty()) {
        return;
    }
    store_.writeDatabase([&](sqlite::Database& db) {
        for (const HandheldActivity& a : activity) {
            db.query("INSERT INTO device_activity(device_id, at, function, employee_id) "
                     "VALUES(?, ?, ?, ?) ON CONFLICT(device_id) DO UPDATE SET at = excluded.at, "
                     "function = excluded.function, "
                     "employee_id = COALESCE(excluded.employee_id, employee_id)")
                .bind(1, a.device)
                .bind(2, a.at)
                .bind(3, a.function)
                .bindOptional(4, a.employee)
                .run();
        }
    });
}

} // namespace backoffice
