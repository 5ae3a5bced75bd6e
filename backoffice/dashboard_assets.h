#pragma once

#include <cstddef>
#include <span>

namespace backoffice {

// The dashboard's page, style and script, built into the program from
// backoffice/dashboard_assets/ (see embed_assets.cmake).
struct DashboardAsset {
    const char* name; // "app.js"
    const char* type; // its content type
    const unsigned char* data;
    std::size_t size;
};

std::span<const DashboardAsset> DashboardAssets();

} // namespace backoffice
