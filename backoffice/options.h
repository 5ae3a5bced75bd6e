#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace backoffice {

// The command line of korvane-backoffice: a subcommand and its options. Each
// subcommand's options are added to the parser by one function, so a new
// option of `serve` goes into AddServeOptions and nowhere else.

struct DashboardOptions {
    std::string tlsCert;
    std::string tlsKey;
    std::string tlsHost; // empty: the handhelds' listening address
    int tlsPort = 8443;
    // "name:hash" lines; needed whenever the back office listens beyond
    // loopback, where nobody sees the pages without logging in.
    std::string usersFile;
    // A login over plain HTTP, for a site whose reverse proxy ends TLS.
    bool plainLogin = false;
    int staleMinutes = 20;   // a route with notes in progress that has not moved
    int silentMinutes = 120; // a handheld without exchange (the hold time)
    int planFrom = 6;        // the hours in which the day's notes are planned
    int planTo = 14;
    // Wrong passwords in a row before a name is locked, and for how long.
    int lockAfter = 5;
    int lockMinutes = 15;
};

struct ServeOptions {
    std::string database = "korvane-backoffice.db";
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string path = "qvrgenericwebservice";
    std::string printFolder; // empty: "prints" beside the database
    std::string printCommand;
    std::string portFile; // written with the port once listening
    std::string today;    // the demo day; empty: today
    bool demo = false;
    bool fullSync = false;
    int dbConnections = 8;
    bool quiet = false;
    // Upkeep while serving.
    std::string backupFolder; // empty: no scheduled backups
    std::chrono::seconds backupEvery{24 * 3600};
    int backupKeep = 7;
    int keepDays = 0; // 0: no pruning
    DashboardOptions dashboard;
};

struct ImportOptions {
    std::string database = "korvane-backoffice.db";
    std::vector<std::string> files;
    bool check = false;
    std::string replaceDay;
    bool quiet = false; // no progress line
};

struct ExportOptions {
    std::string database = "korvane-backoffice.db";
    std::string day;
    std::string plant;
    std::string format = "csv";
    std::string folder = ".";
};

struct BackupOptions {
    std::string database = "korvane-backoffice.db";
    std::string file;
};

struct PruneOptions {
    std::string database = "korvane-backoffice.db";
    int keepDays = 0;
    std::string today; // empty: today
};

enum class Command { Serve, Import, Export, Backup, Prune, HashPassword };

struct CommandLine {
    Command command = Command::Serve;
    ServeOptions serve;
    ImportOptions import;
    ExportOptions exportDay;
    BackupOptions backup;
    PruneOptions prune;
};

struct ParsedCommandLine {
    std::optional<CommandLine> options; // empty: stop with exitCode
    int exitCode = 0;
    std::string output; // help, version or the error, for the caller to print
};

// Arguments without the program name. Without a subcommand (nothing, or
// options first) the command is `serve`, as it always was.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                                   const std::string& version = "0");

void AddServeOptions(CLI::App& app, ServeOptions& options);

// "90s", "30m", "24h", "7d" (a bare number is seconds); nullopt when not one.
std::optional<std::chrono::seconds> ParseDuration(const std::string& text);
bool IsDay(const std::string& text); // YYYY-MM-DD, a real date

} // namespace backoffice
