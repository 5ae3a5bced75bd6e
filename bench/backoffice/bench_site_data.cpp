// The site's data in and out at the size of a large site: the import of
// 10,000 routes, 100,000 notes and 500,000 lines from CSV beside the floor of
// SQLite's own command-line .import of the same files into bare tables (run
// side by side, as a child process), with the memory it takes and how long
// the handhelds' writes wait meanwhile; the export of one day of 50 routes;
// a backup while writes go on; and the database file over 90 days of a
// 50-route site pruned to a week. BENCH_SCALE=0.1 runs a tenth of the import.
// The engines side by side: the same import, its repetition (every row
// unchanged) and the export of a day, on SQLite and on a throw-away
// PostgreSQL server.
#include "backoffice/demo_data.h"
#include "backoffice/site_export.h"
#include "backoffice/site_import.h"
#include "backoffice/sqlite_site_data.h"
#include "backoffice/sqlite_store.h"
#include "backoffice/store_factory.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace bo = backoffice;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Scale() {
    const char* scale = std::getenv("BENCH_SCALE");
    return scale ? std::max(0.001, std::atof(scale)) : 1.0;
}

long PeakKiB(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/korvane-bench-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path path_;
};

// The site's master data and `days` days of `routes` routes with `notes`
// notes of `lines` lines each, from day `first` on.
struct Site {
    std::vector<std::string> files;
    long rows = 0;
};

Site WriteSite(const fs::path& folder, const std::string& first, int days, int routes, int notes,
               int lines, bool master = true, int dayOffset = 0) {
    Site site;
    const auto open = [&](const char* name, const char* header) {
        site.files.push_back((folder / name).string());
        auto out = std::make_unique<std::ofstream>(site.files.back(), std::ios::binary);
        *out << header << "\r\n";
        return out;
    };
    if (master) {
        *open("plants.csv", "plant,name,default_department") << "5000,Bench Site,10\r\n";
        *open("departments.csv", "plant,department,code,description")
            << "5000,10,FRS,Fresh produce\r\n";
        auto products = open("products.csv", "plant,product,description,size,packaging,pool");
        for (int p = 0; p < 50; ++p) {
            *products << "5000,P-" << p << ",\"Product " << p << ", fresh\",1 kg,box,0\r\n";
        }
        site.rows += 52;
    }
    auto r = open("routes.csv", "plant,route,delivery_day,production_day,department,description");
    auto n = open("notes.csv", "plant,note,route,delivery_day,stop,customer,instructions");
    auto l = open("lines.csv", "plant,note,position,product,ordered,minimum,maximum");
    for (int d = 0; d < days; ++d) {
        const std::string day = bo::AddDays(first, d);
        for (int route = 1; route <= routes; ++route) {
            *r << "5000," << route << ',' << day << ',' << bo::AddDays(day, -1) << ",10,Route "
               << route << "\r\n";
            for (int stop = 1; stop <= notes; ++stop) {
                const long long number =
                    1000000000LL + (dayOffset + d) * 100000LL + route * 100LL + stop;
                *n << "5000," << number << ',' << route << ',' << day << ',' << stop
                   << ",\"Customer " << number << ", Main street\","
                   << (stop % 3 == 0 ? "\"Back door\nRing twice\"" : "") << "\r\n";
                for (int p = 1; p <= lines; ++p) {
                    *l << "5000," << number << ',' << p << ",P-" << (stop + p) % 50 << ',' << p * 3
                       << ",0,0\r\n";
                }
                site.rows += 1 + lines;
            }
            ++site.rows;
        }
    }
    return site;
}

// The same files into bare tables by SQLite's command-line shell: the floor.
double SqliteShellImport(const fs::path& folder) {
    const fs::path db = folder / "floor.db";
    const std::string script = (folder / "floor.sql").string();
    std::ofstream(script) << ".mode csv\n"
                             "PRAGMA journal_mode = WAL;\n"
                             "PRAGMA synchronous = NORMAL;\n"
                             "BEGIN;\n"
                             ".import "
                          << (folder / "routes.csv").string() << " routes\n.import "
                          << (folder / "notes.csv").string() << " notes\n.import "
                          << (folder / "lines.csv").string() << " lines\nCOMMIT;\n";
    const auto started = Clock::now();
    const std::string command = "sqlite3 " + db.string() + " < " + script + " > /dev/null";
    if (std::system(command.c_str()) != 0) {
        return -1;
    }
    return Seconds(started);
}

// One write of a handheld exchange, timed, over and over until stopped.
class Exchanges {
public:
    explicit Exchanges(bo::Store& store) : store_(store) {
        thread_ = std::thread([this] {
            int i = 0;
            while (!stop_) {
                const auto started = Clock::now();
                store_.write([&](bo::StoreTransaction& tx) {
                    if (auto note = tx.note(1)) {
                        bo::Note after = *note;
                        after.colli = ++i % 100;
                        tx.updateNote(*note, after);
                    }
                });
                latencies_.push_back(Seconds(started) * 1000);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    // p99 and the longest wait, in ms.
    std::pair<double, double> finish() {
        stop_ = true;
        thread_.join();
        std::sort(latencies_.begin(), latencies_.end());
        if (latencies_.empty()) {
            return {0, 0};
        }
        return {latencies_[latencies_.size() * 99 / 100], latencies_.back()};
    }

private:
    bo::Store& store_;
    std::atomic<bool> stop_{false};
    std::vector<double> latencies_;
    std::thread thread_;
};

void BM_Import(benchmark::State& state) {
    const double scale = state.range(0) / 100.0 * Scale();
    const int days = std::max(1, static_cast<int>(200 * scale));
    for (auto _ : state) {
        Folder folder;
        const Site site = WriteSite(folder.path_, "2026-01-01", days, 50, 10, 5);
        const double floor = SqliteShellImport(folder.path_);
        const long floorKiB = PeakKiB(RUSAGE_CHILDREN);

        bo::SqliteStore store((folder.path_ / "office.db").string());
        bo::SqliteSiteData data(store);
        // A note for the handheld writes to change while the import runs.
        bo::ImportRequest seed;
        {
            const fs::path seedFolder = folder.path_ / "seed";
            fs::create_directories(seedFolder);
            seed.files = WriteSite(seedFolder, "2025-12-31", 1, 1, 1, 1, true, 900).files;
            bo::ImportFiles(data, seed);
        }
        Exchanges exchanges(store);
        bo::ImportRequest request;
        request.files = site.files;
        request.time = "2026-01-01T05:00:00";
        const auto started = Clock::now();
        const bo::ImportSummary summary = bo::ImportFiles(data, request);
        const double seconds = Seconds(started);
        const auto [p99, longest] = exchanges.finish();
        if (!summary.applied) {
            state.SkipWithError(summary.problems.empty() ? "not applied"
                                                         : summary.problems[0].text().c_str());
            return;
        }
        state.counters["rows"] = static_cast<double>(site.rows);
        state.counters["rows_per_s"] = site.rows / seconds;
        state.counters["floor_rows_per_s"] = floor > 0 ? site.rows / floor : 0;
        state.counters["x_floor"] = floor > 0 ? seconds / floor : 0;
        state.counters["peak_MiB"] = PeakKiB() / 1024.0;
        state.counters["floor_peak_MiB"] = floorKiB / 1024.0;
        state.counters["exchange_p99_ms"] = p99;
        state.counters["exchange_max_ms"] = longest;
        state.counters["switch_ms"] = static_cast<double>(summary.switchMilliseconds);
        state.counters["db_MB"] = (fs::file_size(folder.path_ / "office.db") +
                                   fs::file_size(folder.path_ / "office.db-wal")) /
                                  1e6;
        std::fprintf(stderr,
                     "import %ld rows: %.1f s, %.0f rows/s; sqlite3 .import %.1f s, %.0f rows/s "
                     "(%.2fx); peak %.0f MiB; handheld writes p99 %.1f ms, max %.1f ms (switch "
                     "%ld ms)\n",
                     site.rows, seconds, site.rows / seconds, floor, site.rows / floor,
                     seconds / floor, PeakKiB() / 1024.0, p99, longest, summary.switchMilliseconds);

        // The export of one day (50 routes, 500 notes) and a backup under writes.
        const auto exportStarted = Clock::now();
        const auto notes = data.exportDay(bo::AddDays("2026-01-01", days / 2), "5000");
        bo::WriteExport(notes, "day", "csv", (folder.path_ / "export").string());
        state.counters["export_day_ms"] = Seconds(exportStarted) * 1000;
        state.counters["export_notes"] = static_cast<double>(notes.size());
        Exchanges during(store);
        const auto backupStarted = Clock::now();
        data.backup((folder.path_ / "copy.db").string());
        state.counters["backup_ms"] = Seconds(backupStarted) * 1000;
        const auto [backupP99, backupLongest] = during.finish();
        state.counters["backup_exchange_max_ms"] = backupLongest;
        std::fprintf(stderr,
                     "export of a day: %zu notes in %.0f ms; backup of %.0f MB in %.0f ms, "
                     "handheld writes meanwhile p99 %.1f ms, max %.1f ms\n",
                     notes.size(), state.counters["export_day_ms"].value,
                     state.counters["db_MB"].value, state.counters["backup_ms"].value, backupP99,
                     backupLongest);
    }
}

// The same import as the import command runs it beside `serve`: the
// handhelds' writes come from another process, so they wait for SQLite's
// lock between the import's steps, not for the writers' turn of one process.
void BM_ImportBesideServe(benchmark::State& state) {
    const double scale = state.range(0) / 100.0 * Scale();
    const int days = std::max(1, static_cast<int>(200 * scale));
    for (auto _ : state) {
        Folder folder;
        const Site site = WriteSite(folder.path_, "2026-01-01", days, 50, 10, 5);
        const std::string path = (folder.path_ / "office.db").string();
        {
            bo::SqliteStore store(path);
            bo::SqliteSiteData data(store);
            const fs::path seedFolder = folder.path_ / "seed";
            fs::create_directories(seedFolder);
            bo::ImportRequest seed;
            seed.files = WriteSite(seedFolder, "2025-12-31", 1, 1, 1, 1, true, 900).files;
            bo::ImportFiles(data, seed);
        }
        int stop[2], result[2];
        if (pipe(stop) != 0 || pipe(result) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t serve = fork();
        if (serve == 0) {
            close(stop[1]);
            double figures[2] = {0, 0};
            {
                bo::SqliteStore store(path);
                Exchanges exchanges(store);
                char byte;
                while (read(stop[0], &byte, 1) > 0) {
                }
                std::tie(figures[0], figures[1]) = exchanges.finish();
            }
            const ssize_t written = write(result[1], figures, sizeof figures);
            _exit(written == sizeof figures ? 0 : 1);
        }
        close(stop[0]);
        close(result[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // its store is open
        bo::ImportSummary summary;
        double seconds = 0;
        {
            bo::SqliteStore store(path);
            bo::SqliteSiteData data(store);
            bo::ImportRequest request;
            request.files = site.files;
            request.time = "2026-01-01T05:00:00";
            const auto started = Clock::now();
            summary = bo::ImportFiles(data, request);
            seconds = Seconds(started);
        }
        close(stop[1]);
        double figures[2] = {0, 0};
        const bool got = read(result[0], figures, sizeof figures) == sizeof figures;
        close(result[0]);
        waitpid(serve, nullptr, 0);
        if (!summary.applied || !got) {
            state.SkipWithError("not applied");
            return;
        }
        state.counters["rows_per_s"] = site.rows / seconds;
        state.counters["exchange_p99_ms"] = figures[0];
        state.counters["exchange_max_ms"] = figures[1];
        std::fprintf(stderr,
                     "import %ld rows beside another process's writes: %.1f s; its writes p99 "
                     "%.1f ms, max %.1f ms\n",
                     site.rows, seconds, figures[0], figures[1]);
    }
}

// Ninety days of 50 routes (10 notes of 5 lines each), pruned to a week
// every night.
void BM_NinetyDays(benchmark::State& state) {
    for (auto _ : state) {
        Folder folder;
        const std::string path = (folder.path_ / "office.db").string();
        auto store = std::make_unique<bo::SqliteStore>(path);
        std::vector<double> sizes;
        long longestSwitch = 0;
        for (int d = 0; d < 90; ++d) {
            // Appended, not "d" + to_string(d): GCC 12 at -O3 warns falsely on that.
            std::string dayName = "d";
            dayName += std::to_string(d);
            const fs::path dayFolder = folder.path_ / dayName;
            fs::create_directories(dayFolder);
            const Site site =
                WriteSite(dayFolder, bo::AddDays("2026-01-01", d), 1, 50, 10, 5, d == 0, d);
            bo::SqliteSiteData data(*store);
            bo::ImportRequest request;
            request.files = site.files;
            const bo::ImportSummary summary = bo::ImportFiles(data, request);
            if (!summary.applied) {
                state.SkipWithError("import failed");
                return;
            }
            longestSwitch = std::max(longestSwitch, summary.switchMilliseconds);
            data.prune(bo::AddDays("2026-01-01", d - 7), "");
            fs::remove_all(dayFolder);
            if ((d + 1) % 30 == 0) {
                store.reset();
                sizes.push_back(fs::file_size(path) / 1e6);
                store = std::make_unique<bo::SqliteStore>(path);
            }
        }
        state.counters["MB_day30"] = sizes[0];
        state.counters["MB_day60"] = sizes[1];
        state.counters["MB_day90"] = sizes[2];
        state.counters["daily_switch_max_ms"] = static_cast<double>(longestSwitch);
        std::fprintf(stderr,
                     "database file after 30, 60, 90 days: %.1f, %.1f, %.1f MB; the daily "
                     "import's switch at most %ld ms\n",
                     sizes[0], sizes[1], sizes[2], longestSwitch);
    }
}

} // namespace

// 10 and 100 percent of the full size.
// A throw-away PostgreSQL server for the engine comparison, started once by
// the tests' script; commits are not waited for on the disk, as SQLite's
// synchronous=NORMAL. Empty when no server is installed.
struct PostgresServer {
    Folder folder;
    std::string uri;
    PostgresServer() {
        setenv("KORVANE_PG_OPTIONS", "-c synchronous_commit=off", 1);
        if (std::system(
                (std::string(POSTGRES_SCRIPT) + " start " + folder.path_.string() + " >/dev/null")
                    .c_str()) == 0) {
            std::ifstream(folder.path_ / "uri") >> uri;
        }
    }
    ~PostgresServer() {
        std::system(
            (std::string(POSTGRES_SCRIPT) + " stop " + folder.path_.string() + " >/dev/null")
                .c_str());
    }
};

// Arguments: the engine (0 SQLite, 1 PostgreSQL) and the share of the large
// site in percent. Each run on an empty database of its own.
void BM_ImportEngines(benchmark::State& state) {
    const bool postgres = state.range(0) == 1;
    const double scale = state.range(1) / 100.0 * Scale();
    const int days = std::max(1, static_cast<int>(200 * scale));
    static std::unique_ptr<PostgresServer> server;
    if (postgres && !server) {
        server = std::make_unique<PostgresServer>();
    }
    if (postgres && server->uri.empty()) {
        state.SkipWithError("no PostgreSQL server installed");
        return;
    }
    static int databases = 0;
    for (auto _ : state) {
        Folder folder;
        const Site site = WriteSite(folder.path_, "2026-01-01", days, 50, 10, 5);
        std::string database = (folder.path_ / "office.db").string();
        if (postgres) {
            const std::string name = "bench_" + std::to_string(++databases);
            std::system(
                ("psql -q -d '" + server->uri + "' -c 'CREATE SCHEMA " + name + "'").c_str());
            database = server->uri + "?options=-c%20search_path%3D" + name;
        }
        bo::OpenedStore opened = bo::OpenStore(database, {});
        {
            // A note for the handheld writes to change while the import runs.
            const fs::path seedFolder = folder.path_ / "seed";
            fs::create_directories(seedFolder);
            bo::ImportRequest seed;
            seed.files = WriteSite(seedFolder, "2025-12-31", 1, 1, 1, 1, true, 900).files;
            bo::ImportFiles(*opened.siteData, seed);
        }
        bo::ImportRequest request;
        request.files = site.files;
        request.time = "2026-01-01T05:00:00";
        Exchanges exchanges(*opened.store);
        auto started = Clock::now();
        const bo::ImportSummary summary = bo::ImportFiles(*opened.siteData, request);
        const double seconds = Seconds(started);
        const auto [p99, longest] = exchanges.finish();
        if (!summary.applied) {
            state.SkipWithError(summary.problems.empty() ? "not applied"
                                                         : summary.problems[0].text().c_str());
            return;
        }
        started = Clock::now();
        const bo::ImportSummary again = bo::ImportFiles(*opened.siteData, request);
        const double againSeconds = Seconds(started);
        started = Clock::now();
        const auto notes = opened.siteData->exportDay(bo::AddDays("2026-01-01", days / 2), "5000");
        const double exportMs = Seconds(started) * 1000;
        state.counters["rows"] = static_cast<double>(site.rows);
        state.counters["rows_per_s"] = site.rows / seconds;
        state.counters["again_rows_per_s"] = site.rows / againSeconds;
        state.counters["apply_ms"] = static_cast<double>(summary.switchMilliseconds);
        state.counters["export_day_ms"] = exportMs;
        state.counters["exchange_p99_ms"] = p99;
        state.counters["exchange_max_ms"] = longest;
        std::fprintf(stderr,
                     "%s: import %ld rows %.1f s (%.0f rows/s, apply step %ld ms; handheld writes "
                     "meanwhile p99 %.1f ms, max %.1f ms); again (unchanged) %.1f s; export of a "
                     "day (%zu notes) %.0f ms\n",
                     postgres ? "postgresql" : "sqlite", site.rows, seconds, site.rows / seconds,
                     summary.switchMilliseconds, p99, longest, againSeconds, notes.size(),
                     exportMs);
        benchmark::DoNotOptimize(again);
    }
}

BENCHMARK(BM_Import)->Arg(10)->Arg(100)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ImportBesideServe)->Arg(100)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_NinetyDays)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ImportEngines)
    ->Args({0, 10})
    ->Args({1, 10})
    ->Args({0, 100})
    ->Args({1, 100})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK_MAIN();
