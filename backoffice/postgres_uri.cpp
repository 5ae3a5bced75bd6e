#include "backoffice/postgres_store.h"

#include <algorithm>
#include <cctype>

namespace backoffice {

namespace {

// %XX as the byte it stands for; anything else as it is.
std::string PercentDecoded(const std::string& text) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

bool IsPostgresUri(const std::string& database) {
    return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

std::string PostgresUriProblem(const std::string& uri) {
    if (!IsPostgresUri(uri)) {
        return "a PostgreSQL database is given as postgresql://user@host:port/dbname";
    }
    const std::string rest = uri.substr(uri.find("://") + 3);
    const std::string authority = rest.substr(0, rest.find_first_of("/?"));
    const size_t at = authority.rfind('@');
    const bool passwordInUser =
        at != std::string::npos && authority.substr(0, at).find(':') != std::string::npos;
    // Parameters: ?a=b&password=c, in any case, and percent-encoded as
    // libpq reads them (?pass%77ord=c is a password too).
    bool passwordParameter = false;
    const size_t query = rest.find('?');
    if (query != std::string::npos) {
        std::string parameters = "&" + PercentDecoded(rest.substr(query + 1));
        std::transform(parameters.begin(), parameters.end(), parameters.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        passwordParameter = parameters.find("&password=") != std::string::npos;
    }
    if (passwordInUser || passwordParameter) {
        return "the database URI carries a password: put it in ~/.pgpass (or the file "
               "PGPASSFILE names) and give the URI without it";
    }
    return "";
}

} // namespace backoffice
