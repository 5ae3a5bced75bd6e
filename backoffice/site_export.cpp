#include "backoffice/site_export.h"

#include "backoffice/csv_reader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace backoffice {

namespace {

void WriteWhole(const std::filesystem::path& path, const std::string& text) {
    const std::filesystem::path partial = path.string() + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            throw std::runtime_error("cannot write " + partial.string());
        }
    }
    std::filesystem::rename(partial, path);
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace

std::string ExportJson(const std::vector<ExportNote>& notes, const std::string& day) {
    std::string out = "{\"day\": " + Json(day) + ", \"notes\": [";
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const ExportNote& n = notes[i];
        out += i ? ",\n " : "\n ";
        out +=
            "{\"plant\": " + Json(n.plant) + ", \"note\": " + Json(n.number) +
            ", \"route\": " + std::to_string(n.route) +
            ", \"delivery_day\": " + Json(n.deliveryDay) + ", \"stop\": " + std::to_string(n.stop) +
            ", \"customer\": " + Json(n.customer) + ", \"status\": " + Json(n.status) +
            ", \"opened_at\": " + Json(n.openedAt) + ", \"opened_by\": " + Json(n.openedBy) +
            ", \"opened_employee\": " + Json(n.openedEmployee) +
            ", \"finished_at\": " + Json(n.finishedAt) +
            ", \"finished_by\": " + Json(n.finishedBy) +
            ", \"finished_employee\": " + Json(n.finishedEmployee) +
            ", \"colli\": " + std::to_string(n.colli) + ", \"printed_at\": " + Json(n.printedAt) +
            ", \"processed_at\": " + Json(n.finishedAt) + ", \"lines\": [";
        for (std::size_t k = 0; k < n.lines.size(); ++k) {
            const ExportLine& l = n.lines[k];
            out += (k ? ", " : "") + std::string("{\"position\": ") + std::to_string(l.position) +
                   ", \"product\": " + Json(l.product) +
                   ", \"description\": " + Json(l.description) +
                   ", \"ordered\": " + std::to_string(l.ordered) +
                   ", \"delivered\": " + std::to_string(l.delivered) + "}";
        }
        out += "], \"containers\": [";
        for (std::size_t k = 0; k < n.containers.size(); ++k) {
            out += (k ? ", " : "") + std::string("{\"container\": ") + Json(n.containers[k].code) +
                   ", \"scanned_at\": " + Json(n.containers[k].scannedAt) + "}";
        }
        out += "], \"pool\": [";
        for (std::size_t k = 0; k < n.pool.size(); ++k) {
            const ExportPoolUnit& u = n.pool[k];
            out += (k ? ", " : "") + std::string("{\"code\": ") + Json(u.code) +
                   ", \"product\": " + Json(u.product) +
                   ", \"bundle\": " + (u.bundle ? "true" : "false") +
                   ", \"quantity\": " + std::to_string(u.quantity) +
                   ", \"scanned_at\": " + Json(u.scannedAt) + "}";
        }
        out += "]}";
    }
    return out + "\n]}\n";
}

std::vector<std::string> WriteExport(const std::vector<ExportNote>& notes, const std::string& day,
                                     const std::string& format, const std::string& folder) {
    const std::filesystem::path dir(folder);
    std::filesystem::create_directories(dir);
    if (format == "json") {
        const std::filesystem::path path = dir / ("export-" + day + ".json");
        WriteWhole(path, ExportJson(notes, day));
        return {path.string()};
    }
    using csv::FormatRecord;
    std::string noteText =
        FormatRecord({"plant", "note", "route", "delivery_day", "stop", "customer", "status",
                      "opened_at", "opened_by", "opened_employee", "finished_at", "finished_by",
                      "finished_employee", "colli", "printed_at", "processed_at"});
    std::string lineText = FormatRecord(
        {"plant", "note", "position", "product", "description", "ordered", "delivered"});
    std::string containerText = FormatRecord({"plant", "note", "container", "scanned_at"});
    std::string poolText =
        FormatRecord({"plant", "note", "code", "product", "bundle", "quantity", "scanned_at"});
    for (const ExportNote& n : notes) {
        noteText += FormatRecord(
            {n.plant, n.number, std::to_string(n.route), n.deliveryDay, std::to_string(n.stop),
             n.customer, n.status, n.openedAt, n.openedBy, n.openedEmployee, n.finishedAt,
             n.finishedBy, n.finishedEmployee, std::to_string(n.colli), n.printedAt, n.finishedAt});
        for (const ExportLine& l : n.lines) {
            lineText += FormatRecord({n.plant, n.number, std::to_string(l.position), l.product,
                                      l.description, std::to_string(l.ordered),
                                      std::to_string(l.delivered)});
        }
        for (const ExportContainer& c : n.containers) {
            containerText += FormatRecord({n.plant, n.number, c.code, c.scannedAt});
        }
        for (const ExportPoolUnit& u : n.pool) {
            poolText += FormatRecord({n.plant, n.number, u.code, u.product, u.bundle ? "1" : "0",
                                      std::to_string(u.quantity), u.scannedAt});
        }
    }
    std::vector<std::string> written;
    for (const auto& [name, text] : {std::pair<const char*, std::string*>{"notes", &noteText},
                                     {"lines", &lineText},
                                     {"containers", &containerText},
                                     {"pool", &poolText}}) {
        const std::filesystem::path path = dir / (std::string(name) + "-" + day + ".csv");
        WriteWhole(path, *text);
        written.push_back(path.string());
    }
    return written;
}

} // namespace backoffice
