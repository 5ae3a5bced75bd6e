#include "backoffice/print.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace backoffice {

namespace {

constexpr double kPageWidth = 595.0; // A4 in points
constexpr double kPageHeight = 842.0;
constexpr double kMargin = 48.0;
constexpr auto kCommandTimeout = std::chrono::seconds(30);

// One page after the other, with a running position.
class Pages {
public:
    explicit Pages(cairo_t* cr) : cr_(cr) {}

    void font(double size, bool bold) {
        cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, size);
        size_ = size;
    }
    void text(double x, const std::string& text) {
        cairo_move_to(cr_, x, y_);
        cairo_show_text(cr_, text.c_str());
    }
    void rightText(double right, const std::string& text) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, text.c_str(), &extents);
        cairo_move_to(cr_, right - extents.x_advance, y_);
        cairo_show_text(cr_, text.c_str());
    }
    void line() {
        cairo_set_line_width(cr_, 0.6);
        cairo_move_to(cr_, kMargin, y_ - size_ * 1.15);
        cairo_line_to(cr_, kPageWidth - kMargin, y_ - size_ * 1.15);
        cairo_stroke(cr_);
    }
    // Moves down one line, starting a new page when this one is full.
    void advance(double lines = 1.0) {
        y_ += size_ * 1.45 * lines;
        if (y_ > kPageHeight - kMargin) {
            newPage();
        }
    }
    void newPage() {
        cairo_show_page(cr_);
        y_ = kMargin + 12.0;
    }
    // Cuts a text to a width so that a long value cannot run over a column.
    std::string fit(const std::string& text, double width) {
        std::string out = text;
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, out.c_str(), &extents);
        while (!out.empty() && extents.x_advance > width) {
            // Drop whole UTF-8 characters.
            do {
                out.pop_back();
            } while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80);
            if (!out.empty()) {
                out.pop_back();
            }
            const std::string shown = out + "\xE2\x80\xA6";
            cairo_text_extents(cr_, shown.c_str(), &extents);
            if (extents.x_advance <= width) {
                return shown;
            }
        }
        return out;
    }

private:
    cairo_t* cr_;
    double y_ = kMargin + 12.0;
    double size_ = 10.0;
};

// The printed words, in the plant's language.
struct PrintWords {
    const char* english;
    const char* deutsch;
    const char* nederlands;
};
constexpr PrintWords kPrintWords[] = {
    {"Delivery note", "Lieferschein", "Afleverbon"},
    {"Order form", "Bestellschein", "Bestelformulier"},
    {"Packing note", "Packschein", "Pakbon"},
    {"Customer", "Kunde", "Klant"},
    {"Route", "Tour", "Route"},
    {"Delivery day", "Liefertag", "Leverdag"},
    {"Department", "Abteilung", "Afdeling"},
    {"Collection point", "Sammelstelle", "Verzamelpunt"},
    {"Transport article", "Transportmittel", "Transportmiddel"},
    {"Colli", "Colli", "Colli"},
    {"Remark", "Bemerkung", "Opmerking"},
    {"Product", "Artikel", "Artikel"},
    {"Description", "Beschreibung", "Omschrijving"},
    {"Size", "Größe", "Maat"},
    {"Ordered", "Bestellt", "Besteld"},
    {"Delivered", "Geliefert", "Geleverd"},
    {"Last time", "Letztes Mal", "Vorige keer"},
    {"Next order", "Nächste Bestellung", "Volgende bestelling"},
    {"Containers", "Behälter", "Containers"},
    {"Packed with handheld", "Gepackt mit Handgerät", "Ingepakt met handterminal"},
    {"by", "von", "door"},
    {"printed", "gedruckt", "afgedrukt"},
    {"Received in good order", "Einwandfrei erhalten", "In goede orde ontvangen"},
    {"Signature", "Unterschrift", "Handtekening"},
    {"Date", "Datum", "Datum"},
};

void header(Pages& p, const PrintDocument& d, const std::string& title) {
    const auto w = [&d](const char* english) { return PrintWord(d.language, english); };
    p.font(16, true);
    p.text(kMargin, d.plantName);
    p.rightText(kPageWidth - kMargin, title);
    p.advance();
    p.font(9, false);
    p.text(kMargin, d.plantAddress);
    p.advance(2);
    p.font(10, false);
    const auto field = [&p](const std::string& label, const std::string& value) {
        if (value.empty()) {
            return;
        }
        p.font(10, true);
        p.text(kMargin, label);
        p.font(10, false);
        p.text(kMargin + 120, p.fit(value, kPageWidth - 2 * kMargin - 120));
        p.advance();
    };
    field(w("Packing note"), d.noteNumber);
    field(w("Customer"), d.customer);
    field(w("Route"), d.routeText);
    field(w("Delivery day"), d.deliveryDay);
    field(w("Department"), d.department);
    field(w("Collection point"), d.collectionPoint);
    field(w("Transport article"), d.transportArticle);
    field(w("Colli"), std::to_string(d.colli));
    field(w("Remark"), d.remark);
    p.advance();
}

// The lines of a note with two figures of the caller's choosing at the right.
void productTable(
    Pages& p, const PrintDocument& d, const char* firstHeading, const char* secondHeading,
    const std::function<std::pair<std::string, std::string>(const PrintDocument::Row&)>& figures) {
    p.font(9, true);
    p.text(kMargin, PrintWord(d.language, "Product"));
    p.text(kMargin + 70, PrintWord(d.language, "Description"));
    p.text(kMargin + 260, PrintWord(d.language, "Size"));
    p.rightText(kPageWidth - kMargin - 60, PrintWord(d.language, firstHeading));
    p.rightText(kPageWidth - kMargin, PrintWord(d.language, secondHeading));
    p.advance();
    p.line();
    p.font(9, false);
    for (const PrintDocument::Row& row : d.rows) {
        const auto [first, second] = figures(row);
        p.text(kMargin, p.fit(row.productCode, 65));
        p.text(kMargin + 70, p.fit(row.description, 185));
        p.text(kMargin + 260, p.fit(row.size + " " + row.packaging, 120));
        p.rightText(kPageWidth - kMargin - 60, first);
        p.rightText(kPageWidth - kMargin, second);
        p.advance();
    }
}

void deliveryNote(Pages& p, const PrintDocument& d) {
    const auto w = [&d](const char* english) { return PrintWord(d.language, english); };
    header(p, d, w("Delivery note"));
    productTable(p, d, "Ordered", "Delivered", [](const PrintDocument::Row& row) {
        return std::pair{std::to_string(row.ordered), std::to_string(row.delivered)};
    });
    p.line();
    p.advance();
    if (!d.containers.empty()) {
        p.font(9, true);
        p.text(kMargin, w("Containers"));
        p.font(9, false);
        std::string list;
        for (const std::string& container : d.containers) {
            list += (list.empty() ? "" : ", ") + container;
        }
        p.text(kMargin + 120, p.fit(list, kPageWidth - 2 * kMargin - 120));
        p.advance();
    }
    for (const std::string& instruction : d.instructions) {
        p.text(kMargin, p.fit("\xE2\x80\xA2 " + instruction, kPageWidth - 2 * kMargin));
        p.advance();
    }
    p.advance(2);
    p.font(8, false);
    p.text(kMargin, w("Packed with handheld") + " " + d.handheld +
                        (d.employee.empty() ? std::string() : " " + w("by") + " " + d.employee) +
                        ", " + w("printed") + " " + PrintedLocalTime(d.printedAt));
    p.advance(3);
    p.font(9, false);
    p.text(kMargin, w("Received in good order") + ": ______________________________");
}

void orderForm(Pages& p, const PrintDocument& d) {
    const auto w = [&d](const char* english) { return PrintWord(d.language, english); };
    p.newPage();
    header(p, d, w("Order form"));
    productTable(p, d, "Last time", "Next order", [](const PrintDocument::Row& row) {
        return std::pair{std::to_string(row.delivered), std::string("______")};
    });
    p.advance(2);
    p.text(kMargin,
           w("Signature") + ": ______________________________   " + w("Date") + ": ____________");
}

// Runs the command with the file as "$1"; the file name is never part of
// the shell text.
std::string runCommand(const std::string& command, const std::string& file) {
    const std::string script = command + " \"$1\"";
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), "korvane-print", file.c_str(), nullptr};
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Nothing of the server but the standard streams: a command that leaves
    // something running behind it would otherwise keep the listening socket
    // (the next start cannot listen) and the handhelds' connections open.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    const int rc =
        posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return "cannot start the print command: " + std::string(std::strerror(rc));
    }
    const auto deadline = std::chrono::steady_clock::now() + kCommandTimeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return "lost the print command";
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return "the print command took longer than 30 s and was stopped";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return std::string();
    }
    return WIFEXITED(status) ? "the print command ended with " + std::to_string(WEXITSTATUS(status))
                             : std::string("the print command was killed");
}

} // namespace

std::string PrintWord(const std::string& language, const std::string& english) {
    for (const PrintWords& word : kPrintWords) {
        if (english == word.english) {
            if (language == "Deutsch") {
                return word.deutsch;
            }
            if (language == "Nederlands") {
                return word.nederlands;
            }
            break;
        }
    }
    return english;
}

std::string PrintedLocalTime(const std::string& utc) {
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6 ||
        utc.find('Z', static_cast<std::size_t>(consumed)) == std::string::npos) {
        return utc;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t seconds = timegm(&tm);
    std::tm local{};
    char text[32];
    if (seconds == static_cast<std::time_t>(-1) || localtime_r(&seconds, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0) {
        return utc;
    }
    return text;
}

PdfPrinter::PdfPrinter(std::string folder, std::string command)
    : folder_(std::move(folder)), command_(std::move(command)) {}

bool PdfPrinter::Render(const PrintDocument& document, const std::string& path) {
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), kPageWidth, kPageHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                   ("Delivery note " + document.noteNumber).c_str());
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    Pages pages(cr);
    deliveryNote(pages, document);
    if (document.orderForm) {
        orderForm(pages, document);
    }
    cairo_show_page(cr);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool written = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return drawn && written;
}

PrintOutcome PdfPrinter::print(const PrintDocument& document, const std::string& fileStem) {
    PrintOutcome outcome;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    const std::string final = (std::filesystem::path(folder_) / (fileStem + ".pdf")).string();
    const std::string partial = final + ".part";
    // Written beside and renamed, so that a print folder watcher never picks
    // up half a file.
    if (!Render(document, partial) || std::rename(partial.c_str(), final.c_str()) != 0) {
        std::remove(partial.c_str());
        outcome.status = "failed";
        outcome.message = "cannot write " + final;
        return outcome;
    }
    outcome.file = final;
    if (command_.empty()) {
        outcome.status = "saved";
        return outcome;
    }
    outcome.message = runCommand(command_, final);
    outcome.status = outcome.message.empty() ? "printed" : "failed";
    return outcome;
}

} // namespace backoffice
