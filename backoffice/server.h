#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace backoffice {

class Handlers;
struct SoapCall;
struct ExchangeResult;

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 0; // 0: any free port
    std::string path = "qvrgenericwebservice";
    // Enough workers that 50 handhelds with kept-alive connections never
    // queue behind each other (each open connection holds one worker).
    int threads = 64;
    std::chrono::seconds readTimeout{5};
    // A connection older than this, counted from its last answer, is closed,
    // so that a client that sends its request a byte at a time cannot keep a
    // worker for ever.
    std::chrono::seconds connectionLifetime{60};
    // One line per exchange; none: no log.
    std::function<void(const std::string&)> log;
    // Called several times a second while the server runs (from the thread
    // that watches the connections), for a service manager's watchdog.
    std::function<void()> heartbeat;
    // More routes on the same listener (the supervisor's dashboard).
    std::function<void(httplib::Server&)> routes;
    // Told of every processRequest once its answer is built.
    std::function<void(const SoapCall&, const ExchangeResult&)> exchanged;
};

// Watches the connections of one listening port on a thread of its own and
// closes the ones that have had no answer for `lifetime` (counted from their
// opening or their last answer), and resets the ones that sent far more than
// one request may hold without an answer, so that a client that dribbles or
// floods cannot keep a worker for ever. Runs until destroyed; destroy it only
// once the listener has let go of its connections, so that such a client
// cannot hold up the stop either.
class ConnectionWatchdog {
public:
    ConnectionWatchdog(int port, std::chrono::seconds lifetime,
                       std::function<void()> heartbeat = {});
    ~ConnectionWatchdog();
    ConnectionWatchdog(const ConnectionWatchdog&) = delete;
    ConnectionWatchdog& operator=(const ConnectionWatchdog&) = delete;

private:
    void watch();

    int port_;
    std::chrono::seconds lifetime_;
    std::function<void()> heartbeat_;
    std::atomic<bool> stopped_{false};
    std::thread thread_;
};

// The HTTP side: POST (and GET with ?WSDL) on /<path>/QVRGenericWebService.
// An empty POST or a GET gets the WSDL; a processRequest envelope gets the
// answer of the handlers; anything else a SOAP fault with status 500.
class Server {
public:
    Server(Handlers& handlers, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the listening socket; false when the address cannot be had.
    bool bind();
    int port() const { return port_; }
    // Serves until stop(); the exchanges in flight are finished first.
    void run();
    // run() on a thread of its own; returns once the server accepts.
    void start();
    // Safe from any thread and a signal-handling thread; idempotent.
    void stop();

private:
    class Http;

    Handlers& handlers_;
    ServerOptions options_;
    std::unique_ptr<Http> http_;
    int port_ = -1;
    std::thread runner_;
};

} // namespace backoffice
