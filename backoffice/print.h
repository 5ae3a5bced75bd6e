#pragma once

#include <string>
#include <vector>

namespace backoffice {

// What goes on paper for one print request.
struct PrintDocument {
    std::string plantName;
    std::string plantAddress; // one line
    std::string noteNumber;
    std::string customer;
    std::string routeText;   // "Route 101 North Harbour"
    std::string deliveryDay; // "YYYY-MM-DD"
    std::string department;
    std::string collectionPoint;
    std::string transportArticle;
    std::string remark;
    std::string handheld;
    std::string employee;
    std::string printedAt; // the time of the request, UTC ("...Z")
    std::string language;  // the plant's: the printed words follow it
    int colli = 0;
    bool orderForm = false;
    struct Row {
        std::string productCode;
        std::string description;
        std::string size;
        std::string packaging;
        int ordered = 0;
        int delivered = 0;
    };
    std::vector<Row> rows;
    std::vector<std::string> containers;
    std::vector<std::string> instructions;
};

struct PrintOutcome {
    std::string file;   // the PDF written (empty if none could be written)
    std::string status; // "printed", "saved" (no print command set) or "failed"
    std::string message;
};

// A printed word in the plant's language ("Deutsch", "Nederlands"; English
// otherwise and for words without a translation).
std::string PrintWord(const std::string& language, const std::string& english);
// A UTC time of the back office ("2026-12-09T18:05:00.000Z") as the plant's
// clock reads it ("2026-12-09 19:05"); a text that is no such time as it is.
std::string PrintedLocalTime(const std::string& utc);

// Renders documents into a folder and hands them to a print command.
class Printer {
public:
    virtual ~Printer() = default;
    virtual PrintOutcome print(const PrintDocument& document, const std::string& fileStem) = 0;
};

// The delivery note (and the order form when asked) as a PDF, drawn with
// cairo; then `command` with the file as its last argument, through /bin/sh
// (for example "lp -d dock3"), when one is set.
class PdfPrinter : public Printer {
public:
    PdfPrinter(std::string folder, std::string command);
    PrintOutcome print(const PrintDocument& document, const std::string& fileStem) override;

    // Only the PDF: true when it was written.
    static bool Render(const PrintDocument& document, const std::string& path);

private:
    std::string folder_;
    std::string command_;
};

} // namespace backoffice
