#pragma once

#include "backoffice/soap.h"
#include "backoffice/storage.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace backoffice {

class Printer;

// The result codes of refused requests. Each is a translation key of the
// handheld; NoteHeld, ContainerElsewhere have an empty translation there, so
// the handheld shows the Message, which names the details.
namespace Codes {
inline constexpr const char* NoteUnknown = "BO101";
inline constexpr const char* NoteHeld = "BO102";
inline constexpr const char* NoNewNote = "BO103";
inline constexpr const char* ContainerUnknown = "BO104";
inline constexpr const char* ContainerElsewhere = "BO105";
inline constexpr const char* EmployeeUnknown = "BO106";
inline constexpr const char* NoteDone = "BO107";
inline constexpr const char* LineUnknown = "BO108";
inline constexpr const char* PrintFailed = "BO109";
inline constexpr const char* ContainerOutOfRange = "BO110";
inline constexpr const char* RouteUnknown = "BO111";
// The service built no normal answer; the Message says why. The handheld
// knows two of these messages word for word.
inline constexpr const char* NotAnswered = "1";
} // namespace Codes

inline constexpr std::string_view kInvalidUserMessage =
    "Not able to create normal return message. Invalid user, check log files.";
inline constexpr std::string_view kServerDownMessage =
    "Not able to create normal return message.Connection is not possible, check if Halcyra "
    "server is down and log files.";
// Another handheld changed the same note or item at the same moment, again on
// every try: nothing was changed, and sending again will be answered.
inline constexpr std::string_view kTryAgainMessage =
    "Not able to create normal return message. The note or item was changed by another handheld "
    "at the same moment, please try again.";
// How often an exchange that lost a race is run again before the worker is
// asked to send it again.
inline constexpr int kExchangeAttempts = 5;

struct HandlerOptions {
    // Unknown handhelds of a demonstration plant are registered on first
    // contact.
    bool demo = false;
    // The time of changes and holds; empty: the database's clock, which every
    // server on one database shares. Tests set their own.
    std::function<std::chrono::system_clock::time_point()> clock;
    // A hold without activity for this long may be taken by another device
    // (a handheld that was dropped or switched off keeps no note for ever).
    std::chrono::minutes holdLifetime{120};
    Printer* printer = nullptr; // none: print requests are refused
};

// What one exchange came to.
struct ExchangeResult {
    std::string document;     // the answer document, with its declaration
    std::string outcome;      // "OK" or the result code
    std::optional<Id> device; // the device that asked, once known
    std::string detail;       // for the log: why a request was refused
};

// Applies the packing workflow's rules to one processRequest call, in one
// transaction of the store. Safe to call from many threads at once.
class Handlers {
public:
    Handlers(Store& store, HandlerOptions options);
    // Runs the exchange again, after a short random pause, when it lost a
    // race (StoreConflict), at most kExchangeAttempts times.
    ExchangeResult handle(const SoapCall& call);

private:
    ExchangeResult handleOnce(const SoapCall& call);
    Store& store_;
    HandlerOptions options_;
};

// "10" new, "20" in progress, "30" done: the note's status code as a device
// sees it (a device that holds a note sees the state it took it in, so that
// its own route counters add up).
std::string StatusCode(const Note& note, std::optional<Id> device);

// The container range rule the handheld applies before it sends a container.
bool ContainerInRange(const std::string& code, const std::vector<ContainerRange>& ranges);

// "YYYY-MM-DDTHH:MM:SS.mmmZ"
std::string IsoTime(std::chrono::system_clock::time_point time);

} // namespace backoffice
