#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace backoffice {

// The dashboard's users: one "name:hash" per line, the hash an Argon2id
// string as `korvane-backoffice hash-password` writes it; '#' starts a
// comment line.
struct UsersFile {
    std::map<std::string, std::string> hashes; // by name
    std::string error;                         // with the line number; empty: read
};
UsersFile ParseUsers(std::string_view text);
UsersFile ReadUsers(const std::string& path);

// An Argon2id hash of the password (interactive limits), "" on failure.
std::string HashPassword(std::string_view password);

// Logins and sessions in memory: a restart asks everyone to log in again.
// A name is locked for `lockTime` after `lockAfter` wrong passwords in a row,
// whether the name exists or not, so a lock says nothing about who exists.
class Logins {
public:
    enum class Outcome { Accepted, Refused, Locked };
    using Clock = std::chrono::steady_clock;

    struct Limits {
        int lockAfter = 5;
        std::chrono::seconds lockTime{15 * 60};
        std::chrono::seconds sessionLifetime{12 * 60 * 60};
    };

    Logins(std::map<std::string, std::string> hashes, Limits limits);

    // On Accepted, `session` receives a new session token.
    Outcome logIn(const std::string& name, std::string_view password, std::string& session,
                  Clock::time_point now = Clock::now());
    // The user of a valid session, or nullopt.
    std::optional<std::string> user(const std::string& session,
                                    Clock::time_point now = Clock::now());
    void logOut(const std::string& session);

private:
    struct Failures {
        int count = 0;
        Clock::time_point lockedUntil{};
    };
    struct Session {
        std::string user;
        Clock::time_point expires;
    };

    std::map<std::string, std::string> hashes_;
    std::string unknown_;
    Limits limits_;
    std::mutex mutex_;
    std::map<std::string, Failures> failures_;
    std::map<std::string, Session> sessions_;
    // One verification at a time: each takes tens of MiB, and a burst of
    // guesses must not take the machine's memory from the handhelds.
    std::mutex verifying_;
};

} // namespace backoffice
