#include "backoffice/upkeep.h"

#include "backoffice/demo_data.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <vector>

namespace backoffice {

namespace {
constexpr const char* kPrefix = "korvane-backoffice-";
}

std::string BackupName(std::chrono::system_clock::time_point at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    std::tm local{};
    localtime_r(&t, &local);
    char name[64];
    std::strftime(name, sizeof name, "korvane-backoffice-%Y%m%d-%H%M%S.db", &local);
    return name;
}

std::string NowIso() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

int RemoveOldBackups(const std::string& folder, int keep) {
    std::vector<std::filesystem::path> backups;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind(kPrefix, 0) == 0 && name.size() > 3 &&
            name.compare(name.size() - 3, 3, ".db") == 0) {
            backups.push_back(entry.path());
        }
    }
    // The names sort by time.
    std::sort(backups.begin(), backups.end());
    int removed = 0;
    for (std::size_t i = 0; i + static_cast<std::size_t>(keep) < backups.size(); ++i) {
        if (std::filesystem::remove(backups[i], error)) {
            ++removed;
        }
    }
    return removed;
}

Upkeep::Upkeep(SiteData& data, Options options, std::function<void(const std::string&)> log)
    : data_(data), options_(std::move(options)), log_(std::move(log)) {
    if (!options_.backupFolder.empty() || options_.keepDays > 0) {
        thread_ = std::thread([this] { run(); });
    }
}

Upkeep::~Upkeep() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Upkeep::run() {
    using Clock = std::chrono::steady_clock;
    const auto day = std::chrono::hours(24);
    Clock::time_point nextBackup = Clock::now();
    Clock::time_point nextPrune = Clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const Clock::time_point now = Clock::now();
        lock.unlock();
        if (!options_.backupFolder.empty() && now >= nextBackup) {
            nextBackup = now + options_.backupEvery;
            try {
                std::filesystem::create_directories(options_.backupFolder);
                const std::string file = (std::filesystem::path(options_.backupFolder) /
                                          BackupName(std::chrono::system_clock::now()))
                                             .string();
                const auto started = Clock::now();
                data_.backup(file);
                const auto ms =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
                const int removed = RemoveOldBackups(options_.backupFolder, options_.backupKeep);
                log_("event=backup file=" + file + " ms=" + std::to_string(ms.count()) +
                     " removed=" + std::to_string(removed));
            } catch (const std::exception& error) {
                log_(std::string("event=backup-failed error=\"") + error.what() + "\"");
            }
        }
        if (options_.keepDays > 0 && now >= nextPrune) {
            nextPrune = now + day;
            try {
                const std::string before = AddDays(LocalToday(), -options_.keepDays);
                const PruneSummary s = data_.prune(before, NowIso());
                log_("event=prune before=" + before + " routes=" + std::to_string(s.routes) +
                     " notes=" + std::to_string(s.notes) +
                     " kept_in_progress=" + std::to_string(s.keptInProgress));
            } catch (const std::exception& error) {
                log_(std::string("event=prune-failed error=\"") + error.what() + "\"");
            }
        }
        lock.lock();
        Clock::time_point next = Clock::time_point::max();
        if (!options_.backupFolder.empty()) {
            next = std::min(next, nextBackup);
        }
        if (options_.keepDays > 0) {
            next = std::min(next, nextPrune);
        }
        wake_.wait_until(lock, next, [this] { return stopping_; });
    }
}

} // namespace backoffice
