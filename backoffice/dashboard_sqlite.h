#pragma once

#include "backoffice/dashboard_data.h"

namespace backoffice {

class SqliteStore;

// The dashboard's queries on the SQLite store's read connections.
class SqliteDashboardQueries : public DashboardQueries {
public:
    explicit SqliteDashboardQueries(SqliteStore& store) : store_(store) {}

    std::vector<DashboardPlant> plants() override;
    std::vector<Department> departments(Id plant) override;
    std::vector<DashboardRoute> routes(Id plant, const std::string& day) override;
    std::optional<std::pair<DashboardRoute, std::vector<DashboardNote>>>
    routeNotes(Id plant, Id route) override;
    std::vector<DashboardHandheld> handhelds(Id plant) override;
    HourlyScans scansPerHour(Id plant, const std::string& day) override;
    std::string printFile(Id plant, Id job) override;
    void saveActivity(const std::vector<HandheldActivity>& activity) override;

private:
    SqliteStore& store_;
};

} // namespace backoffice
