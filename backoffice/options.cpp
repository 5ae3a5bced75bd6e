#include "backoffice/options.h"

#include "backoffice/xml_text.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace backoffice {

namespace {

const CLI::Validator
    kDay([](std::string& text) { return IsDay(text) ? std::string() : "wants YYYY-MM-DD"; }, "DAY");

void AddDatabase(CLI::App& app, std::string& database) {
    app.add_option("--db", database,
                   "the database: an SQLite file (created when missing) or "
                   "postgresql://user@host:port/dbname (the password from ~/.pgpass or "
                   "PGPASSFILE, never in the URI)")
        ->type_name("FILE|URI")
        ->capture_default_str();
}

// The settings of `--config FILE` among `args` as "--key=value" arguments.
std::vector<std::string> ConfigArguments(const std::vector<std::string>& args) {
    std::string file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config" && i + 1 < args.size()) {
            file = args[i + 1];
        } else if (args[i].rfind("--config=", 0) == 0) {
            file = args[i].substr(9);
        }
    }
    if (file.empty()) {
        return {};
    }
    std::ifstream in(file);
    if (!in) {
        throw CLI::FileError::Missing(file);
    }
    std::vector<std::string> out;
    for (const CLI::ConfigItem& item : CLI::ConfigINI().from_config(in)) {
        if (!item.parents.empty() || item.name == "config") {
            throw CLI::ConfigError("--config " + file + ": no setting " + item.fullname());
        }
        for (const std::string& value : item.inputs) {
            out.push_back("--" + item.name + "=" + value);
        }
    }
    return out;
}

// "ADDR:PORT" (an IPv6 address in brackets) into host and port.
bool SplitListen(const std::string& listen, std::string& host, int& port) {
    const std::size_t colon = listen.rfind(':');
    const std::optional<std::int64_t> number = colon == std::string::npos || colon == 0
                                                   ? std::nullopt
                                                   : ParseInteger(listen.substr(colon + 1));
    if (!number || *number < 0 || *number > 65535) {
        return false;
    }
    host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    port = static_cast<int>(*number);
    return true;
}

} // namespace

bool IsDay(const std::string& text) {
    if (text.size() != 10) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((i == 4 || i == 7) ? text[i] != '-' : (text[i] < '0' || text[i] > '9')) {
            return false;
        }
    }
    const int y = std::stoi(text.substr(0, 4)), m = std::stoi(text.substr(5, 2)),
              d = std::stoi(text.substr(8, 2));
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return y >= 1900 && m >= 1 && m <= 12 && d >= 1 && d <= (m == 2 && !leap ? 28 : kDays[m - 1]);
}

std::optional<std::chrono::seconds> ParseDuration(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t unit = 1;
    std::string number = text;
    switch (text.back()) {
    case 's':
        number.pop_back();
        break;
    case 'm':
        unit = 60, number.pop_back();
        break;
    case 'h':
        unit = 3600, number.pop_back();
        break;
    case 'd':
        unit = 86400, number.pop_back();
        break;
    default:
        break;
    }
    const std::optional<std::int64_t> value = ParseInteger(number);
    if (!value || *value <= 0 || *value > 366 * 86400 / unit) {
        return std::nullopt;
    }
    return std::chrono::seconds(*value * unit);
}

// The supervisor's dashboard, on the handhelds' listener (and over HTTPS on a
// listener of its own when a certificate is given).
static void AddDashboardOptions(CLI::App& app, DashboardOptions& o) {
    const auto minutes = [](const std::string& name, int& into) {
        return [name, &into](const std::string& text) {
            const std::optional<std::int64_t> n = ParseInteger(text);
            if (!n || *n < 1 || *n > 24 * 60) {
                throw CLI::ValidationError(name, "wants minutes from 1 to 1440");
            }
            into = static_cast<int>(*n);
        };
    };
    app.add_option_function<std::string>(
           "--stale-minutes", minutes("--stale-minutes", o.staleMinutes),
           "mark a route with notes in progress that has not moved for N minutes (default 20)")
        ->type_name("N");
    app.add_option_function<std::string>(
           "--silent-minutes", minutes("--silent-minutes", o.silentMinutes),
           "mark a handheld without exchange for N minutes (default 120, the hold time)")
        ->type_name("N");
    app.add_option_function<std::string>(
           "--plan-hours",
           [&o](const std::string& text) {
               int from = -1, to = -1;
               char tail = 0;
               if (std::sscanf(text.c_str(), "%d-%d%c", &from, &to, &tail) != 2 || from < 0 ||
                   to > 24 || from >= to) {
                   throw CLI::ValidationError("--plan-hours",
                                              "wants FROM-TO in whole hours, for example 6-14");
               }
               o.planFrom = from;
               o.planTo = to;
           },
           "the hours in which the day's notes are planned to be done (default 6-14)")
        ->type_name("FROM-TO");
    app.add_option("--dashboard-users", o.usersFile,
                   "name:hash lines; beyond loopback the dashboard needs a login, and without "
                   "this file it is off")
        ->type_name("FILE");
    app.add_flag("--dashboard-plain-login", o.plainLogin,
                 "take logins over plain HTTP (only behind a reverse proxy that ends TLS)");
    CLI::Option* cert =
        app.add_option("--tls-cert", o.tlsCert, "serve the dashboard over HTTPS as well (PEM)")
            ->type_name("FILE");
    CLI::Option* key =
        app.add_option("--tls-key", o.tlsKey, "the certificate's key (PEM)")->type_name("FILE");
    cert->needs(key);
    key->needs(cert);
    app.add_option_function<std::string>(
           "--tls-listen",
           [&o](const std::string& listen) {
               if (!SplitListen(listen, o.tlsHost, o.tlsPort)) {
                   throw CLI::ValidationError("--tls-listen",
                                              "wants ADDR:PORT, for example 0.0.0.0:8443");
               }
           },
           "where HTTPS listens (default the --listen address, port 8443)")
        ->type_name("ADDR:PORT");
}

void AddServeOptions(CLI::App& app, ServeOptions& o) {
    AddDatabase(app, o.database);
    app.add_option_function<std::string>(
           "--listen",
           [&o](const std::string& listen) {
               if (!SplitListen(listen, o.host, o.port)) {
                   throw CLI::ValidationError("--listen",
                                              "wants ADDR:PORT, for example 127.0.0.1:8080");
               }
           },
           "where to listen (default 127.0.0.1:8080; port 0: any free port)")
        ->type_name("ADDR:PORT");
    app.add_option("--path", o.path, "the service path the handhelds use")
        ->type_name("NAME")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& path) {
                return path.empty() || path.find_first_of("/?#% ") != std::string::npos
                           ? "wants one path segment, for example qvrgenericwebservice"
                           : "";
            },
            "NAME"));
    app.add_option("--print-dir", o.printFolder,
                   "where printed documents go as PDF (default prints/ beside the database)")
        ->type_name("DIR");
    app.add_option("--print-command", o.printCommand,
                   "run for every PDF, with the file as last argument (for example \"lp -d "
                   "dock3\")")
        ->type_name("CMD");
    app.add_flag("--demo", o.demo,
                 "seed the demonstration warehouse into an empty database, and register any "
                 "handheld of a demonstration plant on first contact");
    app.add_option("--demo-day", o.today, "the day the demonstration is seeded around")
        ->type_name("YYYY-MM-DD")
        ->check(kDay);
    app.add_option("--port-file", o.portFile, "write the port to FILE once listening")
        ->type_name("FILE");
    app.add_flag("--full-sync", o.fullSync,
                 "wait for the disk on every commit (survives power loss; slower)");
    app.add_option("--db-connections", o.dbConnections,
                   "PostgreSQL: at most N connections of this instance to the database")
        ->type_name("N")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    app.add_flag("--quiet", o.quiet, "no exchange log");
    app.add_option("--backup-dir", o.backupFolder,
                   "take a backup into DIR every --backup-every, keeping --backup-keep")
        ->type_name("DIR");
    app.add_option_function<std::string>(
           "--backup-every",
           [&o](const std::string& text) {
               const auto every = ParseDuration(text);
               if (!every) {
                   throw CLI::ValidationError("--backup-every",
                                              "wants a duration such as 90s, 30m, 24h or 7d");
               }
               o.backupEvery = *every;
           },
           "time between scheduled backups (default 24h)")
        ->type_name("DURATION");
    app.add_option("--backup-keep", o.backupKeep, "scheduled backups kept (default 7)")
        ->type_name("N")
        ->check(CLI::Range(1, 10000));
    app.add_option("--keep-days", o.keepDays,
                   "prune routes delivered more than N days ago, at start and daily (default 0: "
                   "never)")
        ->type_name("N")
        ->check(CLI::Range(0, 100000));
    AddDashboardOptions(app, o.dashboard);
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                                   const std::string& version) {
    CommandLine line;
    CLI::App app("The reference back office of the Korvane handhelds: serves their "
                 "processRequest calls, imports the site's data from the ERP, exports what was "
                 "packed, backs up and prunes the database.",
                 "korvane-backoffice");
    app.set_version_flag("--version", "korvane-backoffice " + version);
    app.require_subcommand(1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    CLI::App* serve = app.add_subcommand(
        "serve", "answer the handhelds on http://ADDR:PORT/NAME/QVRGenericWebService (also what "
                 "a bare korvane-backoffice [options] does)");
    AddServeOptions(*serve, line.serve);
    std::string configFile;
    serve
        ->add_option("--config", configFile,
                     "read options from FILE: key = value lines named after the long options "
                     "(without --); the command line wins")
        ->type_name("FILE");
    serve->footer("One log line per exchange goes to standard error (logfmt). SIGTERM or SIGINT "
                  "stops the server after the exchanges in flight.");

    CLI::App* import = app.add_subcommand(
        "import", "import the ERP's CSV files (each kind recognised by its header row), all or "
                  "nothing");
    AddDatabase(*import, line.import.database);
    import->add_option("FILE", line.import.files, "CSV files, one kind each")->required();
    import->add_flag("--check", line.import.check, "check the files, write nothing");
    import
        ->add_option("--replace-day", line.import.replaceDay,
                     "the files hold the routes of this delivery day completely: remove what "
                     "they no longer name (except what a handheld worked on)")
        ->type_name("YYYY-MM-DD")
        ->check(kDay);
    import->add_flag("--quiet", line.import.quiet, "no progress line");

    CLI::App* exportDay =
        app.add_subcommand("export", "write what was packed on a delivery day, for the ERP");
    AddDatabase(*exportDay, line.exportDay.database);
    exportDay->add_option("--day", line.exportDay.day, "the delivery day")
        ->type_name("YYYY-MM-DD")
        ->required()
        ->check(kDay);
    exportDay->add_option("--plant", line.exportDay.plant, "one plant only")->type_name("CODE");
    exportDay->add_option("--format", line.exportDay.format, "csv or json")
        ->capture_default_str()
        ->check(CLI::IsMember({"csv", "json"}));
    exportDay->add_option("--out", line.exportDay.folder, "the folder for the files")
        ->type_name("DIR")
        ->capture_default_str();

    CLI::App* backup = app.add_subcommand(
        "backup", "copy the database consistently into FILE, also while serve runs");
    AddDatabase(*backup, line.backup.database);
    backup->add_option("FILE", line.backup.file, "the copy")->required();

    CLI::App* prune = app.add_subcommand(
        "prune", "remove routes delivered more than N days ago with their notes, lines, "
                 "containers, pool scans and print jobs (a route with a note in progress stays)");
    AddDatabase(*prune, line.prune.database);
    prune->add_option("--keep-days", line.prune.keepDays, "days kept before today")
        ->type_name("N")
        ->required()
        ->check(CLI::Range(0, 100000));
    prune->add_option("--today", line.prune.today, "count the days from this one (default today)")
        ->type_name("YYYY-MM-DD")
        ->check(kDay);

    CLI::App* hashPassword = app.add_subcommand(
        "hash-password", "read a password line on standard input and print its hash for the "
                         "dashboard's users file");

    // A bare call with options serves, as it always did.
    std::vector<std::string> args = arguments;
    const bool topLevel =
        !args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "--version");
    if (args.empty() || (args[0].rfind("-", 0) == 0 && !topLevel)) {
        args.insert(args.begin(), "serve");
    }

    ParsedCommandLine parsed;
    std::ostringstream out, err;
    try {
        if (args[0] == "serve") {
            // The file's settings go first, so what the command line says
            // again wins (the last value of an option counts).
            const std::vector<std::string> settings = ConfigArguments(args);
            args.insert(args.begin() + 1, settings.begin(), settings.end());
        }
        std::reverse(args.begin(), args.end()); // CLI11 takes them last first
        app.parse(args);
    } catch (const CLI::ParseError& error) {
        parsed.exitCode = app.exit(error, out, err);
        if (parsed.exitCode != 0) {
            parsed.exitCode = 2; // a usage error, as the shell's tools report it
        }
        parsed.output = out.str() + err.str();
        return parsed;
    }
    line.command = serve->parsed()          ? Command::Serve
                   : import->parsed()       ? Command::Import
                   : exportDay->parsed()    ? Command::Export
                   : backup->parsed()       ? Command::Backup
                   : hashPassword->parsed() ? Command::HashPassword
                                            : Command::Prune;
    parsed.options = line;
    return parsed;
}

} // namespace backoffice
