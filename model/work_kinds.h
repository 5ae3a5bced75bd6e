#pragma once

#include <QString>
#include <cstdint>

// The small words a screen hands to a send. Each value that travels is the
// number the request carries, so the documents stay as they were.

// Which packing note a packing-note request asks for (the request's Action).
enum class NoteAction : std::uint8_t {
    CurrentById = 0,   // the current note again, by its id, with its details
    ScannedNumber = 1, // the note whose number the worker scanned or typed
    NextNew = 2,       // the route's next new note (Scan next)
    Leave = 3,         // the worker leaves the current note
};

// The three lists of a route's notes (the list request's Action).
enum class NoteListKind : std::uint8_t { New = 0, InProgress = 1, Done = 2 };

// Whose quantities a delivered-quantity request carries: the note's lines as
// the delivered-products screen shows them, or the counting screen's result.
enum class QuantityPurpose : std::uint8_t { Delivered = 1, Counting = 2 };

// Where the note being worked on was opened. Leaving it returns there, and
// only a note opened from a list steps to its neighbours; a note taken from
// the done list opens nothing and counts as scanned.
enum class NoteOrigin : std::uint8_t { Scanned = 0, NewList = 1, InProgressList = 2 };

// A packing note's status as its status code (SC) carries it.
enum class NoteStatus : std::uint8_t {
    New,        // "10"
    InProgress, // "20"
    Other,      // done, or a code the device does not know
};
inline NoteStatus NoteStatusOf(QStringView code) {
    if (code == u"10") {
        return NoteStatus::New;
    }
    if (code == u"20") {
        return NoteStatus::InProgress;
    }
    return NoteStatus::Other;
}
// The code a note is given when the device moves it on; only the two open
// statuses are ever written here.
inline QString NoteStatusCode(NoteStatus status) {
    return status == NoteStatus::New ? QStringLiteral("10") : QStringLiteral("20");
}

// The number a request carries for each of these.
constexpr int WireValue(NoteAction action) {
    return static_cast<int>(action);
}
constexpr int WireValue(NoteListKind kind) {
    return static_cast<int>(kind);
}

// The plant's settings that choose a behaviour arrive as small numbers; each
// is read through its rule here, so a number the device does not know lands on
// one named case instead of on whichever comparison a screen wrote.

// A scanned note of another route (the plant's AORD).
enum class RouteChangeRule {
    KeepRoute, // 0: the worker stays on his route; its counters stop being current
    TakeOver,  // 1: the route becomes the note's
    Ask,       // 2: the worker is asked
    Unknown,   // anything else: the route and its counters stay as they are
};
constexpr RouteChangeRule RouteChangeRuleOf(int aord) {
    switch (aord) {
    case 0:
        return RouteChangeRule::KeepRoute;
    case 1:
        return RouteChangeRule::TakeOver;
    case 2:
        return RouteChangeRule::Ask;
    default:
        return RouteChangeRule::Unknown;
    }
}

// The order form printed with a note's documents (the plant's POF).
enum class OrderFormRule { Never, Ask, Always };
constexpr OrderFormRule OrderFormRuleOf(int pof) {
    switch (pof) {
    case 1:
        return OrderFormRule::Ask;
    case 2:
        return OrderFormRule::Always;
    default:
        return OrderFormRule::Never;
    }
}

// How a done note is printed and processed (the plant's DNPP).
enum class DoneNotePrinting {
    ProcessThenPrint, // 1: processed, then its documents printed
    ProcessOnly,      // 2: processed; the back office prints (process mode)
    PrintOnce,        // 3: printed, and a note printed before is refused
    PlantPrints,      // 4: neither Print nor Process is offered
    PrintOnly,        // anything else: printed, not processed here
};
constexpr DoneNotePrinting DoneNotePrintingOf(int dnpp) {
    switch (dnpp) {
    case 1:
        return DoneNotePrinting::ProcessThenPrint;
    case 2:
        return DoneNotePrinting::ProcessOnly;
    case 3:
        return DoneNotePrinting::PrintOnce;
    case 4:
        return DoneNotePrinting::PlantPrints;
    default:
        return DoneNotePrinting::PrintOnly;
    }
}
