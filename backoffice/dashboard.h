#pragma once

#include "backoffice/dashboard_cache.h"
#include "backoffice/dashboard_data.h"
#include "backoffice/options.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace backoffice {

struct ServerOptions;
class ConnectionWatchdog;
class Logins;

// The supervisor's dashboard: read-only pages under /dashboard and their
// JSON under /api/v1 on the handhelds' listener, and over TLS on a listener
// of its own when a certificate is given.

// `hash-password`: reads a password line, writes its hash; the exit code.
int HashPasswordCommand(std::istream& in, std::ostream& out, std::ostream& err);

bool LoopbackHost(const std::string& host);
// The name in a Host header, without the port and the brackets of IPv6.
std::string HostName(const std::string& hostHeader);
// "YYYY-MM-DDTHH:MM:SS[.fff]Z"; nullopt for anything else.
std::optional<std::chrono::system_clock::time_point> ParseIsoUtc(const std::string& text);

// The JSON of the API, as plain functions of what the queries returned.
using TimePoint = std::chrono::system_clock::time_point;
bool RouteStale(const DashboardRoute& route, TimePoint now, int staleMinutes);
std::string PlantsJson(const std::vector<DashboardPlant>& plants);
std::string RoutesJson(const DashboardPlant& plant, const std::string& day,
                       const std::vector<Department>& departments,
                       const std::vector<DashboardRoute>& routes, TimePoint now, int staleMinutes);
std::string NotesJson(const DashboardPlant& plant, const DashboardRoute& route,
                      const std::vector<DashboardNote>& notes, TimePoint now, int staleMinutes);
std::string HandheldsJson(const DashboardPlant& plant, const std::vector<DashboardHandheld>& list,
                          TimePoint now, int silentMinutes);
std::string ScansJson(const DashboardPlant& plant, const std::string& day, const HourlyScans& scans,
                      int planFrom, int planTo);

// What tells one API request from another: the endpoint and the parameters
// the answer depends on (not the page's language, which the JSON has none of).
std::string AnswerKey(const std::string& endpoint,
                      const std::map<std::string, std::string>& params);

// The page with its logout button shown (it comes hidden).
std::string ShowLogout(std::string page);

class Dashboard {
public:
    using Log = std::function<void(const std::string&)>;
    Dashboard(DashboardQueries& queries, DashboardOptions options, std::string serveHost,
              std::string printFolder, Log log = {});
    ~Dashboard();
    Dashboard(const Dashboard&) = delete;
    Dashboard& operator=(const Dashboard&) = delete;

    // Why the dashboard cannot start (an unreadable users file, a bad
    // certificate); empty when it can.
    const std::string& error() const { return error_; }
    // Adds the pages and the API to the handhelds' server, and has it report
    // every exchange; the HTTPS listener takes the server's connection age
    // limit.
    void attach(ServerOptions& server);
    // Starts the TLS listener when a certificate is given; false on failure.
    bool start();
    int tlsPort() const { return tlsPort_; }
    void stop();

    // One API request without HTTP: /api/v1/<endpoint> with its parameters.
    using Reply = DashboardReply;
    Reply api(const std::string& endpoint, const std::map<std::string, std::string>& params,
              TimePoint now = std::chrono::system_clock::now());

    // The answer to a page's poll, shared by every page that asks the same
    // while the data has not changed: twenty open dashboards on one plant and
    // day cost one query per change, not twenty. Changes are published at
    // most once per kShared, so that a busy floor does not make every poll a
    // query of its own; a change shows on the pages within kShared and a poll.
    static constexpr std::chrono::milliseconds kShared{500};
    using Answer = DashboardAnswer;
    Answer poll(const std::string& endpoint, const std::map<std::string, std::string>& params,
                std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
    // How many answers were made (queries run) and shared, and the CPU time
    // making them took.
    AnswerCache::Stats answerStats() const { return answers_.stats(); }
    std::chrono::nanoseconds answerCpu() const { return std::chrono::nanoseconds(answerCpu_); }

    // A handheld's exchange; the pages learn of it at their next poll.
    void exchanged(Id device, const std::string& function, std::optional<Id> employee);

private:
    class Routes;
    void flushActivity();
    std::uint64_t databaseMarker(std::chrono::steady_clock::time_point now);

    DashboardQueries& queries_;
    DashboardOptions options_;
    std::string serveHost_;
    std::string printFolder_;
    Log log_;
    std::string error_;
    bool loginNeeded_ = false;
    bool enabled_ = true;
    std::unique_ptr<Logins> logins_;
    std::unique_ptr<Routes> routes_;
    std::string boot_; // tells the pages' polls that the server was restarted
    ChangeCounter changes_{kShared};
    // The database's change marker, asked for at most once per kShared.
    std::mutex markerMutex_;
    std::uint64_t marker_ = 0;
    std::optional<std::chrono::steady_clock::time_point> markerAt_;
    std::string markerError_; // the last failure, said once
    AnswerCache answers_;

    std::mutex activityMutex_;
    std::condition_variable activityWanted_;
    std::map<Id, HandheldActivity> pendingActivity_;
    bool stopping_ = false;
    std::thread activityWriter_;

    // The answers' queries and JSON are made on a thread of their own at the
    // lowest CPU priority: when the handhelds keep the processors busy, the
    // pages wait a little, the handhelds do not.
    Reply answerAside(const std::string& endpoint,
                      const std::map<std::string, std::string>& params);
    void answerLoop();
    std::mutex answerMutex_;
    std::condition_variable answerWanted_;
    std::deque<std::function<void()>> answerJobs_;
    bool answerStopping_ = false;
    std::thread answerer_;
    std::atomic<std::int64_t> answerCpu_{0}; // ns

    int tlsPort_ = -1;
    std::thread tlsRunner_;
    // The HTTPS listener's connections are watched as the handhelds' are,
    // with the same age limit.
    std::chrono::seconds connectionLifetime_{60};
    std::unique_ptr<ConnectionWatchdog> tlsWatchdog_;
};

} // namespace backoffice
