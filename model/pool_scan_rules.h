#pragma once

#include "model/records.h"
#include "platform/prompter.h"

#include <QString>
#include <optional>
#include <vector>

class CKorvoDoc;

// Decisions of the out-scan pool: whether a scan was accepted, and the walk
// through the back office's return messages that follows a scan.

// The status code of an accepted scan.
inline const QString kPoolScanAccepted = QStringLiteral("30");

// A scan is accepted when the answer has no return messages, or when its
// status says so.
bool PoolScanAccepted(const std::optional<PoolScanResult>& result);

// Puts the line of an accepted scan into the work state: the note's line with
// the same id takes its ordered and delivered quantities and its bundle count,
// and so does the current line when it is that line. An answer line that
// matches neither changes nothing.
void TakeAcceptedLine(CKorvoDoc& doc);

// Back asks first while the current line still has something to deliver.
bool OutScanLeaveNeedsQuestion(const std::optional<packingnoteline>& currentLine);

// Kinds of return message.
enum ReturnMessageKind : int {
    kInformation = 0, // Next or Close
    kAcknowledge = 1, // Yes
    kConfirm = 2,     // Yes or No; Yes confirms the item or bundle
    kReject = 3,      // Reject
};

// One return message as the coloured message dialog shows it.
struct ReturnMessageDialog {
    int kind = kInformation;
    QString text;                      // D, two line breaks, FT
    QString colour;                    // "RRGGBB"
    const char* firstButton = nullptr; // translation keys
    const char* secondButton = nullptr;
};

// The dialog for the message at `position`, or nothing when the walk ends there:
// past the last message, or at a kind the screen does not know. An information
// message offers Next while the walk will still reach another information
// message, else Close.
std::optional<ReturnMessageDialog> ReturnMessageAt(const std::vector<Flag>& flags, int position);

// The message's background: its colour when that is six hexadecimal digits,
// else white.
QString MessageColour(const QString& colour);

// What the walk does after the worker answered a message (the second button
// also stands for the dialog closed without a button).
enum class WalkStep {
    Continue, // the next message
    Confirm,  // confirm the item or bundle, then stop
    Refuse,   // the scan failed, stop
    End,      // stop
};
WalkStep AnswerReturnMessage(int kind, DialogAnswer answer);

// The second pool scan that confirms an item (preferred) or a bundle; nothing
// is sent when the answer named neither.
struct Confirmation {
    bool send = false;
    std::int32_t item = 0;
    std::int32_t bundle = 0;
};
Confirmation ConfirmationFor(const PoolScanResult& result);
