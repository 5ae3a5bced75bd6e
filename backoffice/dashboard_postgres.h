#pragma once

#include "backoffice/dashboard_data.h"

namespace backoffice {

class PostgresStore;

// The dashboard's queries on the PostgreSQL store, each in one read-only
// transaction of a pooled connection.
class PostgresDashboardQueries : public DashboardQueries {
public:
    explicit PostgresDashboardQueries(PostgresStore& store) : store_(store) {}

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
    PostgresStore& store_;
};

} // namespace backoffice
