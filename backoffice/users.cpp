#include "backoffice/users.h"

#include <fstream>
#include <sodium.h>
#include <sstream>

namespace backoffice {

namespace {

constexpr std::size_t kMaxUsers = 1000;
constexpr std::size_t kMaxTracked = 10000; // names with wrong passwords kept in memory
constexpr std::size_t kMaxSessions = 10000;
constexpr std::size_t kMaxPassword = 1024;

bool validName(std::string_view name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == '@';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::string randomHexPassword() {
    unsigned char bytes[16];
    char hex[sizeof bytes * 2 + 1];
    randombytes_buf(bytes, sizeof bytes);
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

} // namespace

UsersFile ParseUsers(std::string_view text) {
    UsersFile out;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t colon = line.find(':');
        const std::string where = "line " + std::to_string(number) + ": ";
        if (colon == std::string_view::npos) {
            out.error = where + "wants name:hash";
            return out;
        }
        const std::string name(line.substr(0, colon));
        const std::string hash(line.substr(colon + 1));
        if (!validName(name)) {
            out.error = where + "a name is 1 to 64 letters, digits, '.', '_', '-' or '@'";
            return out;
        }
        if (hash.rfind("$argon2id$", 0) != 0 || hash.size() >= crypto_pwhash_STRBYTES) {
            out.error = where + "the hash is no Argon2id hash (korvane-backoffice hash-password)";
            return out;
        }
        if (!out.hashes.emplace(name, hash).second) {
            out.error = where + "the user " + name + " is there twice";
            return out;
        }
        if (out.hashes.size() > kMaxUsers) {
            out.error = where + "more than " + std::to_string(kMaxUsers) + " users";
            return out;
        }
    }
    if (out.hashes.empty()) {
        out.error = "no user in the file";
    }
    return out;
}

UsersFile ReadUsers(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        UsersFile out;
        out.error = "cannot read " + path;
        return out;
    }
    std::ostringstream text;
    text << file.rdbuf();
    UsersFile out = ParseUsers(text.str());
    if (!out.error.empty()) {
        out.error = path + ": " + out.error;
    }
    return out;
}

std::string HashPassword(std::string_view password) {
    char hash[crypto_pwhash_STRBYTES];
    if (!sodiumReady() || password.size() > kMaxPassword ||
        crypto_pwhash_str(hash, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return {};
    }
    return hash;
}

Logins::Logins(std::map<std::string, std::string> hashes, Limits limits)
    : hashes_(std::move(hashes)), limits_(limits) {
    sodiumReady();
    // An unknown name is checked against this, so that the time of the
    // answer does not tell which names exist.
    unknown_ = HashPassword(randomHexPassword());
}

Logins::Outcome Logins::logIn(const std::string& name, std::string_view password,
                              std::string& session, Clock::time_point now) {
    {
        std::lock_guard lock(mutex_);
        const auto failed = failures_.find(name);
        if (failed != failures_.end() && failed->second.lockedUntil > now) {
            return Outcome::Locked;
        }
    }
    bool right = false;
    const auto known = hashes_.find(name);
    const std::string& hash = known != hashes_.end() ? known->second : unknown_;
    if (!hash.empty() && password.size() <= kMaxPassword && sodiumReady()) {
        std::lock_guard verifying(verifying_);
        right = crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0 &&
                known != hashes_.end();
    }
    std::lock_guard lock(mutex_);
    if (!right) {
        if (failures_.size() >= kMaxTracked && !failures_.count(name)) {
            failures_.clear(); // a flood of invented names: forget them rather than grow
        }
        Failures& f = failures_[name];
        if (++f.count >= limits_.lockAfter) {
            f.count = 0;
            f.lockedUntil = now + limits_.lockTime;
            return Outcome::Locked;
        }
        return Outcome::Refused;
    }
    failures_.erase(name);
    if (sessions_.size() >= kMaxSessions) {
        for (auto it = sessions_.begin(); it != sessions_.end();) {
            it = it->second.expires <= now ? sessions_.erase(it) : std::next(it);
        }
        if (sessions_.size() >= kMaxSessions) {
            sessions_.erase(sessions_.begin());
        }
    }
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    char hex[sizeof bytes * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    session = hex;
    sessions_[session] = {name, now + limits_.sessionLifetime};
    return Outcome::Accepted;
}

std::optional<std::string> Logins::user(const std::string& session, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(session);
    if (found == sessions_.end()) {
        return std::nullopt;
    }
    if (found->second.expires <= now) {
        sessions_.erase(found);
        return std::nullopt;
    }
    return found->second.user;
}

void Logins::logOut(const std::string& session) {
    std::lock_guard lock(mutex_);
    sessions_.erase(session);
}

} // namespace backoffice
