// korvane-backoffice: the reference back office.
#include "backoffice/dashboard.h"
#include "backoffice/dashboard_sqlite.h"
#include "backoffice/demo_data.h"
#include "backoffice/handlers.h"
#include "backoffice/options.h"
#include "backoffice/print.h"
#include "backoffice/server.h"
#include "backoffice/service_notify.h"
#include "backoffice/sqlite_store.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <thread>

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "0"
#endif

int main(int argc, char** argv) {
    using namespace backoffice;
    const DashboardArguments dashboardArguments =
        SplitDashboardOptions(std::vector<std::string>(argv + 1, argv + argc));
    const ParsedCommandLine parsed = ParseCommandLine(dashboardArguments.rest);
    if (!parsed.options || !dashboardArguments.error.empty()) {
        std::cerr << "korvane-backoffice: "
                  << (dashboardArguments.error.empty() ? parsed.error : dashboardArguments.error)
                  << "\n\n"
                  << Usage() << DashboardUsage();
        return 2;
    }
    const CommandLine& options = *parsed.options;
    if (options.help) {
        std::cout << Usage() << DashboardUsage();
        return 0;
    }
    if (dashboardArguments.options.hashPassword) {
        return HashPasswordCommand(std::cin, std::cout, std::cerr);
    }
    if (options.version) {
        std::cout << "korvane-backoffice " KORVANE_VERSION "\n";
        return 0;
    }

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

    std::unique_ptr<SqliteStore> store;
    try {
        store = std::make_unique<SqliteStore>(options.database, options.fullSync);
        if (options.demo) {
            const std::string today = options.today.empty() ? LocalToday() : options.today;
            if (SeedDemo(*store, today)) {
                log("event=seeded database=" + options.database + " day=" + today);
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "korvane-backoffice: " << error.what() << '\n';
        return 1;
    }

    const std::string printFolder =
        options.printFolder.empty()
            ? (std::filesystem::absolute(options.database).parent_path() / "prints").string()
            : options.printFolder;
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
    SqliteDashboardQueries dashboardQueries(*store);
    Dashboard dashboard(dashboardQueries, dashboardArguments.options, options.host, printFolder,
                        log);
    if (!dashboard.error().empty()) {
        std::cerr << "korvane-backoffice: " << dashboard.error() << '\n';
        return 1;
    }
    dashboard.attach(serverOptions);
    Server server(handlers, serverOptions);
    if (!server.bind()) {
        std::cerr << "korvane-backoffice: cannot listen on " << options.host << ':' << options.port
                  << '\n';
        return 1;
    }
    if (!dashboard.start()) {
        std::cerr << "korvane-backoffice: " << dashboard.error() << '\n';
        return 1;
    }
    if (!options.portFile.empty()) {
        // Written beside and renamed: whoever waits for it never reads half.
        const std::string partial = options.portFile + ".part";
        std::ofstream(partial) << server.port() << '\n';
        std::rename(partial.c_str(), options.portFile.c_str());
    }
    log("event=listening url=http://" + options.host + ":" + std::to_string(server.port()) + "/" +
        options.path + "/QVRGenericWebService database=" + options.database);
    NotifyReady();

    std::thread signals([&server, &stopSignals, &log] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        log(std::string("event=stopping signal=") + (signal == SIGINT ? "INT" : "TERM"));
        NotifyStopping();
        server.stop();
    });
    signals.detach();
    server.run();
    dashboard.stop();
    log("event=stopped");
    return 0;
}
