#pragma once

#include "backoffice/site_data.h"

#include <cstdint>
#include <functional>

namespace backoffice {

// Rows read so far and bytes of all files read and in all, for a progress line.
using ImportProgress =
    std::function<void(long rows, std::uintmax_t bytesRead, std::uintmax_t bytesTotal)>;

// Reads the CSV files of `request`, each recognised by its header row, checks
// every field, stages the rows in one import session of `data` and finishes
// it: everything goes in, or (on any problem, or with checkOnly) nothing.
// At most kMaxListedProblems problems are listed; the rest are counted.
ImportSummary ImportFiles(SiteData& data, const ImportRequest& request,
                          const ImportProgress& progress = {});

inline constexpr std::size_t kMaxListedProblems = 1000;

// The kind whose columns the header names (all its required ones, nothing
// unknown), or nullptr with the reason.
const ImportKind* RecognizeHeader(const std::vector<std::string>& header, std::string& reason);

// The summary as the import prints it: one line per kind.
std::string FormatSummary(const ImportSummary& summary);

} // namespace backoffice
