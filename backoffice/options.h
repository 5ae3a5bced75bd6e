#pragma once

#include <optional>
#include <string>
#include <vector>

namespace backoffice {

// The command line of korvane-backoffice.
struct CommandLine {
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
    bool quiet = false;
    bool version = false;
    bool help = false;
};

struct ParsedCommandLine {
    std::optional<CommandLine> options;
    std::string error;
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);
std::string Usage();

} // namespace backoffice
