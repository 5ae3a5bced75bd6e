#include "backoffice/dashboard_postgres.h"

#include "backoffice/dashboard_rows.h"
#include "backoffice/postgres_store.h"

#include <ctime>
#include <map>

namespace backoffice {

using namespace dashboard_rows;
using Parameters = std::vector<std::optional<std::string>>;

namespace {

std::string text(Id id) {
    return std::to_string(id);
}

} // namespace

std::vector<DashboardPlant> PostgresDashboardQueries::plants() {
    std::vector<DashboardPlant> out;
    store_.session(false, [&](PostgresStore::Session& db) {
        for (const auto& r :
             db.rows("SELECT id, code, name, language FROM plants ORDER BY code", {})) {
            out.push_back({r.integer(0), r.text(1), r.text(2), r.text(3)});
        }
    });
    return out;
}

std::vector<Department> PostgresDashboardQueries::departments(Id plant) {
    std::vector<Department> out;
    store_.session(false, [&](PostgresStore::Session& db) {
        for (const auto& r : db.rows("SELECT id, plant_id, number, code, description FROM "
                                     "departments WHERE plant_id = $1 ORDER BY number, id",
                                     {text(plant)})) {
            out.push_back(
                {r.integer(0), r.integer(1), static_cast<int>(r.integer(2)), r.text(3), r.text(4)});
        }
    });
    return out;
}

std::vector<DashboardRoute> PostgresDashboardQueries::routes(Id plant, const std::string& day) {
    std::vector<DashboardRoute> out;
    store_.session(false, [&](PostgresStore::Session& db) {
        for (const auto& r :
             db.rows(std::string(kRouteSelect) + "WHERE r.plant_id = $1 AND r.delivery_day = $2 "
                                                 "ORDER BY r.department_id, r.number, r.id",
                     {text(plant), day})) {
            out.push_back(readRoute(r));
        }
    });
    return out;
}

std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>>
PostgresDashboardQueries::routeNotes(Id plant, Id route) {
    std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>> out;
    store_.session(false, [&](PostgresStore::Session& db) {
        const auto found =
            db.rows(std::string(kRouteSelect) + "WHERE r.id = $1 AND r.plant_id = $2",
                    {text(route), text(plant)});
        if (found.empty()) {
            return;
        }
        out.emplace(readRoute(found.front()), std::vector<DashboardNote>{});
        RouteNotes notes(out->second);
        const std::vector<std::optional<std::string>> params = {text(route)};
        for (const auto& q : db.rows(std::string(kNoteSelect) + "$1" + kNoteOrder, params)) {
            notes.addNote(q);
        }
        for (const auto& l : db.rows(std::string(kLineSelect) + "$1" + kLineOrder, params)) {
            notes.addLine(l);
        }
        for (const auto& c :
             db.rows(std::string(kContainerSelect) + "$1" + kContainerOrder, params)) {
            notes.addContainer(c);
        }
    });
    return out;
}

std::vector<DashboardHandheld> PostgresDashboardQueries::handhelds(Id plant) {
    std::vector<DashboardHandheld> out;
    store_.session(false, [&](PostgresStore::Session& db) {
        for (const auto& q :
             db.rows("SELECT d.id, d.code, COALESCE(a.at, ''), COALESCE(a.function, ''), "
                     "COALESCE(e.name, ''), "
                     "COALESCE((SELECT n.number FROM notes n WHERE n.held_by = d.id "
                     "ORDER BY n.held_from DESC LIMIT 1), '') "
                     "FROM devices d LEFT JOIN device_activity a ON a.device_id = d.id "
                     "LEFT JOIN employees e ON e.id = a.employee_id AND e.plant_id = d.plant_id "
                     "WHERE d.plant_id = $1 ORDER BY d.code, d.id",
                     {text(plant)})) {
            out.push_back({q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5)});
        }
    });
    return out;
}

HourlyScans PostgresDashboardQueries::scansPerHour(Id plant, const std::string& day) {
    // The hours of this machine's clock, as the SQLite store counts them: the
    // database server may keep another zone. The database counts by quarter
    // of an hour (every zone's offset is a whole number of them), and each
    // quarter gets the offset of its own time: a day that changes to or from
    // summer time has its hours right on both sides of the change.
    HourlyScans out;
    store_.session(false, [&](PostgresStore::Session& db) {
        for (const auto& q :
             db.rows("SELECT e.kind, (floor(EXTRACT(EPOCH FROM e.at::TIMESTAMPTZ) / 900) * "
                     "900)::BIGINT, COUNT(*) FROM routes r "
                     "JOIN scan_events e ON e.route_id = r.id "
                     "WHERE r.plant_id = $1 AND r.delivery_day = $2 GROUP BY 1, 2",
                     {text(plant), day})) {
            const auto at = static_cast<std::time_t>(q.integer(1));
            std::tm local{};
            localtime_r(&at, &local);
            addScans(out, q.integer(0), local.tm_hour, q.integer(2));
        }
        const auto notes =
            db.rows("SELECT COUNT(*) FROM routes r JOIN notes n ON n.route_id = r.id "
                    "WHERE r.plant_id = $1 AND r.delivery_day = $2",
                    {text(plant), day});
        out.notes = notes.empty() ? 0 : static_cast<int>(notes.front().integer(0));
    });
    return out;
}

std::string PostgresDashboardQueries::printFile(Id plant, Id job) {
    std::string file;
    store_.session(false, [&](PostgresStore::Session& db) {
        const auto found = db.rows("SELECT p.file FROM print_jobs p JOIN notes n ON n.id = "
                                   "p.note_id WHERE p.id = $1 AND n.plant_id = $2",
                                   {text(job), text(plant)});
        if (!found.empty()) {
            file = found.front().text(0);
        }
    });
    return file;
}

void PostgresDashboardQueries::saveActivity(const std::vector<HandheldActivity>& activity) {
    if (activity.empty()) {
        return;
    }
    // One statement for all of them. Another instance may write the same
    // handheld's row: the later exchange wins, whichever commits last.
    std::vector<std::optional<std::int64_t>> devices, employees;
    std::vector<std::string> times, functions;
    for (const HandheldActivity& a : activity) {
        devices.push_back(a.device);
        employees.push_back(a.employee);
        times.push_back(a.at);
        functions.push_back(a.function);
    }
    store_.session(true, [&](PostgresStore::Session& db) {
        db.rows("INSERT INTO device_activity(device_id, at, function, employee_id) "
                "SELECT DISTINCT ON (u.device) u.device, u.at, u.function, u.employee "
                "FROM unnest($1::BIGINT[], $2::TEXT[], $3::TEXT[], $4::BIGINT[]) WITH ORDINALITY "
                "AS u(device, at, function, employee, n) ORDER BY u.device, u.n DESC "
                "ON CONFLICT(device_id) DO UPDATE SET at = excluded.at, "
                "function = excluded.function, "
                "employee_id = COALESCE(excluded.employee_id, device_activity.employee_id) "
                "WHERE excluded.at >= device_activity.at",
                {PostgresArray(devices), PostgresArray(times), PostgresArray(functions),
                 PostgresArray(employees)});
    });
}

std::uint64_t PostgresDashboardQueries::changeMarker() {
    // The next transaction id of the server: every committed change (of any
    // instance, of an import) has taken one, a reading takes none.
    std::uint64_t marker = 0;
    store_.session(false, [&](PostgresStore::Session& db) {
        const auto r = db.rows("SELECT pg_snapshot_xmax(pg_current_snapshot())::TEXT::BIGINT", {});
        marker = r.empty() ? 0 : static_cast<std::uint64_t>(r.front().integer(0));
    });
    return marker;
}

} // namespace backoffice
