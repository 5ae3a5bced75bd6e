#include "backoffice/handlers.h"

#include "backoffice/print.h"
#include "backoffice/texts.h"
#include "backoffice/xml_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>
#include <strings.h>
#include <thread>

namespace backoffice {

namespace {

// A request the back office cannot read: answered with code 1 and the
// reason, nothing changed.
struct BadRequest {
    std::string reason;
};

// A request the rules refuse: answered with a result code, nothing changed.
struct Refusal {
    const char* code;
    std::string message;
};

constexpr int kMaxQuantity = 999999;
constexpr size_t kMaxCodeLength = 64;

// Reading a request document.
class RequestReader {
public:
    explicit RequestReader(pugi::xml_node root) : root_(root) {}

    std::optional<std::string> text(const char* name) const {
        const pugi::xml_node node = root_.child(name);
        if (!node) {
            return std::nullopt;
        }
        return std::string(node.child_value());
    }
    std::string requiredText(const char* name) const {
        std::optional<std::string> value = text(name);
        if (!value) {
            throw BadRequest{std::string("the request has no ") + name};
        }
        return *value;
    }
    std::int64_t number(const char* name) const {
        const std::optional<std::int64_t> value = ParseInteger(requiredText(name));
        if (!value) {
            throw BadRequest{std::string(name) + " is no whole number"};
        }
        return *value;
    }
    std::optional<std::int64_t> optionalNumber(const char* name) const {
        const std::optional<std::string> value = text(name);
        return value ? ParseInteger(*value) : std::nullopt;
    }
    std::int32_t unsigned32(const char* name) const {
        const std::optional<std::int32_t> value = ParseUnsigned32(requiredText(name));
        if (!value) {
            throw BadRequest{std::string(name) + " is no 32-bit number"};
        }
        return *value;
    }
    pugi::xml_node root() const { return root_; }

private:
    pugi::xml_node root_;
};

std::string trimmed(std::string text) {
    const auto blank = [](unsigned char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    size_t from = 0;
    while (from < text.size() && blank(static_cast<unsigned char>(text[from]))) {
        ++from;
    }
    return text.substr(from);
}

bool alphanumeric(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

std::chrono::system_clock::time_point parseIso(const std::string& text) {
    std::tm tm{};
    int millis = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &millis) < 6) {
        return {};
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(timegm(&tm)) + std::chrono::milliseconds(millis);
}

bool validDay(int year, int month, int day) {
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string dayText(int year, int month, int day) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
}

// The answer document: declaration, root element in its binding namespace.
class Answer {
public:
    explicit Answer(std::string_view element) {
        out_.raw(kInnerDeclaration).start(element).rawAttr("xmlns", BindingNamespace(element));
    }
    XmlOut& xml() { return out_; }
    std::string finish() {
        out_.end();
        return out_.take();
    }

private:
    XmlOut out_;
};

std::string resultDocument(std::string_view element, std::string_view code,
                           std::string_view message) {
    Answer answer(element);
    answer.xml().leaf("Code", code).leaf("Message", PlainMessage(message));
    return answer.finish();
}

// The time of an exchange: the database's clock unless the tests set one,
// read in the exchange's transaction when first wanted, so every server on
// one database compares the same times and a reading exchange that compares
// none asks the database for nothing.
class ExchangeClock {
public:
    ExchangeClock(const HandlerOptions& options, StoreTransaction& tx)
        : options_(options), tx_(tx) {}
    std::chrono::system_clock::time_point at() {
        if (!at_) {
            at_ = options_.clock ? options_.clock() : tx_.now();
            iso_ = IsoTime(*at_);
        }
        return *at_;
    }
    const std::string& iso() {
        at();
        return iso_;
    }

private:
    const HandlerOptions& options_;
    StoreTransaction& tx_;
    std::optional<std::chrono::system_clock::time_point> at_;
    std::string iso_;
};

// Everything a handler works with.
struct Context {
    StoreTransaction& tx;
    RequestReader in;
    Plant plant;
    Device device;
    std::optional<Id> employeeId;
    ExchangeClock& time;
    const HandlerOptions& options;
};

// -------------------------------------------------------------------------
// Rules about holds

bool heldByOther(const Context& c, const Note& note) {
    if (!note.heldBy || *note.heldBy == c.device.id) {
        return false;
    }
    return parseIso(note.heldSince) + c.options.holdLifetime > c.time.at();
}

std::string deviceCode(Context& c, Id id) {
    const std::optional<Device> device = c.tx.device(id);
    return device ? device->code : std::to_string(id);
}

Note requireNote(Context& c, Id id) {
    std::optional<Note> note = c.tx.noteToChange(id);
    if (!note || note->plantId != c.plant.id) {
        throw Refusal{Codes::NoteUnknown, ""};
    }
    return *note;
}

// A note this device may change: not done, not held by another device.
void requireWorkable(Context& c, const Note& note) {
    if (note.status == NoteStatus::Done) {
        throw Refusal{Codes::NoteDone, ""};
    }
    if (heldByOther(c, note)) {
        throw Refusal{Codes::NoteHeld, Say(c.plant.language, Text::NoteHeld, note.number,
                                           deviceCode(c, *note.heldBy))};
    }
}

// The note as released: as the database now has it (the update is
// conditional on `note`).
Note release(Context& c, const Note& note) {
    Note after = note;
    after.heldBy.reset();
    after.holdKind = HoldKind::None;
    after.heldSince.clear();
    // Opened and left without any work: it is new again.
    if (note.status == NoteStatus::InProgress && note.holdStart == NoteStatus::New &&
        !note.holdTouched) {
        after.status = NoteStatus::New;
    }
    after.holdStart = NoteStatus::New;
    after.holdTouched = false;
    c.tx.updateNote(note, after);
    return after;
}

// A handheld works on one note at a time.
void releaseOthers(Context& c, Id keep) {
    for (const Note& held : c.tx.notesHeldBy(c.device.id)) {
        if (held.id != keep) {
            release(c, held);
        }
    }
}

Note takeHold(Context& c, const Note& note, HoldKind kind) {
    Note after = note;
    if (note.heldBy != c.device.id) {
        after.heldBy = c.device.id;
        after.holdStart = kind == HoldKind::TakenNext ? NoteStatus::InProgress : note.status;
        after.holdTouched = false;
    }
    after.holdKind = kind;
    after.heldSince = c.time.iso();
    if (after.status == NoteStatus::New) {
        after.status = NoteStatus::InProgress;
    }
    c.tx.updateNote(note, after);
    return after;
}

// Something was recorded on the note. `countedInProgress`: the handheld
// counts the note in progress from now on (it saved the quantities: Hold), so
// when it opens the note again SC must say "20", not the "10" it was taken in.
Note touch(Context& c, const Note& note, bool countedInProgress = false) {
    Note after = note;
    if (after.status == NoteStatus::New) {
        after.status = NoteStatus::InProgress;
    }
    if (note.heldBy == c.device.id) {
        after.holdTouched = true;
        after.heldSince = c.time.iso();
        if (countedInProgress) {
            after.holdStart = NoteStatus::InProgress;
        }
    }
    c.tx.updateNote(note, after);
    return after;
}

// -------------------------------------------------------------------------
// Pieces of answers

void writeNote(XmlOut& x, const Context& c, const Note& note) {
    x.start("PackingNote")
        .rawAttr("xmlns", "")
        .attr("PNID", note.id)
        .attr("NNR", note.number)
        .attr("CN", note.customer)
        .flag("SP", note.processMode)
        .attr("SC", StatusCode(note, c.device.id))
        .attr("PNCN", std::int64_t{note.colli})
        .end();
}

void writeRouteAttributes(XmlOut& x, const Route& route) {
    x.attr("RCID", route.id)
        .attr("RNR", std::int64_t{route.number})
        .attr("D", route.description)
        .attr("QN", std::int64_t{route.newNotes})
        .attr("QP", std::int64_t{route.inProgress})
        .attr("QC", std::int64_t{route.done});
}

void writeLine(XmlOut& x, const char* element, const Line& line, bool countLimits) {
    x.start(element)
        .attr("PNLID", line.id)
        .attr("PS", std::int64_t{line.position})
        .attr("PC", line.productCode)
        .attr("PD", line.description)
        .attr("SD", line.size)
        .attr("FMD", line.packaging)
        .attr("QO", std::int64_t{line.ordered})
        .attr("QD", std::int64_t{line.delivered});
    if (countLimits) {
        x.attr("MINQD", std::int64_t{line.countMinimum})
            .attr("MAXQD", std::int64_t{line.countMaximum});
    } else {
        x.attr("MINQ", std::int64_t{line.minimum}).attr("MAXQ", std::int64_t{line.maximum});
    }
    x.end();
}

std::string noteSummary(std::string_view element, const Context& c, const Note& note) {
    Answer answer(element);
    answer.xml().leaf("PackingNote_ID", note.id).leaf("StatusCode", StatusCode(note, c.device.id));
    return answer.finish();
}

// -------------------------------------------------------------------------
// The thirteen messages

std::string employeeMessage(Context& c) {
    const std::int64_t number = c.in.number("EmployeeNumber");
    const std::optional<Employee> employee = c.tx.employeeByNumber(c.plant.id, number);
    if (!employee) {
        throw Refusal{Codes::EmployeeUnknown, ""};
    }
    Answer answer("KorvaneEmployeeResponse");
    answer.xml()
        .start("Employee")
        .rawAttr("xmlns", "")
        .attr("EID", employee->id)
        .attr("ENR", employee->number)
        .attr("N", employee->name)
        .end();
    return answer.finish();
}

// The day a route list asks for, when it names a valid one.
std::optional<std::string> referenceDay(const RequestReader& in) {
    const pugi::xml_node date = in.root().child("ReferenceDate");
    const std::optional<std::int64_t> year = ParseInteger(date.child_value("year"));
    const std::optional<std::int64_t> month = ParseInteger(date.child_value("month"));
    const std::optional<std::int64_t> day = ParseInteger(date.child_value("day"));
    if (!year || !month || !day ||
        !validDay(static_cast<int>(*year), static_cast<int>(*month), static_cast<int>(*day))) {
        return std::nullopt;
    }
    return dayText(static_cast<int>(*year), static_cast<int>(*month), static_cast<int>(*day));
}

// A department, or every department (a negative one).
std::optional<Id> departmentOrAll(std::int32_t department) {
    return department < 0 ? std::nullopt : std::optional<Id>(department);
}

std::string routeMessage(Context& c) {
    const std::optional<std::string> day = referenceDay(c.in);
    if (!day) {
        throw BadRequest{"ReferenceDate is no valid day"};
    }
    const std::int64_t dateType = c.in.number("DateType");
    if (dateType != 0 && dateType != 1) {
        throw BadRequest{"DateType is neither 0 nor 1"};
    }
    const std::vector<Route> routes = c.tx.routes(
        c.plant.id, departmentOrAll(c.in.unsigned32("PlantDepartment_ID")), *day, dateType == 0);
    Answer answer("KorvaneRouteResponse");
    XmlOut& x = answer.xml();
    x.start("RouteControl").rawAttr("xmlns", "");
    for (const Route& route : routes) {
        x.start("RouteControl");
        writeRouteAttributes(x, route);
        x.end();
    }
    x.end();
    return answer.finish();
}

std::string packingNoteMessage(Context& c) {
    const std::int32_t action = c.in.unsigned32("Action");
    Answer answer("KorvanePackingNoteResponse");
    XmlOut& x = answer.xml();
    switch (action) {
    case 0: { // open
        Note note = requireNote(c, c.in.number("PackingNote_ID"));
        requireWorkable(c, note);
        releaseOthers(c, note.id);
        note = takeHold(c, note, HoldKind::Opened);
        writeNote(x, c, note);
        const NoteDetails details = c.tx.noteDetails(note);
        const std::optional<Department>& department = details.department;
        x.start("PackingNoteDetails").rawAttr("xmlns", "");
        x.leaf("SN", std::int64_t{note.stop})
            .leaf("DN", std::int64_t{department ? department->number : 0})
            .leaf("DD", department ? department->description : std::string())
            .leaf("TA", note.transportArticle)
            .leaf("R", note.remark)
            .leaf("CPN", std::int64_t{note.collectionPoint})
            .leaf("CPD", note.collectionPointName);
        x.start("C");
        for (const ContainerOnNote& container : details.containers) {
            x.start("C").attr("CPID", container.code).end();
        }
        x.end().start("UI");
        for (const std::string& instruction : details.instructions) {
            x.start("UI").attr("UI", instruction).end();
        }
        x.end().end();
        break;
    }
    case 1: { // find by number, in any route of the plant
        const std::string number = trimmed(c.in.requiredText("ScannedNoteNumber"));
        const std::optional<Note> note =
            number.size() > kMaxCodeLength ? std::nullopt : c.tx.noteByNumber(c.plant.id, number);
        if (!note) {
            throw Refusal{Codes::NoteUnknown, ""};
        }
        requireWorkable(c, *note);
        writeNote(x, c, *note);
        if (const std::optional<Route> route = c.tx.route(note->routeId)) {
            x.start("RouteChange").rawAttr("xmlns", "").attr("FD", route->deliveryDay);
            writeRouteAttributes(x, *route);
            x.end();
        }
        break;
    }
    case 2: { // the next new note of the route
        const std::optional<Route> route = c.tx.route(c.in.unsigned32("RouteControl_ID"));
        if (!route || route->plantId != c.plant.id) {
            throw Refusal{Codes::RouteUnknown, ""};
        }
        // Asked again before the note was opened (a retry, or a second
        // press): the same note, not a second one.
        std::optional<Note> note;
        for (const Note& held : c.tx.notesHeldBy(c.device.id)) {
            if (held.routeId == route->id && held.holdKind == HoldKind::TakenNext &&
                !held.holdTouched) {
                note = held;
            }
        }
        if (!note) {
            note = c.tx.nextNewNote(route->id);
        }
        if (!note) {
            throw Refusal{Codes::NoNewNote, ""};
        }
        releaseOthers(c, note->id);
        takeHold(c, *note, HoldKind::TakenNext);
        // SC says what the note was before this answer: "10" the first time
        // (the handheld counts it from new to in progress), "20" when the same
        // note comes again (counted already).
        writeNote(x, c, *note);
        break;
    }
    case 3: { // leave
        std::vector<Note> released;
        for (const Note& note : c.tx.notesHeldBy(c.device.id)) {
            released.push_back(release(c, note));
        }
        if (!released.empty()) {
            writeNote(x, c, released.front());
        }
        break;
    }
    default:
        throw BadRequest{"Action " + std::to_string(action) + " is unknown"};
    }
    return answer.finish();
}

std::string packingNoteListMessage(Context& c) {
    const std::optional<Route> route = c.tx.route(c.in.unsigned32("RouteControl_ID"));
    if (!route || route->plantId != c.plant.id) {
        throw Refusal{Codes::RouteUnknown, ""};
    }
    const std::int32_t action = c.in.unsigned32("Action");
    if (action < 0 || action > 2) {
        throw BadRequest{"Action " + std::to_string(action) + " is unknown"};
    }
    Answer answer("KorvanePackingNoteListResponse");
    XmlOut& x = answer.xml();
    x.start("PackingNote").rawAttr("xmlns", "");
    for (const Note& note : c.tx.notes(route->id, static_cast<NoteStatus>(action))) {
        x.start("PackingNote")
            .attr("PNID", note.id)
            .attr("NNR", note.number)
            .attr("CN", note.customer)
            .flag("SP", note.processMode)
            .attr("PNCN", std::int64_t{note.colli})
            .end();
    }
    x.end();
    return answer.finish();
}

std::string packingNoteContainerMessage(Context& c) {
    const std::string code = trimmed(c.in.requiredText("ContainerIDCode"));
    std::optional<Note> found;
    if (!code.empty() && code.size() <= kMaxCodeLength) {
        // A container travels with many notes over time: the open one, else
        // the last.
        std::optional<Id> chosen;
        for (const ContainerOnNote& entry : c.tx.containerHistory(c.plant.id, code)) {
            if (!chosen) {
                chosen = entry.noteId;
            }
            if (entry.noteStatus != NoteStatus::Done) {
                chosen = entry.noteId;
                break;
            }
        }
        if (chosen) {
            found = c.tx.note(*chosen);
        }
    }
    if (!found) {
        throw Refusal{Codes::ContainerUnknown, ""};
    }
    Answer answer("KorvanePackingNoteContainerResponse");
    writeNote(answer.xml(), c, *found);
    return answer.finish();
}

std::string packingNoteLineMessage(Context& c) {
    const Note note = requireNote(c, c.in.number("PackingNote_ID"));
    Answer answer("KorvanePackingNoteLineResponse");
    XmlOut& x = answer.xml();
    x.attr("PackingNote_ID", note.id).attr("StatusCode", StatusCode(note, c.device.id));
    x.start("packingnoteline").rawAttr("xmlns", "");
    for (const Line& line : c.tx.lines(note.id)) {
        writeLine(x, "packingnoteline", line, false);
    }
    x.end();
    return answer.finish();
}

std::string scanTime(const Context& c) {
    const pugi::xml_node stamp = c.in.root().child("ScanTimestamp");
    const auto part = [&stamp](const char* name) {
        return ParseInteger(stamp.child_value(name)).value_or(-1);
    };
    const std::int64_t year = part("year"), month = part("month"), day = part("day"),
                       hours = part("hours"), minutes = part("minutes"), seconds = part("seconds"),
                       millis = part("milliseconds");
    if (!validDay(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)) ||
        hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 60 ||
        millis < 0 || millis > 999) {
        return c.time.iso(); // no usable device time: the time it arrived
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d",
                  static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                  static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds),
                  static_cast<int>(millis));
    return buffer;
}

std::string containerScanMessage(Context& c) {
    Note note = requireNote(c, c.in.number("PackingNote_ID"));
    const std::string code = trimmed(c.in.requiredText("ContainerIDCode"));
    if (code.empty() || code.size() > 24 || !alphanumeric(code)) {
        throw BadRequest{"ContainerIDCode must be 1 to 24 letters and digits"};
    }
    requireWorkable(c, note);
    const std::vector<ContainerRange> ranges = c.tx.containerRanges(c.plant.id);
    if (!ranges.empty() && !ContainerInRange(code, ranges)) {
        throw Refusal{Codes::ContainerOutOfRange, ""};
    }
    bool onThisNote = false;
    for (const ContainerOnNote& entry : c.tx.containerHistory(c.plant.id, code)) {
        if (entry.noteId == note.id) {
            onThisNote = true; // a repeated scan is not a second container
            continue;
        }
        if (entry.noteStatus != NoteStatus::Done) {
            throw Refusal{Codes::ContainerElsewhere,
                          Say(c.plant.language, Text::ContainerElsewhere, code, entry.noteNumber)};
        }
    }
    if (!onThisNote) {
        c.tx.addContainer(note.id, code, scanTime(c));
        note = touch(c, note);
    }
    Answer answer("KorvaneContainerScanResponse");
    answer.xml().attr("PNID", note.id).attr("CPID", code).attr("SC", StatusCode(note, c.device.id));
    return answer.finish();
}

std::string deliveredQuantityMessage(Context& c) {
    Note note = requireNote(c, c.in.number("PackingNote_ID"));
    std::map<Id, int> wanted;
    for (pugi::xml_node entry = c.in.root().child("DeliveredLines"); entry;
         entry = entry.next_sibling("DeliveredLines")) {
        const std::optional<std::int64_t> id =
            ParseInteger(entry.child_value("PackingNoteLine_ID"));
        const std::optional<std::int64_t> quantity = ParseInteger(entry.child_value("Delivered"));
        if (!id || !quantity) {
            throw BadRequest{"DeliveredLines needs a line id and a whole quantity"};
        }
        if (*quantity < 0 || *quantity > kMaxQuantity) {
            throw BadRequest{"a delivered quantity must be 0 to " + std::to_string(kMaxQuantity)};
        }
        wanted[*id] = static_cast<int>(*quantity);
    }
    requireWorkable(c, note);
    std::vector<Line> lines = c.tx.lines(note.id);
    for (const auto& [id, quantity] : wanted) {
        const auto line =
            std::find_if(lines.begin(), lines.end(), [id](const Line& l) { return l.id == id; });
        if (line == lines.end()) {
            throw Refusal{Codes::LineUnknown, ""};
        }
    }
    std::vector<Line> before, after;
    for (const Line& line : lines) {
        const auto entry = wanted.find(line.id);
        if (entry == wanted.end() || entry->second == line.delivered) {
            continue;
        }
        before.push_back(line);
        after.push_back(line);
        after.back().delivered = entry->second; // absolute: a repeated request changes nothing
    }
    c.tx.updateLines(before, after);
    // A save counts as work even when every quantity stood as delivered (Hold
    // on a note the worker only confirmed): the handheld counts the note in
    // progress from then on, so leaving it must not make it new again.
    note = touch(c, note, true);
    return noteSummary("KorvaneDeliveredQuantityResponse", c, note);
}

// The four kinds of return message of a pool scan.
enum Kind { Information = 0, Acknowledge = 1, Confirm = 2, Reject = 3 };

struct Flag {
    std::string code;
    std::string text;
    std::string detail;
    Kind kind;
};

const char* colourOf(Kind kind) {
    switch (kind) {
    case Information:
        return "FFE680"; // yellow
    case Acknowledge:
        return "80E080"; // green
    case Confirm:
        return "FFB347"; // orange
    case Reject:
        return "FF7070"; // red
    }
    return "FFFFFF";
}

std::string poolScanMessage(Context& c) {
    Note note = requireNote(c, c.in.number("PackingNote_ID"));
    const std::int32_t action = c.in.unsigned32("Action");
    const std::string code = trimmed(c.in.text("IDCode").value_or(std::string()));
    const std::int64_t itemId = c.in.optionalNumber("UniqueItem_ID").value_or(0);
    const std::int64_t bundleId = c.in.optionalNumber("UniqueBundle_ID").value_or(0);
    if (action != 0 && action != 1) {
        throw BadRequest{"Action " + std::to_string(action) + " is unknown"};
    }
    if (code.size() > kMaxCodeLength) {
        throw BadRequest{"IDCode is too long"};
    }
    requireWorkable(c, note);
    const std::string& language = c.plant.language;

    std::optional<PoolUnit> unit;
    if (action == 0) {
        unit = c.tx.poolUnitByCode(c.plant.id, code);
    } else {
        if (itemId == 0 && bundleId == 0) {
            throw BadRequest{"a confirmation needs UniqueItem_ID or UniqueBundle_ID"};
        }
        unit = c.tx.poolUnit(itemId != 0 ? itemId : bundleId);
        if (unit && (unit->plantId != c.plant.id || unit->bundle != (itemId == 0))) {
            unit.reset();
        }
    }
    std::optional<Line> line;
    if (unit) {
        for (const Line& candidate : c.tx.lines(note.id)) {
            if (candidate.productCode == unit->productCode) {
                line = candidate;
                break;
            }
        }
    }

    std::string status;
    std::vector<Flag> flags;
    std::int64_t askItem = 0;
    std::int64_t askBundle = 0;
    const auto accept = [&] {
        PoolUnit after = *unit;
        after.noteId = note.id;
        after.lineId = line->id;
        after.scannedAt = scanTime(c);
        c.tx.updatePoolUnit(*unit, after);
        Line counted = *line;
        counted.delivered = std::min(kMaxQuantity, line->delivered + unit->quantity);
        counted.bundlesScanned += unit->bundle ? 1 : 0;
        c.tx.updateLine(*line, counted);
        line = counted;
        note = touch(c, note);
    };
    const auto acceptedFlag = [&] {
        status = "30";
        flags.push_back({"ACCEPTED", Say(language, Text::Accepted, line->description),
                         Say(language, Text::AcceptedDetail, std::to_string(line->delivered),
                             std::to_string(line->ordered)),
                         Acknowledge});
    };

    if (!unit) {
        status = "40";
        flags.push_back({"UNKNOWN", Say(language, Text::UnknownCode, code),
                         Say(language, Text::UnknownCodeDetail), Reject});
    } else if (!line) {
        status = "41";
        flags.push_back(
            {"NOTONNOTE", Say(language, Text::NotOnThisNote, unit->productCode), "", Reject});
    } else if (unit->noteId && *unit->noteId != note.id) {
        status = "42";
        const std::optional<Note> other = c.tx.note(*unit->noteId);
        flags.push_back(
            {"OTHERNOTE",
             Say(language, Text::ScannedForOtherNote, unit->code, other ? other->number : ""), "",
             Reject});
    } else if (unit->noteId) {
        if (action == 1) {
            acceptedFlag(); // the confirmation came twice: counted once
        } else {
            status = "31";
            flags.push_back({"SCANNED", Say(language, Text::AlreadyScanned, unit->code),
                             Say(language, Text::AlreadyScannedDetail), Information});
        }
    } else if (action == 0 && unit->bundle && unit->needsConfirm) {
        status = "20";
        askBundle = unit->id;
        flags.push_back(
            {"CONFIRMBUNDLE",
             Say(language, Text::ConfirmBundle, unit->code, std::to_string(unit->quantity)),
             Say(language, Text::ConfirmBundleDetail), Confirm});
    } else if (action == 0 && !unit->bundle &&
               line->delivered + unit->quantity >
                   (line->maximum > 0 ? line->maximum : line->ordered)) {
        status = "20";
        askItem = unit->id;
        flags.push_back({"CONFIRMMORE", Say(language, Text::ConfirmOverDelivery, line->description),
                         Say(language, Text::ConfirmOverDeliveryDetail,
                             std::to_string(line->delivered), std::to_string(line->ordered)),
                         Confirm});
    } else {
        accept();
        acceptedFlag();
    }

    Answer answer("KorvanePackingNoteContainerResponse");
    XmlOut& x = answer.xml();
    x.leaf("PackingNote_ID", note.id)
        .leaf("StatusCode", status)
        .leaf("UniqueItem_ID", askItem)
        .leaf("UniqueBundle_ID", askBundle);
    x.start("Flag").rawAttr("xmlns", "");
    int priority = 1;
    for (const Flag& flag : flags) {
        x.start("Flag")
            .attr("FC", flag.code)
            .attr("D", flag.text)
            .attr("FT", flag.detail)
            .attr("P", std::int64_t{priority++})
            .attr("C", colourOf(flag.kind))
            .attr("A", std::int64_t{flag.kind})
            .end();
    }
    x.end();
    if (line) {
        x.start("packingnoteline").rawAttr("xmlns", "");
        x.start("packingnoteline")
            .attr("PNLID", line->id)
            .attr("QO", std::int64_t{line->ordered})
            .attr("QD", std::int64_t{line->delivered})
            .attr("MINQ", std::int64_t{line->minimum})
            .attr("MAXQ", std::int64_t{line->maximum})
            .attr("SB", std::int64_t{line->bundlesScanned})
            .end()
            .end();
        x.start("Product").rawAttr("xmlns", "");
        x.start("Product")
            .attr("PC", line->productCode)
            .attr("PD", line->description)
            .attr("SD", line->size)
            .attr("FMD", line->packaging)
            .end()
            .end();
    }
    return answer.finish();
}

std::string countMessage(Context& c) {
    const Note note = requireNote(c, c.in.number("PackingNote_ID"));
    Answer answer("KorvaneCountResponse");
    XmlOut& x = answer.xml();
    x.leaf("PackingNote_ID", note.id).leaf("StatusCode", StatusCode(note, c.device.id));
    x.start("CountProduct").rawAttr("xmlns", "");
    for (const Line& line : c.tx.lines(note.id)) {
        if (line.counted) {
            writeLine(x, "CountProduct", line, true);
        }
    }
    x.end();
    return answer.finish();
}

std::string processMessage(Context& c) {
    const Note note = requireNote(c, c.in.number("PackingNote_ID"));
    if (note.status == NoteStatus::Done) {
        return noteSummary("KorvaneProcessResponse", c, note); // a repeat: already done
    }
    requireWorkable(c, note);
    Note after = note;
    after.status = NoteStatus::Done;
    after.heldBy.reset();
    after.holdKind = HoldKind::None;
    after.holdStart = NoteStatus::New;
    after.holdTouched = false;
    after.heldSince.clear();
    c.tx.updateNote(note, after);
    return noteSummary("KorvaneProcessResponse", c, after);
}

using Handler = std::string (*)(Context&);

// What each message reads first, as far as its request tells: a store
// across a socket sends these reads with the exchange's first statement.
// Anything the handler then asks otherwise is read as usual, so these only
// need to guess the common path right.
using ReadsAhead = StoreTransaction::ReadsAhead;

std::optional<std::int32_t> unsigned32Of(const RequestReader& in, const char* name) {
    return ParseUnsigned32(in.text(name).value_or(""));
}
std::optional<std::int32_t> actionOf(const RequestReader& in) {
    return unsigned32Of(in, "Action");
}
// The note a message names, decided on before anything else.
ReadsAhead namedNote(const RequestReader& in) {
    ReadsAhead reads;
    reads.note = in.optionalNumber("PackingNote_ID");
    return reads;
}
ReadsAhead noteAndLines(const RequestReader& in) {
    ReadsAhead reads = namedNote(in);
    reads.lines = true;
    return reads;
}
ReadsAhead routesAhead(const RequestReader& in) {
    ReadsAhead reads;
    if (const std::optional<std::int32_t> department = unsigned32Of(in, "PlantDepartment_ID")) {
        reads.routesDay = referenceDay(in);
        reads.routesDepartment = departmentOrAll(*department);
        reads.routesByDelivery = in.optionalNumber("DateType") == 0;
    }
    return reads;
}
ReadsAhead packingNoteAhead(const RequestReader& in) {
    ReadsAhead reads;
    const std::optional<std::int32_t> action = actionOf(in);
    reads.notesHeld = action == 0 || action == 2 || action == 3;
    if (action == 0) { // open: the note, and what the answer shows of it
        reads.note = in.optionalNumber("PackingNote_ID");
        reads.details = true;
    } else if (action == 2) {
        reads.route = unsigned32Of(in, "RouteControl_ID");
    }
    return reads;
}
ReadsAhead noteListAhead(const RequestReader& in) {
    ReadsAhead reads;
    reads.route = unsigned32Of(in, "RouteControl_ID");
    const std::optional<std::int32_t> action = actionOf(in);
    if (action && *action >= 0 && *action <= 2) {
        reads.notesOfRoute = static_cast<NoteStatus>(*action);
    }
    return reads;
}
ReadsAhead containerAhead(const RequestReader& in) {
    ReadsAhead reads;
    if (std::string code = trimmed(in.text("ContainerIDCode").value_or("")); !code.empty()) {
        reads.containerCode = std::move(code);
    }
    return reads;
}
ReadsAhead containerScanAhead(const RequestReader& in) {
    ReadsAhead reads = containerAhead(in);
    reads.note = in.optionalNumber("PackingNote_ID");
    reads.containerRanges = true;
    return reads;
}
ReadsAhead poolScanAhead(const RequestReader& in) {
    ReadsAhead reads = noteAndLines(in);
    if (actionOf(in) == 0) {
        reads.poolCode = trimmed(in.text("IDCode").value_or(""));
    }
    return reads;
}

struct Route_ {
    const char* function;
    Handler handler;
    bool write;
    const char* responseElement;
    ReadsAhead (*ahead)(const RequestReader&) = nullptr;
};

const Route_ kHandlers[] = {
    {"KORVANEEMPLOYEE", employeeMessage, false, "KorvaneEmployeeResponse"},
    {"KORVANEROUTE", routeMessage, false, "KorvaneRouteResponse", routesAhead},
    {"KORVANEPACKINGNOTE", packingNoteMessage, true, "KorvanePackingNoteResponse",
     packingNoteAhead},
    {"KORVANEPACKINGNOTELIST", packingNoteListMessage, false, "KorvanePackingNoteListResponse",
     noteListAhead},
    {"KORVANEPACKINGNOTECONTAINER", packingNoteContainerMessage, false,
     "KorvanePackingNoteContainerResponse", containerAhead},
    {"KORVANEPACKINGNOTELINE", packingNoteLineMessage, false, "KorvanePackingNoteLineResponse",
     noteAndLines},
    {"KORVANECONTAINERSCAN", containerScanMessage, true, "KorvaneContainerScanResponse",
     containerScanAhead},
    {"KORVANEDELIVEREDQUANTITY", deliveredQuantityMessage, true, "KorvaneDeliveredQuantityResponse",
     noteAndLines},
    {"KORVANEPOOLSCAN", poolScanMessage, true, "KorvanePackingNoteContainerResponse",
     poolScanAhead},
    {"KORVANECOUNT", countMessage, false, "KorvaneCountResponse", noteAndLines},
    {"KORVANEPROCESS", processMessage, true, "KorvaneProcessResponse", namedNote},
};

const Route_* routeOf(const std::string& function) {
    for (const Route_& candidate : kHandlers) {
        if (function == candidate.function) {
            return &candidate;
        }
    }
    return nullptr;
}

// The answer's root element for a function; an unknown one gets the generic.
std::string responseElementOf(const std::string& function) {
    if (function == "KORVANESETTINGS") {
        return "KorvaneSettingsResponse";
    }
    if (function == "KORVANEPRINT") {
        return "KorvanePrintResponse";
    }
    const Route_* route = routeOf(function);
    return route ? route->responseElement : "KorvaneResponse";
}

} // namespace

std::string IsoTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(millis < 0 ? millis + 1000 : millis));
    return buffer;
}

std::string StatusCode(const Note& note, std::optional<Id> device) {
    const NoteStatus status =
        note.heldBy && device && *note.heldBy == *device && note.status != NoteStatus::Done
            ? note.holdStart
            : note.status;
    switch (status) {
    case NoteStatus::New:
        return "10";
    case NoteStatus::InProgress:
        return "20";
    case NoteStatus::Done:
        return "30";
    }
    return "10";
}

bool ContainerInRange(const std::string& code, const std::vector<ContainerRange>& ranges) {
    if (ranges.empty()) {
        return false;
    }
    const int n = static_cast<int>(code.size());
    int largest = 0;
    for (const ContainerRange& range : ranges) {
        largest = std::max(largest, range.length);
    }
    if (n > largest) {
        return false;
    }
    int chosen = largest;
    for (const ContainerRange& range : ranges) {
        if (range.length >= n) {
            chosen = std::min(chosen, range.length);
        }
    }
    const std::string padded = std::string(static_cast<size_t>(chosen - n), '0') + code;
    for (const ContainerRange& range : ranges) {
        if (range.length == chosen && padded >= range.minimum && padded <= range.maximum) {
            return true;
        }
    }
    return false;
}

Handlers::Handlers(Store& store, HandlerOptions options)
    : store_(store), options_(std::move(options)) {}

namespace {

std::string settingsAnswer(StoreTransaction& tx, const Plant& plant, const Device& device) {
    std::vector<Department> departments = tx.departments(plant.id);
    Id preselected =
        plant.defaultDepartment.value_or(departments.empty() ? 0 : departments.front().id);
    Answer answer("KorvaneSettingsResponse");
    XmlOut& x = answer.xml();
    const PlantFlags& f = plant.flags;
    x.start("Settings")
        .rawAttr("xmlns", "")
        .flag("ACS", f.ACS)
        .attr("AORD", std::int64_t{f.AORD})
        .flag("ASB", f.ASB)
        .attr("DNC", std::int64_t{f.DNC})
        .flag("DNENR", f.DNENR)
        .attr("DNPP", std::int64_t{f.DNPP})
        .attr("MDID", device.id)
        .flag("OPI", f.OPI)
        .flag("PCS", f.PCS)
        .attr("PDID", preselected)
        .attr("POF", std::int64_t{f.POF})
        .attr("SPN", std::int64_t{f.SPN})
        .end();
    x.start("Plant")
        .rawAttr("xmlns", "")
        .attr("PID", plant.id)
        .attr("PN", plant.name)
        .attr("S", plant.street)
        .attr("C", plant.city)
        .attr("ZIP", plant.zip)
        .attr("ST", plant.state)
        .end();
    x.start("ContainerIDCodeRange").rawAttr("xmlns", "");
    for (const ContainerRange& range : tx.containerRanges(plant.id)) {
        x.start("ContainerIDCodeRange")
            .attr("L", std::int64_t{range.length})
            .attr("MINR", range.minimum)
            .attr("MAXR", range.maximum)
            .end();
    }
    x.end().start("PlantDepartments").rawAttr("xmlns", "");
    for (const Department& department : departments) {
        x.start("PlantDepartments")
            .attr("PDIDS", department.id)
            .attr("PDC", department.code)
            .attr("PDD", department.description)
            .end();
    }
    x.end();
    return answer.finish();
}

std::string printStem(const PrintDocument& document, const std::string& now) {
    std::string stem = "note-";
    for (const char ch : document.noteNumber) {
        stem += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    }
    stem += '-';
    for (const char ch : now) {
        if (std::isdigit(static_cast<unsigned char>(ch))) {
            stem += ch;
        }
    }
    return stem;
}

// Reads everything the printed note shows; refuses what cannot be printed.
PrintDocument printDocument(Context& c, const Note& note) {
    const std::int64_t colli = c.in.number("Colli");
    const std::string orderForm = trimmed(c.in.requiredText("PrintOrderForm"));
    if (colli < 0 || colli > 65535) {
        throw BadRequest{"Colli must be 0 to 65535"};
    }
    if (orderForm != "true" && orderForm != "false") {
        throw BadRequest{"PrintOrderForm must be true or false"};
    }
    if (heldByOther(c, note)) {
        throw Refusal{Codes::NoteHeld, Say(c.plant.language, Text::NoteHeld, note.number,
                                           deviceCode(c, *note.heldBy))};
    }
    if (!c.options.printer) {
        throw Refusal{Codes::PrintFailed, ""};
    }
    PrintDocument document;
    document.plantName = c.plant.name;
    document.plantAddress = c.plant.street + ", " + c.plant.zip + " " + c.plant.city;
    document.noteNumber = note.number;
    document.customer = note.customer;
    if (const std::optional<Route> route = c.tx.route(note.routeId)) {
        document.routeText = std::to_string(route->number) + " " + route->description;
        document.deliveryDay = route->deliveryDay;
    }
    if (const std::optional<Department> department = c.tx.department(note.departmentId)) {
        document.department = std::to_string(department->number) + " " + department->description;
    }
    document.collectionPoint =
        std::to_string(note.collectionPoint) + " " + note.collectionPointName;
    document.transportArticle = note.transportArticle;
    document.remark = note.remark;
    document.handheld = c.device.code;
    if (c.employeeId) {
        if (const std::optional<Employee> employee = c.tx.employee(*c.employeeId)) {
            document.employee = employee->name;
        }
    }
    document.printedAt = c.time.iso();
    document.language = c.plant.language;
    document.colli = static_cast<int>(colli);
    document.orderForm = orderForm == "true";
    for (const Line& line : c.tx.lines(note.id)) {
        document.rows.push_back({line.productCode, line.description, line.size, line.packaging,
                                 line.ordered, line.delivered});
    }
    for (const ContainerOnNote& container : c.tx.containers(note.id)) {
        document.containers.push_back(container.code);
    }
    document.instructions = c.tx.instructions(note.id);
    return document;
}

} // namespace

namespace {

// A short pause, growing with the attempt and random, so that two exchanges
// that collided do not collide again in step.
void pauseBeforeRetry(int attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    std::uniform_int_distribution<int> millis(1, 10 * attempt);
    std::this_thread::sleep_for(std::chrono::milliseconds(millis(random)));
}

// Runs `work` until it does not lose a race, at most kExchangeAttempts times;
// the last StoreConflict reaches the caller.
template <typename Work> auto retryingConflicts(Work&& work) {
    for (int attempt = 1;; ++attempt) {
        try {
            return work();
        } catch (const StoreConflict&) {
            if (attempt >= kExchangeAttempts) {
                throw;
            }
        }
        pauseBeforeRetry(attempt);
    }
}

} // namespace

ExchangeResult Handlers::handle(const SoapCall& call) {
    try {
        return retryingConflicts([&] { return handleOnce(call); });
    } catch (const StoreConflict& conflict) {
        ExchangeResult result;
        result.outcome = Codes::NotAnswered;
        result.document = resultDocument(responseElementOf(call.functionCode), Codes::NotAnswered,
                                         kTryAgainMessage);
        result.detail = std::string("lost a race ") + std::to_string(kExchangeAttempts) +
                        " times: " + conflict.what();
        return result;
    }
}

ExchangeResult Handlers::handleOnce(const SoapCall& call) {
    ExchangeResult result;
    const RequestReader in(call.requestRoot());
    const std::string& function = call.functionCode;
    const std::string responseElement = responseElementOf(function);

    const auto refuse = [&](const std::string& code, std::string message) {
        result.outcome = code;
        result.document = resultDocument(responseElement, code, message);
        result.detail = std::move(message);
    };

    try {
        if (function == "KORVANESETTINGS") {
            store_.write([&](StoreTransaction& tx) {
                ExchangeClock clock(options_, tx);
                tx.setActor({std::nullopt, std::nullopt, clock.iso()});
                const std::string plantCode = trimmed(in.requiredText("PlantCode"));
                const std::string deviceCode = trimmed(in.requiredText("PDACode"));
                const std::optional<Plant> plant = tx.plantByCode(plantCode);
                std::optional<Device> device;
                if (plant) {
                    device = tx.deviceByCode(plant->id, deviceCode);
                    if (!device && options_.demo && plant->demo && !deviceCode.empty() &&
                        deviceCode.size() <= 32) {
                        device = tx.registerDevice(plant->id, deviceCode);
                    }
                }
                if (!device) {
                    refuse(Codes::NotAnswered, std::string(kInvalidUserMessage));
                    result.detail = "unknown plant " + plantCode + " or handheld " + deviceCode;
                    return;
                }
                result.device = device->id;
                result.document = settingsAnswer(tx, *plant, *device);
                result.outcome = "OK";
            });
            return result;
        }

        const Route_* route = routeOf(function);
        if (!route && function != "KORVANEPRINT") {
            throw BadRequest{"the function " + function + " is unknown"};
        }

        // What a print request needs once its transaction has ended.
        std::optional<PrintDocument> document;
        Id printNote = 0;
        Actor printActor;

        const bool write = route && route->write;
        const auto work = [&](StoreTransaction& tx) {
            ExchangeClock clock(options_, tx);
            const std::optional<std::int64_t> deviceId =
                ParseInteger(in.text("MobileDevice_ID").value_or(""));
            // A print, too, starts with the note it names.
            if (!route || route->ahead) {
                tx.willRead(route ? route->ahead(in) : namedNote(in));
            }
            const std::optional<std::pair<Device, Plant>> found =
                deviceId ? tx.deviceWithPlant(*deviceId) : std::nullopt;
            const std::optional<Device> device = found ? std::optional(found->first) : std::nullopt;
            const std::optional<Plant> plant = found ? std::optional(found->second) : std::nullopt;
            if (!device || !plant) {
                refuse(Codes::NotAnswered, std::string(kInvalidUserMessage));
                result.detail = "unknown handheld " + in.text("MobileDevice_ID").value_or("(none)");
                return;
            }
            result.device = device->id;
            std::optional<Id> employeeId;
            if (const auto number = in.optionalNumber("Employee_ID")) {
                const std::optional<Employee> employee = tx.employee(*number);
                if (employee && employee->plantId == plant->id) {
                    employeeId = employee->id;
                }
            }
            // Only changes are stamped: a reading exchange leaves the clock
            // unread unless a rule wants it.
            tx.setActor({device->id, employeeId, write ? clock.iso() : std::string()});
            Context context{tx, in, *plant, *device, employeeId, clock, options_};
            if (route) {
                result.document = route->handler(context);
                result.outcome = "OK";
                return;
            }
            printActor = {device->id, employeeId, clock.iso()};
            const Note note = requireNote(context, in.number("PackingNote_ID"));
            printNote = note.id;
            document = printDocument(context, note);
        };
        if (write) {
            store_.write(work);
            return result;
        }
        {
            std::unique_ptr<StoreTransaction> tx = store_.begin(false);
            work(*tx);
            tx->commit();
        }
        if (route || !document) {
            return result;
        }

        // Print: rendering and the print command run outside any transaction.
        const PrintOutcome printed =
            options_.printer->print(*document, printStem(*document, printActor.time));
        // Printed once: only the record is tried again when it loses a race.
        retryingConflicts([&] {
            store_.write([&](StoreTransaction& tx) {
                tx.setActor(printActor);
                if (const std::optional<Note> current = tx.noteToChange(printNote)) {
                    Note after = *current;
                    after.colli = document->colli;
                    tx.updateNote(*current, after);
                }
                tx.addPrintJob({0, printNote, *printActor.deviceId, document->colli,
                                document->orderForm, printed.file, printed.status,
                                printed.message});
            });
        });
        if (printed.status == "failed") {
            refuse(Codes::PrintFailed, "");
            result.detail = printed.message;
            return result;
        }
        Answer answer("KorvanePrintResponse");
        answer.xml().leaf("PackingNote_ID", printNote).leaf("StatusCode", "OK");
        result.document = answer.finish();
        result.outcome = "OK";
    } catch (const BadRequest& bad) {
        refuse(Codes::NotAnswered, "Not able to create normal return message. " + bad.reason);
    } catch (const Refusal& refusal) {
        refuse(refusal.code, refusal.message);
    } catch (const StoreConflict&) {
        throw; // the whole exchange runs again
    } catch (const std::exception& error) {
        // The database failed (full or read-only disk, a broken file): nothing
        // was committed, and the handheld says the server cannot be reached.
        refuse(Codes::NotAnswered, std::string(kServerDownMessage));
        result.detail = error.what();
    }
    return result;
}

} // namespace backoffice
