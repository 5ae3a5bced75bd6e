#pragma once

#include "backoffice/site_data.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace backoffice {

// What `serve` does besides answering: a backup into a folder every so often,
// keeping the newest few, and a daily prune. Runs on a thread of its own; the
// first round comes at start.
class Upkeep {
public:
    struct Options {
        std::string backupFolder; // empty: no backups
        std::chrono::seconds backupEvery{24 * 3600};
        int backupKeep = 7;
        int keepDays = 0; // 0: no pruning
    };
    Upkeep(SiteData& data, Options options, std::function<void(const std::string&)> log);
    ~Upkeep(); // stops, waiting for a round in flight
    Upkeep(const Upkeep&) = delete;
    Upkeep& operator=(const Upkeep&) = delete;

private:
    void run();

    SiteData& data_;
    Options options_;
    std::function<void(const std::string&)> log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

// Backups in `folder` are korvane-backoffice-YYYYMMDD-HHMMSS.db: removes all
// but the newest `keep`. Returns how many it removed.
int RemoveOldBackups(const std::string& folder, int keep);
std::string BackupName(std::chrono::system_clock::time_point at);

// The local time as ISO text, for the audit trail.
std::string NowIso();

} // namespace backoffice
