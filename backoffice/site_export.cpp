#include "backoffice/site_export.h"

#include "backoffice/csv_reader.h"
#include "backoffice/xml_text.h"

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

} // namespace

std::string ExportJson(const std::vector<ExportNote>& notes, const std::string& day) {
    std::string out = "{\"day\": " + JsonString(day) + ", \"notes\": [";
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const ExportNote& n = notes[i];
        out += i ? ",\n " : "\n ";
        out +=
            "{\"plant\": " + JsonString(n.plant) + ", \"note\": " + JsonString(n.number) +
            ", \"route\": " + std::to_string(n.route) +
            ", \"delivery_day\": " + JsonString(n.deliveryDay) +
            ", \"stop\": " + std::to_string(n.stop) + ", \"customer\": " + JsonString(n.customer) +
            ", \"status\": " + JsonString(n.status) + ", \"opened_at\": " + JsonString(n.openedAt) +
            ", \"opened_by\": " + JsonString(n.openedBy) +
            ", \"opened_employee\": " + JsonString(n.openedEmployee) +
            ", \"finished_at\": " + JsonString(n.finishedAt) +
            ", \"finished_by\": " + JsonString(n.finishedBy) +
            ", \"finished_employee\": " + JsonString(n.finishedEmployee) +
            ", \"colli\": " + std::to_string(n.colli) +
            ", \"printed_at\": " + JsonString(n.printedAt) +
            ", \"processed_at\": " + JsonString(n.finishedAt) + ", \"lines\": [";
        for (std::size_t k = 0; k < n.lines.size(); ++k) {
            const ExportLine& l = n.lines[k];
            out += (k ? ", " : "") + std::string("{\"position\": ") + std::to_string(l.position) +
                   ", \"product\": " + JsonString(l.product) +
                   ", \"description\": " + JsonString(l.description) +
                   ", \"ordered\": " + std::to_string(l.ordered) +
                   ", \"delivered\": " + std::to_string(l.delivered) + "}";
        }
        out += "], \"containers\": [";
        for (std::size_t k = 0; k < n.containers.size(); ++k) {
            out += (k ? ", " : "") + std::string("{\"container\": ") +
                   JsonString(n.containers[k].code) +
                   ", \"scanned_at\": " + JsonString(n.containers[k].scannedAt) + "}";
        }
        out += "], \"pool\": [";
        for (std::size_t k = 0; k < n.pool.size(); ++k) {
            const ExportPoolUnit& u = n.pool[k];
            out += (k ? ", " : "") + std::string("{\"code\": ") + JsonString(u.code) +
                   ", \"product\": " + JsonString(u.product) +
                   ", \"bundle\": " + (u.bundle ? "true" : "false") +
                   ", \"quantity\": " + std::to_string(u.quantity) +
                   ", \"scanned_at\": " + JsonString(u.scannedAt) + "}";
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
