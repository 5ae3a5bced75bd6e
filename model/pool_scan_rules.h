#pragma once

#include "model/records.h"
#include "model/send_result.h"
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
// A confirmation (the second scan) is accepted only when its status says so:
// it answers a question, and an answer without a verdict leaves the field as
// it was.
bool ConfirmationAccepted(const SendResult& sent, const std::optional<PoolScanResult>& result);

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

// How the scan field shows the last scan: accepted (lime, the answer's line
// taken over), failed (red), neither, or as it was.
enum class ScanShown { Unchanged, Neutral, Accepted, Failed };

// What the screen does after one event of a scan.
struct PoolScanStep {
    ScanShown shown = ScanShown::Unchanged;
    bool nextMessage = false;                 // show message() once the open dialog is gone
    std::optional<Confirmation> confirmation; // send this second scan, then confirmed()
};

// The walk through one scan's return messages, without widgets: the screen
// tells it what happened and does what each step says. Each scan starts a new
// walk; `generation()` changes whenever a walk starts or ends, so a screen
// drops a notification or an answer that belongs to an earlier walk.
class PoolScanWalk {
public:
    // The answer to the first scan (`answer` is the work state's result).
    PoolScanStep scanned(const SendResult& sent, const std::optional<PoolScanResult>& answer);
    // The message the walk is at; nothing (and the walk ends) past the last
    // one, at a kind the device does not know, or without an answer.
    std::optional<ReturnMessageDialog> message(const std::optional<PoolScanResult>& answer);
    // The worker answered the message shown (the second button also stands
    // for the dialog closed without a button).
    PoolScanStep answered(DialogAnswer answer, const std::optional<PoolScanResult>& result);
    // The answer to the confirmation sent for a confirm message.
    static ScanShown confirmed(const SendResult& sent, const std::optional<PoolScanResult>& answer);

    void end();
    bool walking() const { return position_ >= 0; }
    int position() const { return position_; }
    int generation() const { return generation_; }

private:
    int position_ = -1;
    int kind_ = kInformation; // of the message last shown
    int generation_ = 0;
};
