#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace backoffice {

// The warehouse's data as the handlers see it. A store hands out
// transactions; every exchange runs in exactly one. The SQLite store is the
// one implementation today; a networked database for sites that outgrow one
// machine implements the same two interfaces.

using Id = std::int64_t;

// The concurrency contract every store keeps. A write transaction's reads of
// the notes it changes (noteToChange, notesHeldBy, nextNewNote) and of pool
// units take those rows for the transaction (another writer waits or, for
// "the next new note", passes over them), and every update
// carries the state it was decided on: it changes the row only while that
// state still holds. A write that lost a race to another writer, a
// serialisation failure or a deadlock of the database, and a wait for the
// write lock that ran out, all end the transaction with StoreConflict: nothing
// of it was kept, and running the whole exchange again is the remedy.
class StoreConflict : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The plant's settings flags, as the handheld receives them.
struct PlantFlags {
    int AORD = 0;     // route change when a scanned note is of another route: 0 keep, 1 take, 2 ask
    int DNPP = 0;     // print mode of done notes (1, 2: process before printing; 4: never print)
    int POF = 0;      // order form: 0 never, 1 ask, 2 always
    bool PCS = false; // ask for the number of colli before printing
    bool DNENR = false; // an employee number is required
    int DNC = 0;        // counting offered (not 0)
    bool OPI = false;   // out-scan pool offered
    bool ACS = false;   // the information screen follows a scan
    bool ASB = false;   // the out-scan pool shows the bundles scanned
    int SPN = 0;        // which scan fields the route screen shows
};

struct Plant {
    Id id = 0;
    std::string code;
    std::string name;
    std::string street;
    std::string city;
    std::string zip;
    std::string state;
    std::string language = "English"; // of the texts the back office writes
    PlantFlags flags;
    std::optional<Id> defaultDepartment;
    bool demo = false; // registers unknown handhelds on first contact (--demo)
};

struct Device {
    Id id = 0;
    Id plantId = 0;
    std::string code;
};

struct Department {
    Id id = 0;
    Id plantId = 0;
    int number = 0;
    std::string code;
    std::string description;
};

struct Employee {
    Id id = 0;
    Id plantId = 0;
    std::int64_t number = 0;
    std::string name;
};

struct ContainerRange {
    int length = 0;
    std::string minimum;
    std::string maximum;
};

// Days are "YYYY-MM-DD".
struct Route {
    Id id = 0;
    Id plantId = 0;
    Id departmentId = 0;
    int number = 0;
    std::string description;
    std::string productionDay;
    std::string deliveryDay;
    // Counters, computed from the states of the route's notes.
    int newNotes = 0;
    int inProgress = 0;
    int done = 0;
};

enum class NoteStatus : int { New = 0, InProgress = 1, Done = 2 };

// How a device came to hold a note: opened it, or took it with Scan next
// (then a repeated Scan next gives the same note back).
enum class HoldKind : int { None = 0, Opened = 1, TakenNext = 2 };

struct Note {
    Id id = 0;
    Id plantId = 0;
    Id routeId = 0;
    std::string number;
    std::string customer;
    NoteStatus status = NoteStatus::New;
    bool processMode = false; // SP
    int colli = 0;
    int stop = 0; // SN: the stop on the route
    Id departmentId = 0;
    int collectionPoint = 0;
    std::string collectionPointName;
    std::string transportArticle;
    std::string remark;
    // The hold: which device works on the note, since when, and what the
    // note was when that device took it.
    std::optional<Id> heldBy;
    HoldKind holdKind = HoldKind::None;
    NoteStatus holdStart = NoteStatus::New;
    bool holdTouched = false; // something was recorded during the hold
    std::string heldSince;    // ISO time of the last activity of the holder
};

struct Line {
    Id id = 0;
    Id noteId = 0;
    int position = 0;
    std::string productCode;
    std::string description;
    std::string size;
    std::string packaging;
    int ordered = 0;
    int delivered = 0;
    int minimum = 0; // both below 1: no range
    int maximum = 0;
    bool counted = false; // offered on the counting screen
    int countMinimum = 0;
    int countMaximum = 0;
    int bundlesScanned = 0;
};

struct ContainerOnNote {
    Id id = 0;
    Id noteId = 0;
    std::string code;
    std::string scannedAt;
    // The note's state and number, read with the container (containerHistory).
    NoteStatus noteStatus = NoteStatus::New;
    std::string noteNumber;
};

// What the handheld shows of an opened note besides its lines.
struct NoteDetails {
    std::optional<Department> department;
    std::vector<ContainerOnNote> containers;
    std::vector<std::string> instructions;
};

// A labelled pool item or a bundle of items of one product.
struct PoolUnit {
    Id id = 0;
    Id plantId = 0;
    bool bundle = false;
    std::string code;
    std::string productCode;
    int quantity = 1; // items in it
    bool needsConfirm = false;
    std::optional<Id> noteId; // where it was scanned out
    std::optional<Id> lineId;
    std::string scannedAt;
};

struct PrintJob {
    Id id = 0;
    Id noteId = 0;
    Id deviceId = 0;
    int colli = 0;
    bool orderForm = false;
    std::string file;
    std::string status; // "printed", "saved" (no print command), "failed"
    std::string message;
};

// Who changes what: every change is written to the audit trail with it.
struct Actor {
    std::optional<Id> deviceId;
    std::optional<Id> employeeId;
    std::string time; // ISO time of the change
};

class StoreTransaction {
public:
    virtual ~StoreTransaction() = default;

    virtual void setActor(const Actor& actor) = 0;
    // The database's clock: the time every rule compares (hold expiry) and
    // every change is stamped with, the same for all servers on one database.
    virtual std::chrono::system_clock::time_point now() = 0;

    virtual std::optional<Plant> plantByCode(const std::string& code) = 0;
    virtual std::optional<Plant> plant(Id id) = 0;
    virtual std::optional<Device> deviceByCode(Id plantId, const std::string& code) = 0;
    virtual std::optional<Device> device(Id id) = 0;
    virtual Device registerDevice(Id plantId, const std::string& code) = 0;
    // A device and its plant in one look: every exchange starts with it.
    virtual std::optional<std::pair<Device, Plant>> deviceWithPlant(Id deviceId) {
        const std::optional<Device> d = device(deviceId);
        const std::optional<Plant> p = d ? plant(d->plantId) : std::nullopt;
        return p ? std::optional(std::pair(*d, *p)) : std::nullopt;
    }
    // What an exchange will read first, named before deviceWithPlant: a
    // store across a socket may send these reads with that first statement,
    // in one round trip, and answer the calls that follow from them. Only a
    // hint: a call with other values, or one after a change of the
    // transaction, reads from the database as usual.
    struct ReadsAhead {
        std::optional<Id> note;                   // noteToChange, before anything else
        bool lines = false;                       // lines(note)
        bool details = false;                     // noteDetails(note)
        bool notesHeld = false;                   // notesHeldBy(the device)
        std::optional<Id> route;                  // route(id)
        std::optional<NoteStatus> notesOfRoute;   // notes(route, status)
        bool containerRanges = false;             // of the device's plant
        std::optional<std::string> containerCode; // containerHistory(the plant, code)
        std::optional<std::string> poolCode;      // poolUnitByCode(the plant, code)
        std::optional<std::string> routesDay;     // routes(the plant, ...)
        std::optional<Id> routesDepartment;
        bool routesByDelivery = true;
    };
    virtual void willRead(const ReadsAhead& /*reads*/) {}
    virtual std::vector<Department> departments(Id plantId) = 0;
    virtual std::optional<Department> department(Id id) = 0;
    virtual std::vector<ContainerRange> containerRanges(Id plantId) = 0;
    virtual std::optional<Employee> employeeByNumber(Id plantId, std::int64_t number) = 0;
    virtual std::optional<Employee> employee(Id id) = 0;

    // Routes of a day by delivery (byDelivery) or production day; a
    // department of nullopt means every department. With counters.
    virtual std::vector<Route> routes(Id plantId, std::optional<Id> departmentId,
                                      const std::string& day, bool byDelivery) = 0;
    virtual std::optional<Route> route(Id id) = 0;

    // A note to look at (another note named in a message, for instance):
    // never locked, so looking at a note another handheld works on cannot
    // deadlock with it.
    virtual std::optional<Note> note(Id id) = 0;
    // A note to decide a change on: in a write transaction it stays locked
    // until the transaction ends.
    virtual std::optional<Note> noteToChange(Id id) = 0;
    virtual std::optional<Note> noteByNumber(Id plantId, const std::string& number) = 0;
    virtual std::vector<Note> notes(Id routeId, NoteStatus status) = 0;
    // The first new note of the route that nobody holds, by stop.
    virtual std::optional<Note> nextNewNote(Id routeId) = 0;
    virtual std::vector<Note> notesHeldBy(Id deviceId) = 0;
    // Writes the changed fields and an audit entry with before and after,
    // provided the note still is `before`; otherwise StoreConflict.
    virtual void updateNote(const Note& before, const Note& after) = 0;

    virtual std::vector<Line> lines(Id noteId) = 0;
    // Conditional like updateNote: the line's quantities must still be those
    // of `before`.
    virtual void updateLine(const Line& before, const Line& after) = 0;
    // Several lines of a note at once, each as updateLine: one statement on
    // a networked database instead of one per line.
    virtual void updateLines(const std::vector<Line>& before, const std::vector<Line>& after) {
        for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
            updateLine(before[i], after[i]);
        }
    }
    virtual std::vector<std::string> instructions(Id noteId) = 0;

    virtual std::vector<ContainerOnNote> containers(Id noteId) = 0;
    // The department, containers and instructions of a note in one look.
    virtual NoteDetails noteDetails(const Note& note) {
        return {department(note.departmentId), containers(note.id), instructions(note.id)};
    }
    // The notes a container was registered on, the most recent first (at
    // most 50), with their state and number. In a
    // write transaction it also takes the container's code for the
    // transaction, so two notes cannot both register one container.
    virtual std::vector<ContainerOnNote> containerHistory(Id plantId, const std::string& code) = 0;
    virtual void addContainer(Id noteId, const std::string& code, const std::string& scannedAt) = 0;

    virtual std::optional<PoolUnit> poolUnitByCode(Id plantId, const std::string& code) = 0;
    virtual std::optional<PoolUnit> poolUnit(Id id) = 0;
    // Conditional: the unit must still be where `before` says it was scanned
    // (or not scanned at all), so an item is counted once whoever asks.
    virtual void updatePoolUnit(const PoolUnit& before, const PoolUnit& after) = 0;

    virtual Id addPrintJob(const PrintJob& job) = 0;

    // Loading data (demonstration warehouse, tests, imports).
    virtual Id insertPlant(const Plant& plant) = 0;
    virtual Id insertDepartment(const Department& department) = 0;
    virtual void setDefaultDepartment(Id plantId, Id departmentId) = 0;
    virtual Id insertEmployee(const Employee& employee) = 0;
    virtual void insertContainerRange(Id plantId, const ContainerRange& range) = 0;
    virtual Id insertRoute(const Route& route) = 0;
    virtual Id insertNote(const Note& note) = 0;
    virtual Id insertLine(const Line& line) = 0;
    virtual void insertInstruction(Id noteId, int position, const std::string& text) = 0;
    virtual Id insertPoolUnit(const PoolUnit& unit) = 0;
    virtual bool empty() = 0; // no plant yet

    virtual void commit() = 0;
};

class Store {
public:
    virtual ~Store() = default;
    // A transaction for reading (several run at once) or for writing (one
    // at a time; the others wait their turn).
    virtual std::unique_ptr<StoreTransaction> begin(bool write) = 0;
    // Runs `work` in a write transaction and commits it before returning. An
    // exception from `work` undoes its changes and reaches the caller. A store
    // may run the work of several callers in one transaction, each undone on
    // its own.
    virtual void write(const std::function<void(StoreTransaction&)>& work) {
        std::unique_ptr<StoreTransaction> tx = begin(true);
        work(*tx);
        tx->commit();
    }
};

const char* StatusName(NoteStatus status);

} // namespace backoffice
