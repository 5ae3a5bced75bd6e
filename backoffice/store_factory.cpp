#include "backoffice/store_factory.h"

#include "backoffice/dashboard_sqlite.h"
#ifdef KORVANE_HAVE_POSTGRES
#include "backoffice/dashboard_postgres.h"
#include "backoffice/postgres_site_data.h"
#endif
#include "backoffice/postgres_store.h"
#include "backoffice/sqlite_site_data.h"
#include "backoffice/sqlite_store.h"

#include <stdexcept>

namespace backoffice {

OpenedStore OpenStore(const std::string& database, const StoreSettings& settings) {
    OpenedStore opened;
    if (IsPostgresUri(database)) {
#ifdef KORVANE_HAVE_POSTGRES
        auto store = std::make_unique<PostgresStore>(database, settings.connections);
        opened.engine = "postgresql";
        opened.dashboard = std::make_unique<PostgresDashboardQueries>(*store);
        opened.siteData = std::make_unique<PostgresSiteData>(database);
        opened.store = std::move(store);
        return opened;
#else
        throw std::runtime_error("this build has no PostgreSQL support (libpqxx-dev was missing)");
#endif
    }
    auto store = std::make_unique<SqliteStore>(database, settings.fullSync);
    opened.engine = "sqlite";
    opened.dashboard = std::make_unique<SqliteDashboardQueries>(*store);
    opened.siteData = std::make_unique<SqliteSiteData>(*store);
    opened.store = std::move(store);
    return opened;
}

} // namespace backoffice
