#include "backoffice/dashboard_sqlite.h"

#include "backoffice/dashboard_rows.h"
#include "backoffice/sqlite.h"
#include "backoffice/sqlite_store.h"

#include <map>

namespace backoffice {

using namespace dashboard_rows;

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
        std::vector<DashboardNote>& notes = out->second;
        std::map<Id, size_t> byId;
        auto q = db.query(
            "SELECT n.id, n.number, n.customer, n.stop, n.status, n.colli, "
            "COALESCE(d.code, ''), n.held_from, COALESCE(e.name, ''), n.done_at, "
            "(SELECT p.id FROM print_jobs p WHERE p.note_id = n.id AND p.status <> 'failed' "
            " ORDER BY p.id DESC LIMIT 1), "
            "(SELECT p.created_at FROM print_jobs p WHERE p.note_id = n.id "
            " AND p.status <> 'failed' ORDER BY p.id DESC LIMIT 1) "
            "FROM notes n LEFT JOIN devices d ON d.id = n.held_by "
            "LEFT JOIN device_activity a ON a.device_id = n.held_by "
            "LEFT JOIN employees e ON e.id = a.employee_id AND e.plant_id = n.plant_id "
            "WHERE n.route_id = ? ORDER BY n.stop, n.number");
        q.bind(1, route);
        while (q.next()) {
            DashboardNote n;
            n.id = q.integer(0);
            n.number = q.text(1);
            n.customer = q.text(2);
            n.stop = static_cast<int>(q.integer(3));
            n.status = static_cast<NoteStatus>(q.integer(4));
            n.colli = static_cast<int>(q.integer(5));
            n.heldBy = q.text(6);
            n.heldFrom = q.text(7);
            n.employee = q.text(8);
            n.doneAt = q.text(9);
            n.printJob = q.optionalInteger(10);
            n.printedAt = q.text(11);
            byId[n.id] = notes.size();
            notes.push_back(std::move(n));
        }
        auto l = db.query("SELECT l.note_id, l.position, l.product_code, l.description, "
                          "l.ordered, l.delivered FROM notes n JOIN lines l ON l.note_id = n.id "
                          "WHERE n.route_id = ? ORDER BY l.note_id, l.position, l.id");
        l.bind(1, route);
        while (l.next()) {
            const auto at = byId.find(l.integer(0));
            if (at != byId.end()) {
                notes[at->second].lines.push_back({static_cast<int>(l.integer(1)), l.text(2),
                                                   l.text(3), static_cast<int>(l.integer(4)),
                                                   static_cast<int>(l.integer(5))});
            }
        }
        auto c = db.query("SELECT c.note_id, c.code FROM notes n "
                          "JOIN note_containers c ON c.note_id = n.id "
                          "WHERE n.route_id = ? ORDER BY c.note_id, c.id");
        c.bind(1, route);
        while (c.next()) {
            const auto at = byId.find(c.integer(0));
            if (at != byId.end()) {
                notes[at->second].containers.push_back(c.text(1));
            }
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
            dashboard_rows::addScans(out, q.integer(0), q.integer(1), q.integer(2));
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
