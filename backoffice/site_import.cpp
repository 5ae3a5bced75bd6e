#include "backoffice/site_import.h"

#include "backoffice/csv_reader.h"
#include "backoffice/options.h"
#include "backoffice/xml_text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace backoffice {

namespace {

constexpr std::int64_t kInt = 2147483647;

ImportColumn text(const char* name, bool required = false) {
    return {name, ColumnType::Text, required};
}
ImportColumn integer(const char* name, std::int64_t minimum, std::int64_t maximum,
                     bool required = false) {
    return {name, ColumnType::Integer, required, minimum, maximum};
}
ImportColumn flag(const char* name) {
    return {name, ColumnType::Flag, false};
}
ImportColumn day(const char* name) {
    return {name, ColumnType::Day, true};
}

bool Digits(const std::string& text, std::size_t from, std::size_t to) {
    return text.size() >= from && text.size() <= to &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Checks that concern more than one field, or a field's form beyond its type.
std::string CheckRow(const ImportKind& kind, const std::string& name,
                     const std::vector<std::string>& v, std::string& column) {
    if (name == "notes" || name == "lines") {
        // The handheld takes a note number of digits only, at most 18.
        if (!Digits(v[1], 1, 18)) {
            column = "note";
            return "a note number is 1 to 18 digits";
        }
    }
    if (name == "container_ranges") {
        const std::size_t length = std::stoul(v[1]);
        for (const int i : {2, 3}) {
            if (!Digits(v[i], length, length)) {
                column = kind.columns[static_cast<std::size_t>(i)].name;
                return "not " + v[1] + " digits";
            }
        }
        if (v[2] > v[3]) {
            column = "maximum";
            return "below the minimum";
        }
    }
    if (name == "lines") {
        if (std::stoll(v[6]) < std::stoll(v[5]) && std::stoll(v[6]) > 0) {
            column = "maximum";
            return "below the minimum";
        }
        if (std::stoll(v[9]) < std::stoll(v[8]) && std::stoll(v[9]) > 0) {
            column = "count_maximum";
            return "below the count minimum";
        }
    }
    return {};
}

// Adds a problem, or only counts it beyond the listed ones.
void Report(ImportSummary& summary, ImportProblem problem) {
    if (summary.problems.size() < kMaxListedProblems) {
        summary.problems.push_back(std::move(problem));
    } else {
        ++summary.moreProblems;
    }
}

// One file: header, then every record checked and staged. Returns the rows.
long ReadFile(const std::string& file, ImportSession& session, ImportSummary& summary,
              const std::function<void(long, std::uintmax_t)>& progress) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) {
        Report(summary, {file, 0, "", "no such file"});
        return 0;
    }
    if (std::filesystem::is_directory(status)) {
        Report(summary, {file, 0, "", "a directory, not a CSV file"});
        return 0;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Report(summary, {file, 0, "", "cannot be read"});
        return 0;
    }
    csv::Reader reader(in);
    csv::Record header;
    if (!reader.next(header)) {
        Report(summary, {file, reader.errorLine(), "",
                         reader.error().empty() ? "empty, no header row" : reader.error()});
        return 0;
    }
    std::string reason;
    const ImportKind* kind = RecognizeHeader(header.fields, reason);
    if (!kind) {
        Report(summary, {file, header.line, "", reason});
        return 0;
    }
    // Where each of the kind's columns is in this file (they may come in any
    // order, optional ones may be left out).
    std::vector<int> at(kind->columns.size(), -1);
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        for (std::size_t c = 0; c < kind->columns.size(); ++c) {
            if (header.fields[i] == kind->columns[c].name) {
                at[c] = static_cast<int>(i);
            }
        }
    }
    const std::string kindName = kind->name;
    csv::Record record;
    std::vector<std::string> values(kind->columns.size());
    long rows = 0;
    while (reader.next(record)) {
        ++rows;
        if (rows % 4096 == 0 && progress) {
            progress(rows, static_cast<std::uintmax_t>(std::max<std::streamoff>(in.tellg(), 0)));
        }
        if (record.fields.size() != header.fields.size()) {
            Report(summary,
                   {file, record.line, "",
                    std::to_string(record.fields.size()) + " fields where the header has " +
                        std::to_string(header.fields.size())});
            continue;
        }
        bool good = true;
        for (std::size_t c = 0; c < kind->columns.size() && good; ++c) {
            const ImportColumn& column = kind->columns[c];
            // Each field is one column's (the header names none twice).
            std::string value =
                at[c] >= 0 ? std::move(record.fields[static_cast<std::size_t>(at[c])]) : "";
            const auto problem = [&](const std::string& why) {
                Report(summary, {file, record.line, column.name, why});
                good = false;
            };
            if (value.empty()) {
                if (column.required) {
                    problem("missing");
                    continue;
                }
                if (column.type != ColumnType::Text) {
                    value = std::to_string(std::max<std::int64_t>(column.minimum, 0));
                }
            } else if (column.type == ColumnType::Integer || column.type == ColumnType::Flag) {
                const std::optional<std::int64_t> number = ParseInteger(value);
                const std::int64_t low = column.type == ColumnType::Flag ? 0 : column.minimum;
                const std::int64_t high = column.type == ColumnType::Flag ? 1 : column.maximum;
                if (!number) {
                    problem("not a whole number: \"" + value.substr(0, 40) + "\"");
                } else if (*number < 0 && low == 0 && column.type == ColumnType::Integer) {
                    problem("below zero");
                } else if (*number < low || *number > high) {
                    problem("out of range " + std::to_string(low) + " to " + std::to_string(high));
                } else {
                    value = std::to_string(*number);
                }
            } else if (column.type == ColumnType::Day && !IsDay(value)) {
                problem("not a day YYYY-MM-DD");
            }
            values[c] = std::move(value);
        }
        if (!good) {
            continue;
        }
        std::string column;
        const std::string why = CheckRow(*kind, kindName, values, column);
        if (!why.empty()) {
            Report(summary, {file, record.line, column, why});
            continue;
        }
        session.stage(*kind, file, record.line, values);
    }
    if (!reader.error().empty()) {
        Report(summary, {file, reader.errorLine(), "", reader.error()});
    }
    return rows;
}

// The files in the order of their kinds (what refers after what it refers
// to), files of one kind as given; those without a known header first, so
// their problem comes before any row is read.
std::vector<std::string> FilesInKindOrder(const std::vector<std::string>& files) {
    std::vector<std::pair<std::size_t, std::string>> ordered;
    const std::vector<ImportKind>& kinds = ImportKinds();
    for (const std::string& file : files) {
        std::size_t rank = 0;
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error)) {
            std::ifstream in(file, std::ios::binary);
            csv::Reader reader(in);
            csv::Record header;
            std::string reason;
            const ImportKind* kind =
                reader.next(header) ? RecognizeHeader(header.fields, reason) : nullptr;
            rank = kind ? static_cast<std::size_t>(kind - kinds.data()) + 1 : 0;
        }
        ordered.emplace_back(rank, file);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto& [rank, file] : ordered) {
        out.push_back(std::move(file));
    }
    return out;
}

} // namespace

const std::vector<ImportKind>& ImportKinds() {
    static const std::vector<ImportKind> kinds = {
        {"plants",
         {text("plant", true), text("name", true), text("street"), text("city"), text("zip"),
          text("state"), text("language"), integer("aord", 0, 2), integer("dnpp", 0, 4),
          integer("pof", 0, 2), flag("pcs"), flag("dnenr"), integer("dnc", 0, 32767), flag("opi"),
          flag("acs"), flag("asb"), integer("spn", 0, 2), integer("default_department", 0, kInt)},
         1},
        {"handhelds", {text("plant", true), text("handheld", true)}, 2},
        {"departments",
         {text("plant", true), integer("department", 1, kInt, true), text("code", true),
          text("description", true)},
         2},
        {"employees",
         {text("plant", true), integer("employee", 1, 999999999999999999, true),
          text("name", true)},
         2},
        {"container_ranges",
         {text("plant", true), integer("length", 1, 18, true), text("minimum", true),
          text("maximum", true)},
         4},
        {"products",
         {text("plant", true), text("product", true), text("description", true), text("size"),
          text("packaging"), flag("pool")},
         2},
        {"routes",
         {text("plant", true), integer("route", 1, kInt, true), day("delivery_day"),
          day("production_day"), integer("department", 1, kInt, true), text("description")},
         3},
        {"notes",
         {text("plant", true), text("note", true), integer("route", 1, kInt, true),
          day("delivery_day"), integer("stop", 0, 99999), text("customer", true),
          text("instructions"), integer("collection_point", 0, kInt), text("collection_point_name"),
          text("transport_article"), flag("cash_customer")},
         2},
        {"lines",
         {text("plant", true), text("note", true), integer("position", 1, 99999, true),
          text("product", true), integer("ordered", 0, 99999999, true),
          integer("minimum", 0, 99999999), integer("maximum", 0, 99999999), flag("counted"),
          integer("count_minimum", 0, 99999999), integer("count_maximum", 0, 99999999)},
         3},
        {"pool",
         {text("plant", true), text("code", true), text("product", true), flag("bundle"),
          integer("quantity", 1, 999999), flag("confirm")},
         2},
    };
    return kinds;
}

std::string ImportProblem::text() const {
    std::string out = file + ":" + std::to_string(line) + ": ";
    if (!column.empty()) {
        out += column + ": ";
    }
    return out + reason;
}

const ImportKind* RecognizeHeader(const std::vector<std::string>& header, std::string& reason) {
    const ImportKind* found = nullptr;
    for (const ImportKind& kind : ImportKinds()) {
        const auto known = [&kind](const std::string& name) {
            return std::any_of(kind.columns.begin(), kind.columns.end(),
                               [&name](const ImportColumn& c) { return name == c.name; });
        };
        const bool allKnown = std::all_of(header.begin(), header.end(), known);
        const bool allRequired =
            std::all_of(kind.columns.begin(), kind.columns.end(), [&header](const ImportColumn& c) {
                return !c.required ||
                       std::find(header.begin(), header.end(), c.name) != header.end();
            });
        if (allKnown && allRequired) {
            if (found) {
                reason =
                    "the header row fits both " + std::string(found->name) + " and " + kind.name;
                return nullptr;
            }
            found = &kind;
        }
    }
    if (!found) {
        std::string first = header.empty() ? "" : header.front().substr(0, 40);
        reason = "no CSV file of a known kind: the header row (\"" + first +
                 "\" ...) names the columns of none";
    }
    std::vector<std::string> sorted = header;
    std::sort(sorted.begin(), sorted.end());
    if (found && std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        reason = "the header row names a column twice";
        return nullptr;
    }
    return found;
}

ImportSummary ImportFiles(SiteData& data, const ImportRequest& request,
                          const ImportProgress& progress) {
    ImportSummary summary;
    std::uintmax_t total = 0;
    for (const std::string& file : request.files) {
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error)) {
            total += std::filesystem::file_size(file, error);
        }
    }
    std::unique_ptr<ImportSession> session = data.beginImport();
    session->start(request);
    long rows = 0;
    std::uintmax_t done = 0;
    for (const std::string& file : FilesInKindOrder(request.files)) {
        rows += ReadFile(file, *session, summary, [&](long fileRows, std::uintmax_t bytes) {
            if (progress) {
                progress(rows + fileRows, done + bytes, total);
            }
        });
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error)) {
            done += std::filesystem::file_size(file, error);
        }
    }
    if (progress) {
        progress(rows, total, total);
    }
    ImportRequest finish = request;
    finish.checkOnly = request.checkOnly || !summary.problems.empty();
    session->finish(finish, summary);
    return summary;
}

std::string FormatSummary(const ImportSummary& summary) {
    std::string out;
    char line[160];
    for (const ImportKind& kind : ImportKinds()) {
        const auto it = summary.kinds.find(kind.name);
        if (it == summary.kinds.end()) {
            continue;
        }
        const KindCount& c = it->second;
        std::snprintf(line, sizeof line,
                      "%-17s inserted %ld, updated %ld, unchanged %ld, skipped %ld, removed %ld\n",
                      kind.name, c.inserted, c.updated, c.unchanged, c.skipped, c.removed);
        out += line;
    }
    return out;
}

} // namespace backoffice
