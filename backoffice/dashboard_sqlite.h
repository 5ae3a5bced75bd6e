#pragma once

#include "backoffice/dashboard_data.h"

#include <memory>
#include <mutex>

namespace backoffice {

class SqliteStore;
namespace sqlite {
class Database;
}

// The dashboard's queries on the SQLite store's read connections.
class SqliteDashboardQueries : public DashboardQueries {
public:
    explicit SqliteDashboardQueries(SqliteStore& store);
    ~SqliteDashboardQueries() override;

    std::vector<DashboardPlant> plants() override;
    std::vector<Department> departments(Id plant) override;
    std::vector<DashboardRoute> routes(Id plant, const std::string& day) override;
    std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>>
    routeNotes(Id plant, Id route) override;
    std::vector<DashboardHandheld> handhelds(Id plant) override;
    HourlyScans scansPerHour(Id plant, const std::string& day) override;
    std::string printFile(Id plant, Id job) override;
    void saveActivity(const std::vector<HandheldActivity>& activity) override;
    std::uint64_t changeMarker() override;

private:
    SqliteStore& store_;
    // A connection of its own that watches the file for commits of every
    // other connection: this process's, and an import's in another process.
    std::mutex markerMutex_;
    std::unique_ptr<sqlite::Database> watcher_;
    std::int64_t seenVersion_ = 0;
    std::uint64_t marker_ = 0;
};

} // namespace backoffice
