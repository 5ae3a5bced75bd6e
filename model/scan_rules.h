#pragma once

#include "model/records.h"

#include <QString>
#include <vector>

// What the scan fields accept: a packing-note number is up to 18 digits, a
// container label up to 24 ASCII letters and digits.
enum class ScanKind { NoteNumber, ContainerId };

int ScanMaxLength(ScanKind kind);

// The outcome of one change to a scan field.
struct ScanCheck {
    enum Message { None, TooLong, InvalidCharacters };
    QString text; // what the field keeps
    Message message = None;
};

// Filters a field's raw text after a change. Too much text (typed, pasted or a
// scanner's burst) keeps the first characters up to the limit and asks for the
// length message; otherwise removed characters ask for the invalid-character
// message. A clean text comes back as it is, without a copy.
ScanCheck CheckScanInput(ScanKind kind, const QString& raw);

// The translation keys of a scan message: the text and the box's caption.
struct ScanMessageKeys {
    const char* text;
    const char* caption;
};
ScanMessageKeys ScanMessage(ScanKind kind, ScanCheck::Message message);

// Whether a container label lies in one of the plant's container id ranges.
// The label is compared, padded with leading zeros, with the ranges of the
// shortest id length that can hold it.
enum class ContainerRange { InRange, NoRanges, OutOfRange };
ContainerRange CheckContainerRange(const QString& label,
                                   const std::vector<ContainerIDCodeRange>& ranges);
