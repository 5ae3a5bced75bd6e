#pragma once

#include "backoffice/storage.h"

#include <optional>
#include <string>

// What both stores share about rows: the columns they read, the records made
// from a row (any row type with integer, text and optionalInteger by column),
// and the audit trail's text of a change.
namespace backoffice::rows {

inline const std::string kNoteColumns =
    "id, plant_id, route_id, number, customer, status, process_mode, colli, stop, "
    "department_id, collection_point, collection_point_name, transport_article, remark, "
    "held_by, hold_kind, hold_start, hold_touched, held_since";

template <typename Row> Note readNote(const Row& q) {
    Note n;
    n.id = q.integer(0);
    n.plantId = q.integer(1);
    n.routeId = q.integer(2);
    n.number = q.text(3);
    n.customer = q.text(4);
    n.status = static_cast<NoteStatus>(q.integer(5));
    n.processMode = q.integer(6) != 0;
    n.colli = static_cast<int>(q.integer(7));
    n.stop = static_cast<int>(q.integer(8));
    n.departmentId = q.optionalInteger(9).value_or(0);
    n.collectionPoint = static_cast<int>(q.integer(10));
    n.collectionPointName = q.text(11);
    n.transportArticle = q.text(12);
    n.remark = q.text(13);
    n.heldBy = q.optionalInteger(14);
    n.holdKind = static_cast<HoldKind>(q.integer(15));
    n.holdStart = static_cast<NoteStatus>(q.integer(16));
    n.holdTouched = q.integer(17) != 0;
    n.heldSince = q.text(18);
    return n;
}

inline const std::string kLineColumns =
    "id, note_id, position, product_code, description, size, packaging, ordered, delivered, "
    "minimum, maximum, counted, count_minimum, count_maximum, bundles_scanned";

template <typename Row> Line readLine(const Row& q) {
    Line l;
    l.id = q.integer(0);
    l.noteId = q.integer(1);
    l.position = static_cast<int>(q.integer(2));
    l.productCode = q.text(3);
    l.description = q.text(4);
    l.size = q.text(5);
    l.packaging = q.text(6);
    l.ordered = static_cast<int>(q.integer(7));
    l.delivered = static_cast<int>(q.integer(8));
    l.minimum = static_cast<int>(q.integer(9));
    l.maximum = static_cast<int>(q.integer(10));
    l.counted = q.integer(11) != 0;
    l.countMinimum = static_cast<int>(q.integer(12));
    l.countMaximum = static_cast<int>(q.integer(13));
    l.bundlesScanned = static_cast<int>(q.integer(14));
    return l;
}

inline const std::string kPlantColumns =
    "id, code, name, street, city, zip, state, language, aord, dnpp, pof, pcs, dnenr, dnc, opi, "
    "acs, asb, spn, default_department, demo";

template <typename Row> Plant readPlant(const Row& q) {
    Plant p;
    p.id = q.integer(0);
    p.code = q.text(1);
    p.name = q.text(2);
    p.street = q.text(3);
    p.city = q.text(4);
    p.zip = q.text(5);
    p.state = q.text(6);
    p.language = q.text(7);
    p.flags.AORD = static_cast<int>(q.integer(8));
    p.flags.DNPP = static_cast<int>(q.integer(9));
    p.flags.POF = static_cast<int>(q.integer(10));
    p.flags.PCS = q.integer(11) != 0;
    p.flags.DNENR = q.integer(12) != 0;
    p.flags.DNC = static_cast<int>(q.integer(13));
    p.flags.OPI = q.integer(14) != 0;
    p.flags.ACS = q.integer(15) != 0;
    p.flags.ASB = q.integer(16) != 0;
    p.flags.SPN = static_cast<int>(q.integer(17));
    p.defaultDepartment = q.optionalInteger(18);
    p.demo = q.integer(19) != 0;
    return p;
}

inline const std::string kPoolColumns = "id, plant_id, bundle, code, product_code, quantity, "
                                        "needs_confirm, note_id, line_id, scanned_at";

template <typename Row> PoolUnit readPoolUnit(const Row& q) {
    PoolUnit u;
    u.id = q.integer(0);
    u.plantId = q.integer(1);
    u.bundle = q.integer(2) != 0;
    u.code = q.text(3);
    u.productCode = q.text(4);
    u.quantity = static_cast<int>(q.integer(5));
    u.needsConfirm = q.integer(6) != 0;
    u.noteId = q.optionalInteger(7);
    u.lineId = q.optionalInteger(8);
    u.scannedAt = q.text(9);
    return u;
}

template <typename Row> Route readRoute(const Row& q) {
    Route r;
    r.id = q.integer(0);
    r.plantId = q.integer(1);
    r.departmentId = q.integer(2);
    r.number = static_cast<int>(q.integer(3));
    r.description = q.text(4);
    r.productionDay = q.text(5);
    r.deliveryDay = q.text(6);
    r.newNotes = static_cast<int>(q.integer(7));
    r.inProgress = static_cast<int>(q.integer(8));
    r.done = static_cast<int>(q.integer(9));
    return r;
}

// id, note_id, code, scanned_at, the note's status and number.
template <typename Row> ContainerOnNote readContainerHistory(const Row& q) {
    ContainerOnNote c;
    c.id = q.integer(0);
    c.noteId = q.integer(1);
    c.code = q.text(2);
    c.scannedAt = q.text(3);
    c.noteStatus = static_cast<NoteStatus>(q.integer(4));
    c.noteNumber = q.text(5);
    return c;
}

// "field=value" pairs of what differs, for the audit trail.
class Difference {
public:
    template <typename T> void field(const char* name, const T& before, const T& after) {
        if (before == after) {
            return;
        }
        add(before_, name, show(before));
        add(after_, name, show(after));
    }
    bool empty() const { return before_.empty(); }
    const std::string& before() const { return before_; }
    const std::string& after() const { return after_; }

private:
    static std::string show(const std::string& v) { return v; }
    static std::string show(int v) { return std::to_string(v); }
    static std::string show(bool v) { return v ? "1" : "0"; }
    static std::string show(NoteStatus v) { return StatusName(v); }
    static std::string show(HoldKind v) { return std::to_string(static_cast<int>(v)); }
    static std::string show(const std::optional<Id>& v) {
        return v ? std::to_string(*v) : std::string("-");
    }
    static void add(std::string& to, const char* name, const std::string& value) {
        if (!to.empty()) {
            to += "; ";
        }
        to += name;
        to += '=';
        to += value;
    }
    std::string before_;
    std::string after_;
};

} // namespace backoffice::rows
