#include "loopback_back_office.h"

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <httplib.h>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kDeclaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

// The server's socket of a connection, found by its two ports: the handler
// does not see its socket, and the client's end lives in this process too.
int findServerSocket(int localPort, int remotePort) {
    for (int fd = 0; fd < 4096; ++fd) {
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
            portOf(local) != localPort) {
            continue;
        }
        sockaddr_storage peer{};
        length = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            portOf(peer) == remotePort) {
            return fd;
        }
    }
    return -1;
}

// Drops the connection with a reset (RST) instead of an orderly close. The
// socket stays open for the server, whose later writes simply fail.
void resetConnection(int fd) {
    const linger abortive{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    ::connect(fd, &unspecified, sizeof unspecified);
}

// The server, with the listening socket within reach.
class LoopbackServer : public httplib::Server {
public:
    // The library listens with a backlog of 5: on a busy machine a quick run of
    // connection checks overflows it and the client waits a second for its SYN
    // to be retried. Listening again only raises the backlog.
    void widenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
};

} // namespace

std::string LoopbackBackOffice::Request::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (equalNoCase(key, name)) {
            return value;
        }
    }
    return std::string();
}

bool LoopbackBackOffice::Request::hasHeader(const std::string& name) const {
    for (const auto& entry : headers) {
        if (equalNoCase(entry.first, name)) {
            return true;
        }
    }
    return false;
}

QString LoopbackBackOffice::Request::functionCode() const {
    // The header travels escaped inside String_1.
    const std::string start = "&lt;function xmlns=&quot;&quot;&gt;";
    const size_t from = body.find(start);
    if (from == std::string::npos) {
        return QString();
    }
    const size_t to = body.find("&lt;/function&gt;", from);
    if (to == std::string::npos) {
        return QString();
    }
    return QString::fromStdString(body.substr(from + start.size(), to - from - start.size()));
}

struct LoopbackBackOffice::Impl {
    LoopbackServer server;
    std::thread listener;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable released;
    bool releasing = false;
    std::vector<Request> requests;
    Reply probe;
    std::map<QString, Reply> replies;

    Reply replyFor(const Request& request) {
        std::lock_guard lock(mutex);
        if (request.isProbe()) {
            return probe;
        }
        auto it = replies.find(request.functionCode());
        if (it == replies.end()) {
            it = replies.find(QString());
        }
        return it == replies.end()
                   ? Reply{Behaviour::Answer, 200, "text/xml; charset=utf-8", SoapAnswer(QString())}
                   : it->second;
    }

    void handle(const httplib::Request& in, httplib::Response& out) {
        Request request;
        request.method = in.method;
        request.target = in.target;
        request.version = in.version;
        for (const auto& header : in.headers) {
            // The server library adds the connection's addresses as headers.
            if (header.first != "REMOTE_ADDR" && header.first != "REMOTE_PORT" &&
                header.first != "LOCAL_ADDR" && header.first != "LOCAL_PORT") {
                request.headers.emplace_back(header.first, header.second);
            }
        }
        request.body = in.body;
        const Reply reply = replyFor(request);
        {
            std::lock_guard lock(mutex);
            requests.push_back(std::move(request));
        }
        switch (reply.behaviour) {
        case Behaviour::Hang: {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return releasing; });
            out.status = 200;
            return;
        }
        case Behaviour::Reset: {
            const int fd = findServerSocket(in.local_port, in.remote_port);
            if (fd >= 0) {
                resetConnection(fd);
            }
            out.status = 500;
            return;
        }
        case Behaviour::Answer:
            out.status = reply.status;
            out.set_content(reply.body, reply.contentType.c_str());
            return;
        }
    }
};

LoopbackBackOffice::LoopbackBackOffice() : d_(std::make_unique<Impl>()) {
    // Writes to a connection the client has dropped must fail, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    d_->probe.body =
        R"(<?xml version="1.0" encoding="UTF-8"?><definitions name="QVRGenericWebService"/>)";
    d_->server.set_tcp_nodelay(true);
    d_->server.set_keep_alive_timeout(1);
    d_->server.set_keep_alive_max_count(1000);
    d_->server.Post(R"(.*)", [this](const httplib::Request& in, httplib::Response& out) {
        d_->handle(in, out);
    });
    d_->port = d_->server.bind_to_any_port("127.0.0.1");
    if (d_->port <= 0) {
        throw std::runtime_error("loopback back office: no port");
    }
    d_->server.widenBacklog();
    d_->listener = std::thread([this] { d_->server.listen_after_bind(); });
    for (int i = 0; i < 5000 && !d_->server.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackBackOffice::~LoopbackBackOffice() {
    release();
    d_->server.stop();
    d_->listener.join();
}

int LoopbackBackOffice::port() const {
    return d_->port;
}

int LoopbackBackOffice::refusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd); // bound but never listening: connections to it are refused
    return port;
}

void LoopbackBackOffice::setProbeReply(Reply reply) {
    std::lock_guard lock(d_->mutex);
    d_->probe = std::move(reply);
}

void LoopbackBackOffice::setReply(const QString& functionCode, Reply reply) {
    std::lock_guard lock(d_->mutex);
    d_->replies[functionCode] = std::move(reply);
}

void LoopbackBackOffice::answer(const QString& functionCode, const QString& innerDocument) {
    setReply(functionCode,
             {Behaviour::Answer, 200, "text/xml; charset=utf-8", SoapAnswer(innerDocument)});
}

void LoopbackBackOffice::fault(const QString& functionCode, const QString& faultString) {
    setReply(functionCode,
             {Behaviour::Answer, 500, "text/xml; charset=utf-8", SoapFault(faultString)});
}

void LoopbackBackOffice::businessError(const QString& functionCode, const QString& code,
                                       const QString& message, const QString& responseElement) {
    answer(functionCode, ErrorDocument(responseElement, code, message));
}

void LoopbackBackOffice::hang(const QString& functionCode) {
    setReply(functionCode, {Behaviour::Hang, 200, "text/xml", {}});
}

void LoopbackBackOffice::hangProbe() {
    setProbeReply({Behaviour::Hang, 200, "text/xml", {}});
}

void LoopbackBackOffice::reset(const QString& functionCode) {
    setReply(functionCode, {Behaviour::Reset, 200, "text/xml", {}});
}

void LoopbackBackOffice::resetProbe() {
    setProbeReply({Behaviour::Reset, 200, "text/xml", {}});
}

void LoopbackBackOffice::release() {
    std::lock_guard lock(d_->mutex);
    d_->releasing = true;
    d_->released.notify_all();
}

std::vector<LoopbackBackOffice::Request> LoopbackBackOffice::requests() const {
    std::lock_guard lock(d_->mutex);
    return d_->requests;
}

std::vector<LoopbackBackOffice::Request> LoopbackBackOffice::calls() const {
    std::vector<Request> out;
    for (Request& request : requests()) {
        if (!request.isProbe()) {
            out.push_back(std::move(request));
        }
    }
    return out;
}

void LoopbackBackOffice::clearRequests() {
    std::lock_guard lock(d_->mutex);
    d_->requests.clear();
}

QString LoopbackBackOffice::EscapeText(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string LoopbackBackOffice::SoapAnswerEscaped(const std::string& escapedReturnValue) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/">)"
           R"(<env:Header/><env:Body><ns0:processRequestResponse xmlns:ns0="urn:QVR">)"
           "<result><returnValue>" +
           escapedReturnValue +
           "</returnValue></result></ns0:processRequestResponse></env:Body></env:Envelope>";
}

std::string LoopbackBackOffice::SoapAnswer(const QString& innerDocument) {
    return SoapAnswerEscaped(
        EscapeText(QString::fromStdString(kDeclaration) + innerDocument).toStdString());
}

std::string LoopbackBackOffice::SoapFault(const QString& faultString) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/"><env:Body>)"
           "<env:Fault><faultcode>env:Server</faultcode><faultstring>" +
           EscapeText(faultString).toStdString() +
           "</faultstring></env:Fault></env:Body></env:Envelope>";
}

QString LoopbackBackOffice::ErrorDocument(const QString& responseElement, const QString& code,
                                          const QString& message) {
    return QLatin1Char('<') + responseElement + QStringLiteral("><Code xmlns=\"\">") + code +
           QStringLiteral("</Code><Message xmlns=\"\">") + message +
           QStringLiteral("</Message></") + responseElement + QLatin1Char('>');
}
