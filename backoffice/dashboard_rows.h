#pragma once

#include "backoffice/dashboard_data.h"

#include <cstdint>

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
