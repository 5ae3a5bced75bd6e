#pragma once

#include "backoffice/site_data.h"

#include <string>
#include <vector>

namespace backoffice {

// Writes an exported day into `folder` for the ERP, each file whole or not at
// all (written beside and renamed). CSV: notes-DAY.csv, lines-DAY.csv,
// containers-DAY.csv and pool-DAY.csv, UTF-8 without byte-order mark, comma,
// CRLF, quoted where needed, as the import reads them. JSON: export-DAY.json,
// the notes with their lines, containers and pool units inside. Returns the
// files written; throws std::runtime_error when one cannot be.
std::vector<std::string> WriteExport(const std::vector<ExportNote>& notes, const std::string& day,
                                     const std::string& format, const std::string& folder);

// The export as text, for the tests and the JSON file.
std::string ExportJson(const std::vector<ExportNote>& notes, const std::string& day);

} // namespace backoffice
