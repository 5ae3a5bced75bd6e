#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace backoffice {

// One answer of the dashboard's JSON API.
struct DashboardReply {
    int status = 200;
    std::string body;
};

struct DashboardAnswer {
    DashboardReply reply;
    std::string etag;
};

// What the answers are made of, as far as the dashboard knows: the changes
// published so far, the minute (answers carry "now" and times "since"), and
// the database's own change marker (writers beyond this process).
struct DataVersion {
    std::uint64_t changes = 0;
    std::int64_t minute = 0;
    std::uint64_t database = 0;
    bool operator==(const DataVersion&) const = default;
};

// Whether an answer made at `made` shows everything `asked` stands for.
bool Covers(DataVersion made, DataVersion asked);

// Counts the handhelds' changes and publishes the count at most once per
// interval: under fifty busy handhelds the data changes every few
// milliseconds, and a version that moved with each change would leave every
// page's poll a query of its own. Published lazily, when a page asks, so no
// timer runs; a change shows at most one interval late.
class ChangeCounter {
public:
    using Clock = std::chrono::steady_clock;
    explicit ChangeCounter(std::chrono::milliseconds interval) : interval_(interval) {}

    void changed() { counted_.fetch_add(1, std::memory_order_acq_rel); }
    // The published count as of `now`: every change counted before the last
    // publication, none after it.
    std::uint64_t published(Clock::time_point now);

private:
    const std::chrono::milliseconds interval_;
    std::atomic<std::uint64_t> counted_{0};
    std::mutex mutex_;
    std::uint64_t published_ = 0;
    std::optional<Clock::time_point> publishedAt_;
};

// The answers the open pages share, by request and data version: one page's
// answer serves every other that asks the same at the same or an older
// version, and pages that ask while it is being made wait for it rather than
// make their own. An answer is never served for a version newer than the one
// it was made at, and a newer answer is never replaced by an older one.
// Bounded in entries and bytes, the least recently used going first; only
// good answers (200) are kept, so a database that could not be read is asked
// again at the next poll.
class AnswerCache {
public:
    struct Limits {
        std::size_t entries = 256;
        std::size_t bytes = std::size_t{32} << 20;
    };
    struct Stats {
        std::uint64_t made = 0;   // answers made (the queries that ran)
        std::uint64_t hits = 0;   // served from the kept answers
        std::uint64_t joined = 0; // waited for an answer another page asked for
        std::size_t entries = 0;
        std::size_t bytes = 0;
    };
    using Make = std::function<DashboardAnswer()>;

    explicit AnswerCache(Limits limits) : limits_(limits) {}
    AnswerCache() : AnswerCache(Limits{}) {}

    // The answer to `key` at `version` or newer; `make` runs (on the caller's
    // thread) only when no such answer is kept or being made. What `make`
    // throws reaches every page that waited for it, and nothing is kept.
    DashboardAnswer get(const std::string& key, DataVersion version, const Make& make);
    Stats stats() const;

private:
    struct Entry {
        std::string key;
        DataVersion version;
        DashboardAnswer answer;
        std::size_t bytes = 0;
    };
    struct Flight {
        std::uint64_t serial = 0;
        DataVersion version;
        std::shared_future<DashboardAnswer> answer;
    };
    void keep(const std::string& key, DataVersion version, const DashboardAnswer& answer);

    const Limits limits_;
    mutable std::mutex mutex_;
    std::list<Entry> recent_; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    std::map<std::string, Flight> flights_;
    std::uint64_t serial_ = 0;
    Stats stats_;
};

} // namespace backoffice
