#pragma once

#include "backoffice/storage.h"

#include <string>

namespace backoffice {

// The demonstration warehouse: the same data for the same day, every time.
// README.md lists what a user or a test can work with.
namespace demo {
inline constexpr const char* kPlantCode = "1000"; // route mode
inline constexpr const char* kPackingNotePlantCode = "2000";
inline constexpr const char* kHandhelds[] = {"HH01", "HH02", "HH03", "HH04"};
inline constexpr const char* kPackingNoteHandheld = "PN01";
inline constexpr int kFirstEmployee = 1001; // 1001 to 1008
inline constexpr int kRoutesPerDepartment = 3;
inline constexpr int kNotesPerRoute = 6;
} // namespace demo

// Seeds the warehouse for `today` ("YYYY-MM-DD"): a week of routes around
// it. Does nothing and returns false when the store already holds a plant.
bool SeedDemo(Store& store, const std::string& today);

// Adds `days` to a "YYYY-MM-DD" day.
std::string AddDays(const std::string& day, int days);
// Today on this machine's calendar.
std::string LocalToday();

// The note number of a demo note: day offset -3..3, route number, stop.
std::string DemoNoteNumber(int dayOffset, int routeNumber, int stop);

} // namespace backoffice
