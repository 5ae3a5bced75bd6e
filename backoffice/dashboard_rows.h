#pragma once

#include "backoffice/dashboard_data.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// What the dashboard's queries share on both engines.
namespace backoffice::dashboard_rows {

// The counters the triggers keep: a day of a thousand routes costs a
// thousand rows, whatever the number of notes.
inline const char* const kRouteSelect =
    "SELECT r.id, r.department_id, r.number, r.description, r.last_activity, "
    "r.notes_new, r.notes_in_progress, r.notes_done, r.delivery_day FROM routes r ";

template <typename Row> DashboardRoute readRoute(const Row& q) {
    DashboardRoute r;
    r.id = q.integer(0);
    r.departmentId = q.integer(1);
    r.number = static_cast<int>(q.integer(2));
    r.description = q.text(3);
    r.lastActivity = q.text(4);
    r.newNotes = static_cast<int>(q.integer(5));
    r.inProgress = static_cast<int>(q.integer(6));
    r.done = static_cast<int>(q.integer(7));
    r.day = q.text(8);
    return r;
}

// A route's notes with who holds them and their last print, then their lines
// and containers; each engine appends its placeholder for the route and the
// order that follows it.
inline const char* const kNoteSelect =
    "SELECT n.id, n.number, n.customer, n.stop, n.status, n.colli, "
    "COALESCE(d.code, ''), n.held_from, COALESCE(e.name, ''), n.done_at, "
    "(SELECT p.id FROM print_jobs p WHERE p.note_id = n.id AND p.status <> 'failed' "
    " ORDER BY p.id DESC LIMIT 1), "
    "(SELECT p.created_at FROM print_jobs p WHERE p.note_id = n.id "
    " AND p.status <> 'failed' ORDER BY p.id DESC LIMIT 1) "
    "FROM notes n LEFT JOIN devices d ON d.id = n.held_by "
    "LEFT JOIN device_activity a ON a.device_id = n.held_by "
    "LEFT JOIN employees e ON e.id = a.employee_id AND e.plant_id = n.plant_id "
    "WHERE n.route_id = ";
inline const char* const kNoteOrder = " ORDER BY n.stop, n.number";
inline const char* const kLineSelect =
    "SELECT l.note_id, l.position, l.product_code, l.description, l.ordered, l.delivered "
    "FROM notes n JOIN lines l ON l.note_id = n.id WHERE n.route_id = ";
inline const char* const kLineOrder = " ORDER BY l.note_id, l.position, l.id";
inline const char* const kContainerSelect =
    "SELECT c.note_id, c.code FROM notes n JOIN note_containers c ON c.note_id = n.id "
    "WHERE n.route_id = ";
inline const char* const kContainerOrder = " ORDER BY c.note_id, c.id";

// Builds a route's notes from the rows of the three queries above, in order.
class RouteNotes {
public:
    explicit RouteNotes(std::vector<DashboardNote>& notes) : notes_(notes) {}

    template <typename Row> void addNote(const Row& q) {
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
        byId_[n.id] = notes_.size();
        notes_.push_back(std::move(n));
    }
    template <typename Row> void addLine(const Row& l) {
        if (DashboardNote* note = find(l.integer(0))) {
            note->lines.push_back({static_cast<int>(l.integer(1)), l.text(2), l.text(3),
                                   static_cast<int>(l.integer(4)), static_cast<int>(l.integer(5))});
        }
    }
    template <typename Row> void addContainer(const Row& c) {
        if (DashboardNote* note = find(c.integer(0))) {
            note->containers.push_back(c.text(1));
        }
    }

private:
    DashboardNote* find(std::int64_t id) {
        const auto at = byId_.find(id);
        return at == byId_.end() ? nullptr : &notes_[at->second];
    }
    std::vector<DashboardNote>& notes_;
    std::map<std::int64_t, std::size_t> byId_;
};

// One row of the scans per hour: the kind the scan_events table records
// (0 container, 1 pool item, 2 delivered-quantity save, 3 note done), the
// hour of the day and how many. An hour out of the day counts nowhere.
inline void addScans(HourlyScans& out, std::int64_t kind, std::int64_t hour, std::int64_t count) {
    if (hour < 0 || hour > 23) {
        return;
    }
    const auto n = static_cast<int>(count);
    switch (kind) {
    case 0:
        out.containers[hour] += n;
        break;
    case 1:
        out.poolItems[hour] += n;
        break;
    case 2:
        out.quantities[hour] += n;
        break;
    case 3:
        out.notesDone[hour] += n;
        break;
    default:
        break;
    }
}

} // namespace backoffice::dashboard_rows
