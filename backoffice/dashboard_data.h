#pragma once

#include "backoffice/storage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace backoffice {

// What the supervisor's dashboard reads. Every query is bounded by a plant
// and a day (or a route of that plant), runs on a read connection and
// changes nothing; the one write is the handhelds' last exchange, which the
// dashboard keeps itself. Times are ISO UTC texts as stored, "" when unknown.

struct DashboardPlant {
    Id id = 0;
    std::string code;
    std::string name;
    std::string language; // "English", "German", "Dutch", ...
};

struct DashboardRoute {
    Id id = 0;
    Id departmentId = 0;
    int number = 0;
    std::string description;
    std::string day; // of delivery
    int newNotes = 0;
    int inProgress = 0;
    int done = 0;
    std::string lastActivity; // the last scan, quantity or state change
};

struct DashboardLine {
    int position = 0;
    std::string productCode;
    std::string description;
    int ordered = 0;
    int delivered = 0;
};

struct DashboardNote {
    Id id = 0;
    std::string number;
    std::string customer;
    int stop = 0;
    NoteStatus status = NoteStatus::New;
    int colli = 0;
    std::string heldBy; // handheld code
    std::string heldFrom;
    std::string employee; // of the holding handheld's last exchange
    std::string doneAt;
    std::optional<Id> printJob; // the last one with a file
    std::string printedAt;
    std::vector<DashboardLine> lines;
    std::vector<std::string> containers;
};

struct DashboardHandheld {
    Id id = 0;
    std::string code;
    std::string lastExchange;
    std::string lastFunction;
    std::string employee;
    std::string note; // the number of the note it holds
};

// Events per local hour of the day (0..23).
struct HourlyScans {
    std::array<int, 24> containers{};
    std::array<int, 24> poolItems{};
    std::array<int, 24> quantities{};
    std::array<int, 24> notesDone{};
    int notes = 0; // of the day, for the plan
};

// One handheld's last exchange, as the dashboard records it.
struct HandheldActivity {
    Id device = 0;
    std::string at;
    std::string function;
    std::optional<Id> employee;
};

class DashboardQueries {
public:
    virtual ~DashboardQueries() = default;
    virtual std::vector<DashboardPlant> plants() = 0;
    virtual std::vector<Department> departments(Id plant) = 0;
    // The routes delivered on `day`, with their counters.
    virtual std::vector<DashboardRoute> routes(Id plant, const std::string& day) = 0;
    // A route of the plant with its notes, lines and containers; nullopt
    // when the route is not the plant's.
    virtual std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>>
    routeNotes(Id plant, Id route) = 0;
    virtual std::vector<DashboardHandheld> handhelds(Id plant) = 0;
    virtual HourlyScans scansPerHour(Id plant, const std::string& day) = 0;
    // The file of a print job of the plant, or "".
    virtual std::string printFile(Id plant, Id job) = 0;
    virtual void saveActivity(const std::vector<HandheldActivity>& activity) = 0;
    // A number that grows whenever anything writes to the database: another
    // instance's handhelds, an import. 0 where this process is the only
    // writer the pages need to follow.
    virtual std::uint64_t changeMarker() { return 0; }
};

} // namespace backoffice
