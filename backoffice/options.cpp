#include "backoffice/options.h"

#include "backoffice/xml_text.h"

#include <cstdio>

namespace backoffice {

std::string Usage() {
    return R"(Usage: korvane-backoffice [options]

Answers the handhelds' processRequest calls on
http://ADDR:PORT/NAME/QVRGenericWebService and keeps the warehouse in SQLite.

  --db FILE             the database (created when missing; default korvane-backoffice.db)
  --listen ADDR:PORT    where to listen (default 127.0.0.1:8080; port 0: any free port)
  --path NAME           the service path the handhelds use (default qvrgenericwebservice)
  --print-dir DIR       where printed documents go as PDF (default prints/ beside the database)
  --print-command CMD   run for every PDF, with the file as last argument (for example "lp -d dock3")
  --demo                seed the demonstration warehouse into an empty database, and
                        register any handheld of a demonstration plant on first contact
  --demo-day YYYY-MM-DD the day the demonstration is seeded around (default today)
  --port-file FILE      write the port to FILE once listening
  --full-sync           wait for the disk on every commit (survives power loss; slower)
  --quiet               no exchange log
  --version             print the version and exit
  --help                print this help and exit

One log line per exchange goes to standard error (logfmt). SIGTERM or SIGINT
stops the server after the exchanges in flight.
)";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CommandLine options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size()) {
                parsed.error = argument + " needs a value";
                return false;
            }
            into = arguments[++i];
            return true;
        };
        std::string listen;
        if (argument == "--db") {
            if (!value(options.database)) {
                return parsed;
            }
        } else if (argument == "--listen") {
            if (!value(listen)) {
                return parsed;
            }
            const size_t colon = listen.rfind(':');
            const std::optional<std::int64_t> port =
                colon == std::string::npos ? std::nullopt : ParseInteger(listen.substr(colon + 1));
            if (!port || *port < 0 || *port > 65535 || colon == 0) {
                parsed.error = "--listen wants ADDR:PORT, for example 127.0.0.1:8080";
                return parsed;
            }
            options.host = listen.substr(0, colon);
            if (options.host.size() > 2 && options.host.front() == '[' &&
                options.host.back() == ']') {
                options.host = options.host.substr(1, options.host.size() - 2);
            }
            options.port = static_cast<int>(*port);
        } else if (argument == "--path") {
            if (!value(options.path)) {
                return parsed;
            }
            if (options.path.empty() || options.path.find_first_of("/?#% ") != std::string::npos) {
                parsed.error = "--path wants one path segment, for example qvrgenericwebservice";
                return parsed;
            }
        } else if (argument == "--print-dir") {
            if (!value(options.printFolder)) {
                return parsed;
            }
        } else if (argument == "--print-command") {
            if (!value(options.printCommand)) {
                return parsed;
            }
        } else if (argument == "--port-file") {
            if (!value(options.portFile)) {
                return parsed;
            }
        } else if (argument == "--demo-day") {
            if (!value(options.today)) {
                return parsed;
            }
            int y = 0, m = 0, d = 0;
            char tail = 0;
            if (std::sscanf(options.today.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 ||
                m < 1 || m > 12 || d < 1 || d > 31) {
                parsed.error = "--demo-day wants YYYY-MM-DD";
                return parsed;
            }
        } else if (argument == "--demo") {
            options.demo = true;
        } else if (argument == "--full-sync") {
            options.fullSync = true;
        } else if (argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else {
            parsed.error = "unknown option " + argument;
            return parsed;
        }
    }
    parsed.options = options;
    return parsed;
}

} // namespace backoffice
