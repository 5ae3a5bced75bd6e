#include "backoffice/dashboard.h"

#include "backoffice/dashboard_assets.h"
#include "backoffice/demo_data.h"
#include "backoffice/handlers.h"
#include "backoffice/server.h"
#include "backoffice/soap.h"
#include "backoffice/users.h"
#include "backoffice/xml_text.h"

#include <arpa/inet.h>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <httplib.h>
#include <iostream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace backoffice {

namespace {

// Scripts, styles, pictures and fetches from the back office itself only,
// no inline script or style, no framing.
const char* const kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'";
const char* const kJson = "application/json; charset=utf-8";
const char* const kCookie = "korvane_session";
constexpr std::uintmax_t kMaxPdf = 32 * 1024 * 1024;

// A small JSON writer: members and elements in order, commas by itself.
class Json {
public:
    Json& open(char bracket) {
        comma();
        out_ += bracket;
        first_ = true;
        return *this;
    }
    Json& close(char bracket) {
        out_ += bracket;
        first_ = false;
        return *this;
    }
    Json& key(std::string_view name) {
        comma();
        out_ += JsonString(name);
        out_ += ':';
        first_ = true;
        return *this;
    }
    Json& value(std::string_view text) {
        comma();
        out_ += JsonString(text);
        return *this;
    }
    Json& value(const char* text) { return value(std::string_view(text)); }
    Json& value(std::int64_t number) {
        comma();
        out_ += std::to_string(number);
        return *this;
    }
    Json& value(int number) { return value(static_cast<std::int64_t>(number)); }
    Json& value(bool flag) {
        comma();
        out_ += flag ? "true" : "false";
        return *this;
    }
    Json& null() {
        comma();
        out_ += "null";
        return *this;
    }
    template <typename T> Json& member(std::string_view name, const T& v) {
        key(name);
        return value(v);
    }
    Json& time(std::string_view name, const std::string& iso) {
        key(name);
        return iso.empty() ? null() : value(iso);
    }
    std::string take() { return std::move(out_); }

private:
    void comma() {
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
    }
    std::string out_;
    bool first_ = true;
};

void plantMembers(Json& j, const DashboardPlant& plant) {
    j.key("plant").open('{');
    j.member("code", plant.code).member("name", plant.name).member("language", plant.language);
    j.close('}');
}

const char* stateName(NoteStatus status) {
    switch (status) {
    case NoteStatus::New:
        return "new";
    case NoteStatus::InProgress:
        return "inProgress";
    case NoteStatus::Done:
        return "done";
    }
    return "new";
}

void routeObject(Json& j, const DashboardRoute& r, TimePoint now, int staleMinutes) {
    j.open('{');
    j.member("id", static_cast<std::int64_t>(r.id))
        .member("number", r.number)
        .member("description", r.description)
        .member("new", r.newNotes)
        .member("inProgress", r.inProgress)
        .member("done", r.done)
        .time("lastActivity", r.lastActivity)
        .member("stale", RouteStale(r, now, staleMinutes));
    j.close('}');
}

std::string cookieValue(const httplib::Request& request, const std::string& name) {
    const std::string header = request.get_header_value("Cookie");
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find(';', at);
        if (end == std::string::npos) {
            end = header.size();
        }
        std::string pair = header.substr(at, end - at);
        const size_t start = pair.find_first_not_of(' ');
        pair = start == std::string::npos ? "" : pair.substr(start);
        if (pair.rfind(name + "=", 0) == 0) {
            return pair.substr(name.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

std::string randomHex(size_t bytes) {
    std::random_device device;
    std::string out;
    char digit[3];
    for (size_t i = 0; i < bytes; ++i) {
        std::snprintf(digit, sizeof digit, "%02x", device() & 0xFF);
        out += digit;
    }
    return out;
}

// The login page's few words, in the language the browser prefers.
struct LoginTexts {
    const char* lang;
    const char* title;
    const char* user;
    const char* password;
    const char* submit;
    const char* refused;
    const char* locked;
    const char* needsTls;
};
const LoginTexts kLoginTexts[] = {
    {"en", "Supervisor dashboard", "User", "Password", "Log in", "Wrong user or password.",
     "Too many wrong passwords: try again later.",
     "Log in over HTTPS; this address does not take a password in clear text."},
    {"de", "Leitstand", "Benutzer", "Passwort", "Anmelden", "Benutzer oder Passwort falsch.",
     "Zu viele falsche Passw\xC3\xB6rter: bitte sp\xC3\xA4ter erneut versuchen.",
     "Bitte \xC3\xBC"
     "ber HTTPS anmelden; diese Adresse nimmt kein Passwort im Klartext an."},
    {"nl", "Dashboard", "Gebruiker", "Wachtwoord", "Aanmelden",
     "Verkeerde gebruiker of wachtwoord.", "Te vaak een verkeerd wachtwoord: probeer het later.",
     "Meld u aan via HTTPS; dit adres neemt geen wachtwoord in leesbare tekst aan."},
};

const LoginTexts& loginTexts(const httplib::Request& request) {
    std::string lang = request.get_param_value("lang");
    if (lang.empty()) {
        lang = request.get_header_value("Accept-Language").substr(0, 2);
    }
    for (const LoginTexts& t : kLoginTexts) {
        if (lang == t.lang) {
            return t;
        }
    }
    return kLoginTexts[0];
}

} // namespace

// ---------------------------------------------------------------------------
// Command line

int HashPasswordCommand(std::istream& in, std::ostream& out, std::ostream& err) {
    std::string password;
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    if (password.empty()) {
        err << "korvane-backoffice: give the password on standard input\n";
        return 2;
    }
    const std::string hash = HashPassword(password);
    if (hash.empty()) {
        err << "korvane-backoffice: the password could not be hashed\n";
        return 1;
    }
    out << hash << '\n';
    return 0;
}

// ---------------------------------------------------------------------------
// Plain functions

bool LoopbackHost(const std::string& host) {
    in_addr address{};
    // An address, not a name that starts like one ("127.0.0.1.example.org").
    return host == "localhost" || host == "::1" ||
           (inet_pton(AF_INET, host.c_str(), &address) == 1 &&
            (ntohl(address.s_addr) >> 24) == 127);
}

std::string HostName(const std::string& hostHeader) {
    if (hostHeader.empty()) {
        return "localhost"; // an HTTP/1.0 client on this machine names none
    }
    if (hostHeader.front() == '[') {
        const size_t close = hostHeader.find(']');
        return close == std::string::npos ? std::string() : hostHeader.substr(1, close - 1);
    }
    return hostHeader.substr(0, hostHeader.find(':'));
}

std::optional<TimePoint> ParseIsoUtc(const std::string& text) {
    std::tm tm{};
    int millis = 0;
    char zone = 0;
    if (text.size() < 20) {
        return std::nullopt;
    }
    int fields = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &tm.tm_year, &tm.tm_mon,
                             &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec);
    if (fields != 6) {
        return std::nullopt;
    }
    const char* rest = text.c_str() + 19;
    if (*rest == '.') {
        if (std::sscanf(rest, ".%3d%c", &millis, &zone) != 2) {
            return std::nullopt;
        }
    } else {
        zone = *rest;
    }
    if (zone != 'Z') {
        return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t seconds = timegm(&tm);
    return std::chrono::system_clock::from_time_t(seconds) + std::chrono::milliseconds(millis);
}

bool RouteStale(const DashboardRoute& route, TimePoint now, int staleMinutes) {
    if (route.inProgress == 0) {
        return false;
    }
    const std::optional<TimePoint> last = ParseIsoUtc(route.lastActivity);
    // Notes in progress and no move recorded at all: nobody is on it either.
    return !last || now - *last > std::chrono::minutes(staleMinutes);
}

std::string PlantsJson(const std::vector<DashboardPlant>& plants) {
    Json j;
    j.open('{').key("plants").open('[');
    for (const DashboardPlant& p : plants) {
        j.open('{')
            .member("code", p.code)
            .member("name", p.name)
            .member("language", p.language)
            .close('}');
    }
    return j.close(']').close('}').take();
}

std::string RoutesJson(const DashboardPlant& plant, const std::string& day,
                       const std::vector<Department>& departments,
                       const std::vector<DashboardRoute>& routes, TimePoint now, int staleMinutes) {
    Json j;
    j.open('{');
    plantMembers(j, plant);
    j.member("day", day).member("now", IsoTime(now)).member("staleMinutes", staleMinutes);
    j.key("departments").open('[');
    for (const Department& d : departments) {
        j.open('{')
            .member("number", d.number)
            .member("code", d.code)
            .member("description", d.description);
        j.key("routes").open('[');
        for (const DashboardRoute& r : routes) {
            if (r.departmentId == d.id) {
                routeObject(j, r, now, staleMinutes);
            }
        }
        j.close(']').close('}');
    }
    return j.close(']').close('}').take();
}

std::string NotesJson(const DashboardPlant& plant, const DashboardRoute& route,
                      const std::vector<DashboardNote>& notes, TimePoint now, int staleMinutes) {
    Json j;
    j.open('{');
    plantMembers(j, plant);
    j.member("day", route.day).member("now", IsoTime(now));
    j.key("route");
    routeObject(j, route, now, staleMinutes);
    j.key("notes").open('[');
    for (const DashboardNote& n : notes) {
        j.open('{')
            .member("number", n.number)
            .member("customer", n.customer)
            .member("stop", n.stop)
            .member("state", stateName(n.status))
            .member("colli", n.colli);
        j.key("heldBy");
        if (n.heldBy.empty()) {
            j.null();
        } else {
            j.value(n.heldBy);
        }
        j.key("employee");
        if (n.employee.empty() || n.heldBy.empty()) {
            j.null();
        } else {
            j.value(n.employee);
        }
        j.time("heldFrom", n.heldBy.empty() ? std::string() : n.heldFrom)
            .time("doneAt", n.doneAt)
            .time("printedAt", n.printJob ? n.printedAt : std::string());
        j.key("pdf");
        if (n.printJob) {
            j.value("/dashboard/pdf?plant=" + httplib::detail::encode_query_param(plant.code) +
                    "&job=" + std::to_string(*n.printJob));
        } else {
            j.null();
        }
        j.key("containers").open('[');
        for (const std::string& c : n.containers) {
            j.value(c);
        }
        j.close(']');
        j.key("lines").open('[');
        for (const DashboardLine& l : n.lines) {
            j.open('{')
                .member("position", l.position)
                .member("product", l.productCode)
                .member("description", l.description)
                .member("ordered", l.ordered)
                .member("delivered", l.delivered)
                .member("difference", l.delivered - l.ordered)
                .close('}');
        }
        j.close(']').close('}');
    }
    return j.close(']').close('}').take();
}

std::string HandheldsJson(const DashboardPlant& plant, const std::vector<DashboardHandheld>& list,
                          TimePoint now, int silentMinutes) {
    Json j;
    j.open('{');
    plantMembers(j, plant);
    j.member("now", IsoTime(now)).member("silentMinutes", silentMinutes);
    j.key("handhelds").open('[');
    for (const DashboardHandheld& h : list) {
        const std::optional<TimePoint> last = ParseIsoUtc(h.lastExchange);
        j.open('{').member("code", h.code).time("lastExchange", h.lastExchange);
        j.key("lastFunction");
        h.lastFunction.empty() ? j.null() : j.value(h.lastFunction);
        j.key("employee");
        h.employee.empty() ? j.null() : j.value(h.employee);
        j.key("note");
        h.note.empty() ? j.null() : j.value(h.note);
        j.member("silent", !last || now - *last > std::chrono::minutes(silentMinutes));
        j.close('}');
    }
    return j.close(']').close('}').take();
}

std::string ScansJson(const DashboardPlant& plant, const std::string& day, const HourlyScans& scans,
                      int planFrom, int planTo) {
    Json j;
    j.open('{');
    plantMembers(j, plant);
    j.member("day", day).member("notes", scans.notes);
    j.member("planFrom", planFrom).member("planTo", planTo);
    j.key("hours").open('[');
    int doneSoFar = 0;
    for (int h = 0; h < 24; ++h) {
        doneSoFar += scans.notesDone[h];
        // The plan: the day's notes evenly over the planned hours, counted
        // as done by the end of each hour.
        const double share =
            std::clamp(static_cast<double>(h + 1 - planFrom) / (planTo - planFrom), 0.0, 1.0);
        j.open('{')
            .member("hour", h)
            .member("containers", scans.containers[h])
            .member("poolItems", scans.poolItems[h])
            .member("quantities", scans.quantities[h])
            .member("notesDone", scans.notesDone[h])
            .member("doneSoFar", doneSoFar)
            .member("plannedSoFar", static_cast<int>(std::lround(share * scans.notes)))
            .close('}');
    }
    return j.close(']').close('}').take();
}

std::string ShowLogout(std::string page) {
    const std::size_t form = page.find("<form id=\"logout\"");
    const std::size_t end = page.find('>', form);
    const std::size_t hidden = page.find(" hidden", form);
    if (form != std::string::npos && hidden < end) {
        page.erase(hidden, 7);
    }
    return page;
}

// ---------------------------------------------------------------------------
// The server side

class Dashboard::Routes {
public:
    explicit Routes(Dashboard& dashboard) : d_(dashboard) {}

    void add(httplib::Server& http, bool tls) {
        const auto page = [this, tls](const httplib::Request& in, httplib::Response& out) {
            secure(out);
            if (!allowed(in, out, tls, false)) {
                return;
            }
            serveAsset("index.html", out);
            if (d_.loginNeeded_) { // so whoever sees the page here is logged in
                out.body = ShowLogout(std::move(out.body));
            }
        };
        for (const char* path : {"/dashboard", "/dashboard/", "/dashboard/route",
                                 "/dashboard/handhelds", "/dashboard/scans"}) {
            http.Get(path, page);
        }
        http.Get(R"(/dashboard/assets/([a-z0-9.\-]+))",
                 [this](const httplib::Request& in, httplib::Response& out) {
                     secure(out);
                     // Assets hold no data: the login page needs its style too.
                     if (!serveAsset(in.matches[1].str(), out)) {
                         out.status = 404;
                     }
                 });
        http.Get(R"(/api/v1/([a-z]+))",
                 [this, tls](const httplib::Request& in, httplib::Response& out) {
                     secure(out);
                     out.set_header("Cache-Control", "no-store");
                     if (!allowed(in, out, tls, true)) {
                         return;
                     }
                     std::map<std::string, std::string> params;
                     for (const auto& [name, value] : in.params) {
                         params.emplace(name, value);
                     }
                     const Answer answer = d_.poll(in.matches[1].str(), params);
                     if (answer.reply.status == 200) {
                         out.set_header("ETag", answer.etag);
                         // Unchanged since the page's last poll: no body.
                         if (in.get_header_value("If-None-Match") == answer.etag) {
                             out.status = 304;
                             return;
                         }
                     }
                     out.status = answer.reply.status;
                     out.set_content(answer.reply.body, kJson);
                 });
        http.Get("/dashboard/pdf", [this, tls](const httplib::Request& in, httplib::Response& out) {
            out.set_header("X-Content-Type-Options", "nosniff");
            out.set_header("Connection", "close");
            if (!allowed(in, out, tls, false)) {
                return;
            }
            servePdf(in, out);
        });
        http.Get("/dashboard/login",
                 [this, tls](const httplib::Request& in, httplib::Response& out) {
                     secure(out);
                     if (!d_.enabled_) {
                         off(out);
                         return;
                     }
                     loginPage(in, out, tls, in.get_param_value("error"));
                 });
        http.Post("/dashboard/login",
                  [this, tls](const httplib::Request& in, httplib::Response& out) {
                      secure(out);
                      logIn(in, out, tls);
                  });
        http.Post("/dashboard/logout", [this](const httplib::Request& in, httplib::Response& out) {
            secure(out);
            if (d_.logins_) {
                d_.logins_->logOut(cookieValue(in, kCookie));
            }
            out.status = 303;
            out.set_header("Location", std::string("/dashboard/login?lang=") + loginTexts(in).lang);
            out.set_header("Set-Cookie", std::string(kCookie) + "=; Path=/; Max-Age=0; HttpOnly; "
                                                                "SameSite=Strict");
        });
    }

    std::unique_ptr<httplib::SSLServer> tls;

private:
    // Every answer: the policy, no sniffing, no framing, and the connection
    // closed, so that an open dashboard never holds one of the workers the
    // handhelds' kept-alive connections need.
    static void secure(httplib::Response& out) {
        out.set_header("Content-Security-Policy", kPolicy);
        out.set_header("X-Content-Type-Options", "nosniff");
        out.set_header("X-Frame-Options", "DENY");
        out.set_header("Referrer-Policy", "no-referrer");
        out.set_header("Connection", "close");
    }

    static void off(httplib::Response& out) {
        out.status = 404;
        out.set_content("The dashboard is off: this back office listens beyond loopback and has "
                        "no --dashboard-users file.\n",
                        "text/plain; charset=utf-8");
    }

    bool allowed(const httplib::Request& in, httplib::Response& out, bool tls, bool api) {
        if (!d_.enabled_) {
            off(out);
            return false;
        }
        if (!d_.loginNeeded_) {
            // Open on loopback, but only under a loopback name: a page of
            // another site whose name it pointed at 127.0.0.1 must not read it.
            if (!LoopbackHost(HostName(in.get_header_value("Host")))) {
                out.status = 403;
                out.set_content("Open the dashboard as 127.0.0.1 or localhost.\n",
                                "text/plain; charset=utf-8");
                return false;
            }
            return true;
        }
        // Without TLS a session cookie travels in clear text, as a password would.
        if ((tls || d_.options_.plainLogin) && d_.logins_->user(cookieValue(in, kCookie))) {
            return true;
        }
        if (api) {
            out.status = 401;
            out.set_content("{\"error\":\"log in first\"}", kJson);
        } else {
            out.status = 303;
            out.set_header("Location", "/dashboard/login");
        }
        return false;
    }

    bool serveAsset(const std::string& name, httplib::Response& out) {
        for (const DashboardAsset& asset : DashboardAssets()) {
            if (name == asset.name) {
                out.set_content(std::string(reinterpret_cast<const char*>(asset.data), asset.size),
                                asset.type);
                return true;
            }
        }
        return false;
    }

    void servePdf(const httplib::Request& in, httplib::Response& out) {
        out.status = 404;
        const std::optional<std::int64_t> job = ParseInteger(in.get_param_value("job"));
        std::optional<DashboardPlant> plant;
        for (const DashboardPlant& p : d_.queries_.plants()) {
            if (p.code == in.get_param_value("plant")) {
                plant = p;
            }
        }
        if (!job || !plant) {
            return;
        }
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path file = fs::weakly_canonical(d_.queries_.printFile(plant->id, *job), error);
        const fs::path folder = fs::weakly_canonical(d_.printFolder_, error);
        // Only what the printer wrote into its folder, whatever a record says.
        const auto [end, _] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
        if (error || file.empty() || end != folder.end() || file.extension() != ".pdf" ||
            !fs::is_regular_file(file, error) || fs::file_size(file, error) > kMaxPdf) {
            return;
        }
        std::ifstream stream(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << stream.rdbuf();
        out.status = 200;
        out.set_header("Content-Disposition",
                       "inline; filename=\"" + file.filename().string() + "\"");
        out.set_content(bytes.str(), "application/pdf");
    }

    void loginPage(const httplib::Request& in, httplib::Response& out, bool tls,
                   const std::string& error) {
        const LoginTexts& t = loginTexts(in);
        std::string html = std::string("<!DOCTYPE html><html lang=\"") + t.lang +
                           "\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
                           "content=\"width=device-width\"><title>" +
                           t.title +
                           "</title><link rel=\"stylesheet\" href=\"/dashboard/assets/app.css\">"
                           "</head><body class=\"login\"><main><h1>" +
                           t.title + "</h1>";
        const bool canLogIn = tls || d_.options_.plainLogin || !d_.loginNeeded_;
        if (!canLogIn) {
            html += "<p class=\"error\" id=\"needs-tls\">" + std::string(t.needsTls) + "</p>";
            if (d_.tlsPort_ > 0) {
                html += "<p>HTTPS: " + std::to_string(d_.tlsPort_) + "</p>";
            }
        } else {
            if (error == "refused") {
                html += std::string("<p class=\"error\" id=\"error\">") + t.refused + "</p>";
            } else if (error == "locked") {
                html += std::string("<p class=\"error\" id=\"error\">") + t.locked + "</p>";
            }
            html += std::string("<form method=\"post\" action=\"/dashboard/login\">"
                                "<label>") +
                    t.user +
                    "<input name=\"user\" id=\"user\" autocomplete=\"username\" required></label>"
                    "<label>" +
                    t.password +
                    "<input name=\"password\" id=\"password\" type=\"password\" "
                    "autocomplete=\"current-password\" required></label>"
                    "<input type=\"hidden\" name=\"lang\" value=\"" +
                    t.lang + "\"><button type=\"submit\" id=\"login\">" + t.submit +
                    "</button></form>";
        }
        html += "</main></body></html>";
        out.set_header("Cache-Control", "no-store");
        out.set_content(html, "text/html; charset=utf-8");
    }

    void logIn(const httplib::Request& in, httplib::Response& out, bool tls) {
        if (!d_.enabled_) {
            off(out);
            return;
        }
        const std::string lang = std::string("&lang=") + loginTexts(in).lang;
        if (!d_.loginNeeded_) {
            out.status = 303;
            out.set_header("Location", "/dashboard");
            return;
        }
        if (!tls && !d_.options_.plainLogin) {
            // The password has travelled already; at least it is not checked,
            // so a guess over plain HTTP learns nothing.
            out.status = 403;
            loginPage(in, out, tls, "");
            return;
        }
        std::string session;
        const Logins::Outcome outcome =
            d_.logins_->logIn(in.get_param_value("user"), in.get_param_value("password"), session);
        out.status = 303;
        switch (outcome) {
        case Logins::Outcome::Accepted:
            out.set_header("Location", "/dashboard");
            out.set_header("Set-Cookie", std::string(kCookie) + "=" + session +
                                             "; Path=/; HttpOnly; SameSite=Strict" +
                                             (tls ? "; Secure" : ""));
            d_.log_("event=dashboard-login user=" + in.get_param_value("user") +
                    " remote=" + in.remote_addr);
            break;
        case Logins::Outcome::Refused:
            out.set_header("Location", "/dashboard/login?error=refused" + lang);
            break;
        case Logins::Outcome::Locked:
            out.set_header("Location", "/dashboard/login?error=locked" + lang);
            d_.log_("event=dashboard-locked remote=" + in.remote_addr);
            break;
        }
    }

    Dashboard& d_;
};

Dashboard::Dashboard(DashboardQueries& queries, DashboardOptions options, std::string serveHost,
                     std::string printFolder, Log log)
    : queries_(queries), options_(std::move(options)), serveHost_(std::move(serveHost)),
      printFolder_(std::move(printFolder)), log_(log ? std::move(log) : [](const std::string&) {}),
      routes_(std::make_unique<Routes>(*this)), boot_(randomHex(6)) {
    loginNeeded_ = !LoopbackHost(serveHost_);
    if (!options_.usersFile.empty()) {
        UsersFile users = ReadUsers(options_.usersFile);
        if (!users.error.empty()) {
            error_ = users.error;
            return;
        }
        Logins::Limits limits;
        limits.lockAfter = options_.lockAfter;
        limits.lockTime = std::chrono::minutes(options_.lockMinutes);
        logins_ = std::make_unique<Logins>(std::move(users.hashes), limits);
    }
    if (loginNeeded_ && !logins_) {
        enabled_ = false;
        log_("event=dashboard-off reason=\"listening beyond loopback without "
             "--dashboard-users\"");
    }
    if (!options_.tlsCert.empty()) {
        routes_->tls =
            std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
        if (!routes_->tls->is_valid()) {
            error_ = "cannot use the certificate " + options_.tlsCert + " with the key " +
                     options_.tlsKey;
            routes_->tls.reset();
            return;
        }
        routes_->tls->new_task_queue = [] { return new httplib::ThreadPool(8); };
        routes_->tls->set_read_timeout(std::chrono::seconds(5));
        routes_->tls->set_write_timeout(std::chrono::seconds(5));
        routes_->tls->set_keep_alive_timeout(2);
        routes_->add(*routes_->tls, true);
    }
    activityWriter_ = std::thread([this] { flushActivity(); });
    answerer_ = std::thread([this] { answerLoop(); });
}

Dashboard::~Dashboard() {
    stop();
}

void Dashboard::attach(ServerOptions& server) {
    connectionLifetime_ = server.connectionLifetime;
    server.routes = [this](httplib::Server& http) { routes_->add(http, false); };
    server.exchanged = [this](const SoapCall& call, const ExchangeResult& result) {
        if (!result.device) {
            return;
        }
        std::optional<Id> employee;
        if (const pugi::xml_node root = call.requestRoot()) {
            employee = ParseInteger(root.child("Employee_ID").child_value());
        }
        exchanged(*result.device, call.functionCode, employee);
    };
}

bool Dashboard::start() {
    if (!routes_->tls) {
        return true;
    }
    const std::string host = options_.tlsHost.empty() ? serveHost_ : options_.tlsHost;
    tlsPort_ = options_.tlsPort == 0
                   ? routes_->tls->bind_to_any_port(host)
                   : (routes_->tls->bind_to_port(host, options_.tlsPort) ? options_.tlsPort : -1);
    if (tlsPort_ <= 0) {
        error_ = "cannot listen for HTTPS on " + host + ":" + std::to_string(options_.tlsPort);
        return false;
    }
    tlsWatchdog_ = std::make_unique<ConnectionWatchdog>(tlsPort_, connectionLifetime_);
    tlsRunner_ = std::thread([this] { routes_->tls->listen_after_bind(); });
    for (int i = 0; i < 5000 && !routes_->tls->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    log_("event=dashboard-tls url=https://" + host + ":" + std::to_string(tlsPort_) + "/dashboard");
    return true;
}

void Dashboard::stop() {
    if (routes_->tls) {
        routes_->tls->stop();
    }
    if (tlsRunner_.joinable()) {
        tlsRunner_.join();
    }
    tlsWatchdog_.reset(); // only now: it cuts what would hold up the listener's stop
    {
        std::lock_guard lock(activityMutex_);
        stopping_ = true;
    }
    activityWanted_.notify_all();
    if (activityWriter_.joinable()) {
        activityWriter_.join();
    }
    {
        std::lock_guard lock(answerMutex_);
        answerStopping_ = true;
    }
    answerWanted_.notify_all();
    if (answerer_.joinable()) {
        answerer_.join();
    }
}

void Dashboard::exchanged(Id device, const std::string& function, std::optional<Id> employee) {
    {
        std::lock_guard lock(activityMutex_);
        HandheldActivity& a = pendingActivity_[device];
        a.device = device;
        a.at = IsoTime(std::chrono::system_clock::now());
        a.function = function;
        if (employee) {
            a.employee = employee;
        }
    }
    changes_.changed();
    activityWanted_.notify_all();
}

// The handhelds' last exchanges go to the database at most twice a second,
// all in one write, so that a busy floor costs the writer nothing it notices.
void Dashboard::flushActivity() {
    std::unique_lock lock(activityMutex_);
    for (;;) {
        activityWanted_.wait(lock, [this] { return stopping_ || !pendingActivity_.empty(); });
        const bool last = stopping_;
        std::vector<HandheldActivity> batch;
        for (auto& [_, a] : pendingActivity_) {
            batch.push_back(std::move(a));
        }
        pendingActivity_.clear();
        lock.unlock();
        try {
            queries_.saveActivity(batch);
            changes_.changed();
        } catch (const std::exception& error) {
            log_(std::string("event=dashboard-activity-lost error=\"") + error.what() + "\"");
        }
        if (last) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        lock.lock();
    }
}

// Changes this process did not make (another instance on the same database)
// reach the pages through the database's marker, asked for no more often
// than this process's own changes are published.
std::uint64_t Dashboard::databaseMarker(std::chrono::steady_clock::time_point now) {
    std::lock_guard lock(markerMutex_);
    if (!markerAt_ || now - *markerAt_ >= kShared) {
        markerAt_ = now;
        try {
            marker_ = std::max(marker_, queries_.changeMarker());
            markerError_.clear();
        } catch (const std::exception& error) {
            // The pages' own query will say what is wrong; keep the last
            // marker, and say so once, not twice a second.
            if (markerError_ != error.what()) {
                markerError_ = error.what();
                log_("event=dashboard-marker-failed error=\"" + markerError_ + "\"");
            }
        }
    }
    return marker_;
}

std::string AnswerKey(const std::string& endpoint,
                      const std::map<std::string, std::string>& params) {
    // Lengths before texts: no value can pass for another parameter.
    std::string key = std::to_string(endpoint.size()) + ':' + endpoint;
    for (const char* name : {"plant", "day", "route"}) {
        const auto found = params.find(name);
        key += found == params.end() ? std::string("-")
                                     : std::to_string(found->second.size()) + ':' + found->second;
    }
    return key;
}

Dashboard::Answer Dashboard::poll(const std::string& endpoint,
                                  const std::map<std::string, std::string>& params,
                                  std::chrono::steady_clock::time_point now) {
    // Read before the query runs: the answer shows at least this version.
    const DataVersion version{changes_.published(now),
                              std::chrono::duration_cast<std::chrono::minutes>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count(),
                              databaseMarker(now)};
    return answers_.get(AnswerKey(endpoint, params), version, [&] {
        Answer answer;
        answer.reply = answerAside(endpoint, params);
        answer.etag = "\"" + boot_ + "-" + std::to_string(version.changes) + "-" +
                      std::to_string(version.minute) + "-" + std::to_string(version.database) +
                      "\"";
        return answer;
    });
}

Dashboard::Reply Dashboard::answerAside(const std::string& endpoint,
                                        const std::map<std::string, std::string>& params) {
    // Shared with the job: the answering thread may still be inside
    // set_value when this one, woken, has returned.
    const auto promise = std::make_shared<std::promise<Reply>>();
    std::future<Reply> reply = promise->get_future();
    {
        std::lock_guard lock(answerMutex_);
        if (answerStopping_ || !answerer_.joinable()) {
            return api(endpoint, params); // stopping: in place
        }
        // endpoint and params live until the answer is there.
        answerJobs_.push_back([this, promise, &endpoint, &params] {
            try {
                promise->set_value(api(endpoint, params));
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        });
    }
    answerWanted_.notify_one();
    return reply.get();
}

void Dashboard::answerLoop() {
    // Niceness is the thread's own on Linux; raising it needs no privilege.
    setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
    std::unique_lock lock(answerMutex_);
    for (;;) {
        answerWanted_.wait(lock, [this] { return answerStopping_ || !answerJobs_.empty(); });
        if (answerJobs_.empty()) {
            return; // stopping, and every page that asked has its answer
        }
        std::function<void()> job = std::move(answerJobs_.front());
        answerJobs_.pop_front();
        lock.unlock();
        timespec before{};
        timespec after{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
        job();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
        answerCpu_ +=
            (after.tv_sec - before.tv_sec) * 1'000'000'000LL + (after.tv_nsec - before.tv_nsec);
        lock.lock();
    }
}

Dashboard::Reply Dashboard::api(const std::string& endpoint,
                                const std::map<std::string, std::string>& params, TimePoint now) {
    const auto param = [&](const char* name) {
        const auto found = params.find(name);
        return found == params.end() ? std::string() : found->second;
    };
    const auto fail = [](int status, const std::string& why) {
        return Reply{status, "{\"error\":" + JsonString(why) + "}"};
    };
    try {
        const std::vector<DashboardPlant> plants = queries_.plants();
        if (endpoint == "plants") {
            return {200, PlantsJson(plants)};
        }
        if (endpoint != "routes" && endpoint != "notes" && endpoint != "handhelds" &&
            endpoint != "scans") {
            return fail(404, "no such endpoint");
        }
        const std::string code = param("plant");
        const DashboardPlant* plant = nullptr;
        for (const DashboardPlant& p : plants) {
            if (code.empty() ? plant == nullptr : p.code == code) {
                plant = &p;
            }
        }
        if (!plant) {
            return fail(404, "no such plant");
        }
        std::string day = param("day");
        if (day.empty()) {
            day = LocalToday();
        }
        if (!IsDay(day)) {
            return fail(400, "day wants YYYY-MM-DD");
        }
        if (endpoint == "routes") {
            return {200, RoutesJson(*plant, day, queries_.departments(plant->id),
                                    queries_.routes(plant->id, day), now, options_.staleMinutes)};
        }
        if (endpoint == "notes") {
            const std::optional<std::int64_t> route = ParseInteger(param("route"));
            const auto found = route ? queries_.routeNotes(plant->id, *route) : std::nullopt;
            if (!found) {
                return fail(404, "no such route in this plant");
            }
            return {200,
                    NotesJson(*plant, found->first, found->second, now, options_.staleMinutes)};
        }
        if (endpoint == "handhelds") {
            return {200, HandheldsJson(*plant, queries_.handhelds(plant->id), now,
                                       options_.silentMinutes)};
        }
        return {200, ScansJson(*plant, day, queries_.scansPerHour(plant->id, day),
                               options_.planFrom, options_.planTo)};
    } catch (const std::exception& error) {
        log_(std::string("event=dashboard-error error=\"") + error.what() + "\"");
        return fail(503, "the database cannot be read");
    }
}

} // namespace backoffice
