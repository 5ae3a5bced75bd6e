// korvane-backoffice: the reference back office.
#include "backoffice/dashboard.h"
#include "backoffice/demo_data.h"
#include "backoffice/handlers.h"
#include "backoffice/options.h"
#include "backoffice/postgres_store.h"
#include "backoffice/print.h"
#include "backoffice/server.h"
#include "backoffice/service_notify.h"
#include "backoffice/site_export.h"
#include "backoffice/site_import.h"
#include "backoffice/store_factory.h"
#include "backoffice/upkeep.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "0"
#endif

namespace {

using namespace backoffice;

int Serve(const ServeOptions& options) {
    // Signals are taken by one thread, which stops the server; every other
    // thread inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::mutex logMutex;
    const auto log = [&logMutex](const std::string& line) {
        std::lock_guard lock(logMutex);
        std::cerr << line << '\n';
    };

    OpenedStore opened;
    Store* store = nullptr;
    try {
        opened = OpenStore(options.database, {options.fullSync, options.dbConnections});
        store = opened.store.get();
        if (opened.engine == "postgresql" && !options.backupFolder.empty()) {
            // Refused at the start rather than failing at every period.
            throw std::runtime_error("--backup-dir copies SQLite files only; back a "
                                     "PostgreSQL database up with pg_dump (see the README)");
        }
        if (opened.siteData && opened.siteData->rollBackUnfinishedImport()) {
            log("event=import-rolled-back reason=\"an import was stopped before it finished\"");
        }
        if (options.demo) {
            const std::string today = options.today.empty() ? LocalToday() : options.today;
            // Two instances starting on one empty database both try; the
            // one that lost finds the warehouse there on its second look.
            bool seeded = false;
            for (int attempt = 1;; ++attempt) {
                try {
                    seeded = SeedDemo(*store, today);
                    break;
                } catch (const StoreConflict&) {
                    if (attempt == 3) {
                        throw;
                    }
                }
            }
            if (seeded) {
                log("event=seeded engine=" + opened.engine + " day=" + today);
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "korvane-backoffice: " << error.what() << '\n';
        return 1;
    }

    const bool networked = IsPostgresUri(options.database);
    // A networked database has no folder: then prints/ in the working folder.
    const std::string printFolder =
        !options.printFolder.empty() ? options.printFolder
        : networked
            ? (std::filesystem::current_path() / "prints").string()
            : (std::filesystem::absolute(options.database).parent_path() / "prints").string();
    // The log names a networked database by host and name only.
    const std::string databaseName = networked ? "postgresql" : options.database;
    PdfPrinter printer(printFolder, options.printCommand);
    HandlerOptions handlerOptions;
    handlerOptions.demo = options.demo;
    handlerOptions.printer = &printer;
    Handlers handlers(*store, handlerOptions);

    ServerOptions serverOptions;
    serverOptions.host = options.host;
    serverOptions.port = options.port;
    serverOptions.path = options.path;
    if (!options.quiet) {
        serverOptions.log = log;
    }
    serverOptions.heartbeat = NotifyWatchdog;
    std::optional<Dashboard> dashboard;
    if (opened.dashboard) {
        dashboard.emplace(*opened.dashboard, options.dashboard, options.host, printFolder, log);
        if (!dashboard->error().empty()) {
            std::cerr << "korvane-backoffice: " << dashboard->error() << '\n';
            return 1;
        }
        dashboard->attach(serverOptions);
    } else {
        log("event=no-dashboard engine=" + opened.engine);
    }
    Server server(handlers, serverOptions);
    if (!server.bind()) {
        std::cerr << "korvane-backoffice: cannot listen on " << options.host << ':' << options.port
                  << '\n';
        return 1;
    }
    if (dashboard && !dashboard->start()) {
        std::cerr << "korvane-backoffice: " << dashboard->error() << '\n';
        return 1;
    }
    if (!options.portFile.empty()) {
        // Written beside and renamed: whoever waits for it never reads half.
        const std::string partial = options.portFile + ".part";
        std::ofstream(partial) << server.port() << '\n';
        std::rename(partial.c_str(), options.portFile.c_str());
    }
    log("event=listening url=http://" + options.host + ":" + std::to_string(server.port()) + "/" +
        options.path + "/QVRGenericWebService database=" + databaseName);
    NotifyReady();

    std::optional<Upkeep> upkeep;
    if (opened.siteData) {
        upkeep.emplace(*opened.siteData,
                       Upkeep::Options{options.backupFolder, options.backupEvery,
                                       options.backupKeep, options.keepDays},
                       log);
    } else if (!options.backupFolder.empty() || options.keepDays > 0) {
        log("event=no-upkeep engine=" + opened.engine);
    }

    std::thread signals([&server, &stopSignals, &log] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        log(std::string("event=stopping signal=") + (signal == SIGINT ? "INT" : "TERM"));
        NotifyStopping();
        server.stop();
    });
    signals.detach();
    server.run();
    if (dashboard) {
        dashboard->stop();
    }
    log("event=stopped");
    return 0;
}

// The site data of `database`, or a clear refusal on an engine without it.
OpenedStore OpenSiteData(const std::string& database) {
    OpenedStore opened = OpenStore(database, {});
    if (!opened.siteData) {
        throw std::runtime_error("import, export, backup and prune are not available on " +
                                 opened.engine + " yet (back it up with pg_dump)");
    }
    return opened;
}

int Import(const ImportOptions& options) {
    OpenedStore opened = OpenSiteData(options.database);
    SiteData& data = *opened.siteData;
    ImportRequest request;
    request.files = options.files;
    request.checkOnly = options.check;
    request.replaceDay = options.replaceDay;
    request.time = NowIso();
    const bool terminal = !options.quiet && isatty(STDERR_FILENO);
    const auto started = std::chrono::steady_clock::now();
    ImportProgress progress;
    if (terminal) {
        progress = [started](long rows, std::uintmax_t read, std::uintmax_t total) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double rate = seconds > 0 ? rows / seconds : 0;
            const double left =
                read > 0 && total > read ? seconds * static_cast<double>(total - read) / read : 0;
            std::fprintf(stderr, "\r%ld rows, %.0f rows/s, %.1f of %.1f MB, about %.0f s left   ",
                         rows, rate, read / 1e6, total / 1e6, left);
        };
    }
    const ImportSummary summary = ImportFiles(data, request, progress);
    if (terminal) {
        std::fputs("\n", stderr);
    }
    for (const ImportProblem& problem : summary.problems) {
        std::cerr << problem.text() << '\n';
    }
    if (summary.moreProblems > 0) {
        std::cerr << "... and " << summary.moreProblems << " more problems\n";
    }
    for (const ImportProblem& skipped : summary.skipped) {
        std::cerr << skipped.text() << '\n';
    }
    std::cout << FormatSummary(summary);
    if (!summary.problems.empty()) {
        const std::size_t count =
            summary.problems.size() + static_cast<std::size_t>(summary.moreProblems);
        std::cerr << "korvane-backoffice: nothing imported: " << count
                  << (count == 1 ? " problem\n" : " problems\n");
        return 1;
    }
    if (summary.applied && opened.engine == "postgresql") {
        // Handhelds read and write on beside it; only a row it changed waits.
        std::cout << "imported in one transaction of " << summary.switchMilliseconds << " ms\n";
    } else if (summary.applied) {
        std::cout << "imported; the handhelds' writes waited " << summary.switchMilliseconds
                  << " ms for the switch\n";
    } else {
        std::cout << "checked, nothing written\n";
    }
    return 0;
}

int Export(const ExportOptions& options) {
    OpenedStore opened = OpenSiteData(options.database);
    SiteData& data = *opened.siteData;
    const auto started = std::chrono::steady_clock::now();
    const std::vector<ExportNote> notes = data.exportDay(options.day, options.plant);
    for (const std::string& file :
         WriteExport(notes, options.day, options.format, options.folder)) {
        std::cout << file << '\n';
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cerr << notes.size() << " notes in " << ms.count() << " ms\n";
    return 0;
}

int Backup(const BackupOptions& options) {
    OpenSiteData(options.database).siteData->backup(options.file);
    std::cout << options.file << '\n';
    return 0;
}

int Prune(const PruneOptions& options) {
    OpenedStore opened = OpenSiteData(options.database);
    const std::string today = options.today.empty() ? LocalToday() : options.today;
    const std::string before = AddDays(today, -options.keepDays);
    const PruneSummary s = opened.siteData->prune(before, NowIso());
    std::cout << "delivered before " << before << ": removed " << s.routes << " routes, " << s.notes
              << " notes, " << s.lines << " lines, " << s.containers << " containers, "
              << s.poolUnits << " pool scans, " << s.printJobs << " print jobs, " << s.auditEntries
              << " audit entries; kept " << s.keptInProgress << " notes in progress\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), KORVANE_VERSION);
    if (!parsed.options) {
        (parsed.exitCode == 0 ? std::cout : std::cerr) << parsed.output;
        return parsed.exitCode;
    }
    const CommandLine& line = *parsed.options;
    // Reading commands never create a database (a mistyped --db would
    // otherwise export or back up an empty one and report success).
    const std::string* existing = line.command == Command::Export   ? &line.exportDay.database
                                  : line.command == Command::Backup ? &line.backup.database
                                  : line.command == Command::Prune  ? &line.prune.database
                                                                    : nullptr;
    if (existing && !IsPostgresUri(*existing) && !std::filesystem::is_regular_file(*existing)) {
        std::cerr << "korvane-backoffice: no database " << *existing << '\n';
        return 1;
    }
    try {
        switch (line.command) {
        case Command::Serve:
            return Serve(line.serve);
        case Command::Import:
            return Import(line.import);
        case Command::Export:
            return Export(line.exportDay);
        case Command::Backup:
            return Backup(line.backup);
        case Command::Prune:
            return Prune(line.prune);
        case Command::HashPassword:
            return HashPasswordCommand(std::cin, std::cout, std::cerr);
        }
    } catch (const std::exception& error) {
        std::cerr << "korvane-backoffice: " << error.what() << '\n';
        return 1;
    }
    return 1;
}
