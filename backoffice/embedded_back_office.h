#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace backoffice {

// The reference back office inside the calling process, for tests: a
// temporary database seeded with the demonstration warehouse for a given day,
// a server on 127.0.0.1 at a free port, and read access to the database
// afterwards. Everything is removed when the object goes.
//
//   EmbeddedBackOffice office("2026-03-02");
//   doc.hostIp = "127.0.0.1"; doc.portNumber = QString::number(office.port());
//   ... work a route with the handheld's messages ...
//   office.scalar("SELECT status FROM notes WHERE number = ?", {"4310104"});
class EmbeddedBackOffice {
public:
    struct Options {
        // The day the demonstration data are seeded around ("YYYY-MM-DD");
        // empty: today on this machine.
        std::string today;
        bool seedDemo = true;
        // The handheld's WarPath; the server answers on /<path>/QVRGenericWebService.
        std::string servicePath = "qvrgenericwebservice";
        // Run with each printed PDF as its last argument; empty: PDFs only.
        std::string printCommand;
        // The time of changes and holds; empty: the real time.
        std::function<std::chrono::system_clock::time_point()> clock;
        // One line per exchange on standard error.
        bool log = false;
        // The supervisor's dashboard on the same listener (open: loopback).
        bool dashboard = true;
        // Empty: a temporary SQLite file. A postgresql:// URI: that database
        // (seeded when it is empty), left as it is afterwards.
        std::string database;
    };

    EmbeddedBackOffice();
    // The demonstration warehouse of `today`, everything else as by default.
    explicit EmbeddedBackOffice(const std::string& today);
    explicit EmbeddedBackOffice(Options options);
    ~EmbeddedBackOffice();
    EmbeddedBackOffice(const EmbeddedBackOffice&) = delete;
    EmbeddedBackOffice& operator=(const EmbeddedBackOffice&) = delete;

    std::string host() const { return "127.0.0.1"; }
    int port() const;
    const std::string& servicePath() const;
    // http://127.0.0.1:<port>/<path>/QVRGenericWebService
    std::string url() const;
    const std::string& today() const;
    const std::string& databasePath() const;
    const std::string& printFolder() const;

    // Stops serving after the exchanges in flight; the database stays
    // readable. Idempotent.
    void stop();

    // Runs one statement on a connection of its own, with the parameters
    // bound in order; every value as text (NULL as an empty text).
    std::vector<std::vector<std::string>>
    query(const std::string& sql, const std::vector<std::string>& parameters = {}) const;
    // The first value of the first row, or an empty text.
    std::string scalar(const std::string& sql,
                       const std::vector<std::string>& parameters = {}) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace backoffice
