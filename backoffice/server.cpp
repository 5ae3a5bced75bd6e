#include "backoffice/server.h"

#include "backoffice/handlers.h"
#include "backoffice/soap.h"
#include "backoffice/tcp_counters.h"

#include <algorithm>
#include <arpa/inet.h>
#include <condition_variable>
#include <cstdint>
#include <dirent.h>
#include <httplib.h>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

namespace backoffice {

namespace {

constexpr size_t kMaxBody = 1024 * 1024;
// What a connection may send before it is answered: a whole request with its
// headers and one more sent ahead, with room to spare.
constexpr std::uint64_t kMaxUnanswered = 4 * kMaxBody;
const char* const kXml = "text/xml; charset=utf-8";

int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

bool blank(const std::string& body) {
    return body.find_first_not_of(" \t\r\n") == std::string::npos;
}

// logfmt: key=value, values with blanks or quotes in quotes.
std::string logValue(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \"=\\\n\r\t") == std::string::npos) {
        return value;
    }
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out + '"';
}

} // namespace

// The library's server, with its listening socket within reach.
class Server::Http : public httplib::Server {
public:
    // The library listens with a backlog of 5: a burst of handhelds
    // connecting at once would wait a second for their SYN to be retried.
    // Listening again only raises the backlog.
    void widenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
};

Server::Server(Handlers& handlers, ServerOptions options)
    : handlers_(handlers), options_(std::move(options)), http_(std::make_unique<Http>()) {
    Http& http = *http_;
    const int threads = options_.threads;
    http.new_task_queue = [threads] {
        return new httplib::ThreadPool(static_cast<size_t>(threads));
    };
    // Without it every kept-alive answer waits for the peer's delayed ACK.
    http.set_tcp_nodelay(true);
    http.set_read_timeout(options_.readTimeout);
    http.set_write_timeout(std::chrono::seconds(5));
    http.set_keep_alive_timeout(2);
    http.set_keep_alive_max_count(100);
    http.set_payload_max_length(kMaxBody);

    const std::string route = "/" + options_.path + "/QVRGenericWebService";
    const auto describe = [route](const httplib::Request& in, httplib::Response& out) {
        std::string host = in.get_header_value("Host");
        if (host.empty()) {
            host = in.local_addr + ":" + std::to_string(in.local_port);
        }
        out.set_content(ServiceDescription("http://" + host + route), kXml);
    };
    http.Get(route, [describe](const httplib::Request& in, httplib::Response& out) {
        if (!in.has_param("WSDL") && !in.has_param("wsdl")) {
            out.status = 404;
            out.set_content("Ask for ?WSDL\n", "text/plain");
            return;
        }
        describe(in, out);
    });
    http.Post(route, [this, describe](const httplib::Request& in, httplib::Response& out) {
        const auto started = std::chrono::steady_clock::now();
        std::string function = "-";
        std::string outcome;
        std::string detail;
        std::string device = "-";
        if (blank(in.body)) {
            describe(in, out); // the handheld's reachability probe
            outcome = "WSDL";
        } else {
            SoapParse parse = ParseEnvelope(in.body);
            if (!parse.ok) {
                out.status = 500;
                out.set_content(FaultEnvelope(true, parse.error), kXml);
                outcome = "FAULT";
                detail = parse.error;
            } else {
                function = parse.call.functionCode;
                ExchangeResult result = handlers_.handle(parse.call);
                out.set_content(AnswerEnvelope(result.document), kXml);
                outcome = result.outcome;
                detail = result.detail;
                if (result.device) {
                    device = std::to_string(*result.device);
                }
                if (options_.exchanged) {
                    options_.exchanged(parse.call, result);
                }
            }
        }
        if (in.version == "HTTP/1.0" && in.get_header_value("Connection") != "keep-alive" &&
            in.get_header_value("Connection") != "Keep-Alive") {
            out.set_header("Connection",
                           "close"); // the handheld's way: one exchange per connection
        }
        if (options_.log) {
            const double ms = std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - started)
                                  .count();
            char elapsed[32];
            std::snprintf(elapsed, sizeof elapsed, "%.2f", ms);
            std::string line = "time=" + IsoTime(std::chrono::system_clock::now()) +
                               " remote=" + logValue(in.remote_addr) + " device=" + device +
                               " function=" + logValue(function) + " result=" + logValue(outcome) +
                               " status=" + std::to_string(out.status < 0 ? 200 : out.status) +
                               " ms=" + elapsed;
            if (!detail.empty()) {
                line += " detail=" + logValue(detail);
            }
            options_.log(line);
        }
    });
    if (options_.routes) {
        options_.routes(http);
    }
}

Server::~Server() {
    stop();
    if (runner_.joinable()) {
        runner_.join();
    }
}

bool Server::bind() {
    if (options_.port == 0) {
        port_ = http_->bind_to_any_port(options_.host);
    } else {
        port_ = http_->bind_to_port(options_.host, options_.port) ? options_.port : -1;
    }
    if (port_ <= 0) {
        return false;
    }
    http_->widenBacklog();
    return true;
}

void Server::run() {
    if (port_ <= 0 && !bind()) {
        return;
    }
    const ConnectionWatchdog watchdog(port_, options_.connectionLifetime, options_.heartbeat);
    http_->listen_after_bind();
}

void Server::start() {
    if (port_ <= 0 && !bind()) {
        return;
    }
    runner_ = std::thread([this] { run(); });
    for (int i = 0; i < 5000 && !http_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Server::stop() {
    http_->stop();
}

// Finds the connections of this server by their local port and closes the
// ones that have been open too long without an answer, or that sent far more
// than one request may hold without being answered: the library takes header
// lines without a limit, so a client pouring them in would otherwise grow the
// server's memory until the age limit ends it. The library does not show its
// connections; a pass over them costs microseconds, so it runs five times a
// second.
ConnectionWatchdog::ConnectionWatchdog(int port, std::chrono::seconds lifetime,
                                       std::function<void()> heartbeat)
    : port_(port), lifetime_(lifetime), heartbeat_(std::move(heartbeat)),
      thread_([this] { watch(); }) {}

ConnectionWatchdog::~ConnectionWatchdog() {
    stopped_ = true;
    thread_.join();
}

void ConnectionWatchdog::watch() {
    struct Watched {
        std::chrono::steady_clock::time_point since; // opened, or last answered
        std::uint64_t answeredBytes = 0;             // received up to the last answer
    };
    std::map<std::pair<int, int>, Watched> watched;
    while (!stopped_) {
        for (int i = 0; i < 2 && !stopped_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (heartbeat_) {
            heartbeat_();
        }
        const auto now = std::chrono::steady_clock::now();
        std::map<std::pair<int, int>, Watched> seen;
        DIR* fds = opendir("/proc/self/fd");
        if (!fds) {
            continue;
        }
        while (const dirent* entry = readdir(fds)) {
            const int fd = std::atoi(entry->d_name);
            if (fd <= 2) {
                continue;
            }
            sockaddr_storage local{};
            socklen_t length = sizeof local;
            if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
                portOf(local) != port_) {
                continue;
            }
            sockaddr_storage peer{};
            length = sizeof peer;
            if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
                continue; // the listening socket
            }
            const std::pair<int, int> key{fd, portOf(peer)};
            const std::optional<TcpCounters> counters = ReadTcpCounters(fd);
            const auto known = watched.find(key);
            // A connection is first seen within a pass of its opening. What it
            // sent before an answer counts; what it sent by the time it was
            // first seen with an answer behind it is taken as answered. A
            // count that went back belongs to a new connection that got the
            // descriptor and the peer's port of an old one.
            Watched state{now, 0};
            if (known != watched.end() &&
                !(counters && counters->bytesReceived < known->second.answeredBytes)) {
                state = known->second;
            } else if (counters && counters->bytesAnswered > 0) {
                state.answeredBytes = counters->bytesReceived;
            }
            bool flooding = false;
            if (counters) {
                // A kept-alive connection that was answered lately is no stuck
                // one: its age and its unanswered bytes count from its last
                // answer, so that a busy client is never cut in the middle of
                // an exchange.
                const auto answered = now - std::chrono::milliseconds(counters->msSinceLastSend);
                if (answered > state.since) {
                    state.since = answered;
                    state.answeredBytes = counters->bytesReceived;
                }
                flooding = counters->bytesReceived - state.answeredBytes > kMaxUnanswered;
            }
            if (flooding) {
                // A shut-down socket still takes in what keeps coming; only a
                // reset stops the flood. Disconnecting resets the connection
                // but keeps the descriptor, which belongs to the library.
                sockaddr unspecified{};
                unspecified.sa_family = AF_UNSPEC;
                ::connect(fd, &unspecified, sizeof unspecified);
            } else if (now - state.since > lifetime_) {
                ::shutdown(fd, SHUT_RDWR); // the worker's next read or write fails
            } else {
                seen.emplace(key, state);
            }
        }
        closedir(fds);
        watched = std::move(seen);
    }
}

} // namespace backoffice
