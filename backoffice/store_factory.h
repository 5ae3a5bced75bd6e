#pragma once

#include "backoffice/dashboard_data.h"
#include "backoffice/site_data.h"
#include "backoffice/storage.h"

#include <memory>
#include <string>

namespace backoffice {

struct StoreSettings {
    bool fullSync = false; // SQLite: every commit waits for the disk
    int connections = 8;   // PostgreSQL: at most this many connections
};

// A store with what works beside it on the same engine. A companion this
// engine does not have yet is null.
struct OpenedStore {
    std::string engine; // "sqlite" or "postgresql"
    std::unique_ptr<Store> store;
    std::unique_ptr<DashboardQueries> dashboard;
    std::unique_ptr<SiteData> siteData;
};

// The store `database` names: a postgresql:// (or postgres://) URI, or else
// an SQLite file, created when missing.
OpenedStore OpenStore(const std::string& database, const StoreSettings& settings);

} // namespace backoffice
