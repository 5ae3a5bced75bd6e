#pragma once

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

// The number a request carries for each of these.
constexpr int WireValue(NoteAction action) {
    return static_cast<int>(action);
}
constexpr int WireValue(NoteListKind kind) {
    return static_cast<int>(kind);
}
