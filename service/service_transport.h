#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

// Status values of the transport and the envelope builders: 0 or E_FAIL.
using HResult = std::int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);

// Failure codes kept in LastTransportError: the handheld's platform codes, so
// that the error boxes read as they always have.
namespace TransportCode {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t NotEnoughMemory = 8; // also: the answer exceeds the size cap
inline constexpr std::uint32_t TimeoutNoAction = 106;
inline constexpr std::uint32_t TimeoutWithAction = 108;
inline constexpr std::uint32_t OutOfHandles = 12001;
inline constexpr std::uint32_t Timeout = 12002;
inline constexpr std::uint32_t InternalError = 12004;
inline constexpr std::uint32_t InvalidUrl = 12005;
inline constexpr std::uint32_t UnrecognizedScheme = 12006;
inline constexpr std::uint32_t NameNotResolved = 12007;
inline constexpr std::uint32_t ProtocolNotFound = 12008;
inline constexpr std::uint32_t LoginFailure = 12015;
inline constexpr std::uint32_t OperationCancelled = 12017;
inline constexpr std::uint32_t CannotConnect = 12029;
inline constexpr std::uint32_t ConnectionAborted = 12030;
inline constexpr std::uint32_t ConnectionReset = 12031;
inline constexpr std::uint32_t InvalidServerResponse = 12152;
inline constexpr std::uint32_t RedirectFailed = 12156;
inline constexpr std::uint32_t SecureChannelError = 12157;
} // namespace TransportCode

// The step of an exchange in which a libcurl result arose.
enum class CurlStep { Connect, Send };

// The platform code for a libcurl result (`curlCode` is a CURLcode). `osErrno`
// is the system error of the failing socket call, which tells a reset
// connection from an aborted one; `step` tells a wrong address from an answer
// that is no HTTP.
std::uint32_t PlatformCodeForCurl(int curlCode, long osErrno, CurlStep step = CurlStep::Connect);
// How many libcurl results the table names: every code from 0 up to this.
int CurlCodesMapped();

// Carries one SOAP request to the back office and brings back the answer: a
// connection check and a client handle per Connect, then HTTP/1.0 POSTs on the
// same connection. Each blocking step runs on the transport's worker thread
// while the caller waits up to the step's deadline; an overrun step is cancelled and
// reported with the time-out codes 106 and 108. The transport never shows
// anything: the service call decides what the user sees.
//
// One instance serves the whole process and outlives every message; its
// connection stays open after an exchange. Only one thread (the user
// interface) calls it.
class ServiceTransport {
public:
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout{20000};
    static constexpr std::chrono::milliseconds kDefaultProbeTimeout{20000};
    static constexpr std::chrono::milliseconds kDefaultCallTimeout{300000};
    // Far beyond any real answer, small enough that a hostile one cannot
    // exhaust the handheld's memory.
    static constexpr qint64 kDefaultMaxResponseBytes = 32 * 1024 * 1024;

    ServiceTransport();
    virtual ~ServiceTransport();
    ServiceTransport(const ServiceTransport&) = delete;
    ServiceTransport& operator=(const ServiceTransport&) = delete;

    // The transport of this process. Tests may install another one.
    static ServiceTransport& instance();
    static void setInstance(ServiceTransport* transport); // nullptr restores the built-in one

    // Checks that the URL's host accepts a connection now, then opens the
    // client handle and connection for it. 0 or kEFail.
    virtual HResult Connect(const QString& url);
    // Posts `body` (sent as ISO-8859-1) to the path of the last Connect and
    // replaces `response` with the whole answer decoded as UTF-8. An empty
    // `soapAction` is the probe: the header then carries an empty pair of quotes
    // and the shorter deadline applies. On failure `response` keeps what was
    // read before the failure; it is replaced only once the answer's headers
    // have arrived. 0 or kEFail.
    virtual HResult Post(QString& response, const QString& body,
                         const QString& soapAction = QString());

    std::uint32_t LastTransportError() const { return lastError_; }
    // The last failure was the user abandoning the wait (Cancel, Escape held):
    // it keeps the time-out's code, but the worker is told what happened.
    bool LastStepCancelled() const { return lastCancelled_; }
    // libcurl's own description of the last failure, for logs and tests.
    const QString& LastTransportDetail() const { return lastDetail_; }

    // Closes the connection and the client handle (at exit, and in tests before
    // their server stops).
    void Disconnect();

    // Every new message resets the port, as the handheld does.
    void ResetPort() { port_ = 80; }
    quint16 port() const { return port_; }
    const QString& hostName() const { return hostName_; }
    const QString& urlPath() const { return urlPath_; }
    bool connected() const { return connected_; }

    void setConnectTimeout(std::chrono::milliseconds timeout) { connectTimeout_ = timeout; }
    void setProbeTimeout(std::chrono::milliseconds timeout) { probeTimeout_ = timeout; }
    void setCallTimeout(std::chrono::milliseconds timeout) { callTimeout_ = timeout; }
    void setMaxResponseBytes(qint64 bytes) { maxResponseBytes_ = bytes; }
    std::chrono::milliseconds connectTimeout() const { return connectTimeout_; }
    std::chrono::milliseconds probeTimeout() const { return probeTimeout_; }
    std::chrono::milliseconds callTimeout() const { return callTimeout_; }
    qint64 maxResponseBytes() const { return maxResponseBytes_; }

protected:
    // For transports that tests script.
    void setLastTransportError(std::uint32_t code) { lastError_ = code; }

private:
    struct Handles;
    struct SendJob;
    struct StepControl;
    enum class StepOutcome { Finished, TimedOut, Abandoned, NotStarted };
    // Runs `work` on the worker thread and waits up to `deadline`; an overrun
    // step is cancelled, and has ended, before this returns.
    static StepOutcome runStep(std::chrono::milliseconds deadline,
                               const std::function<void(StepControl&)>& work);
    static int perform(void* multi, void* easy, StepControl& control);
    void connectStep(const QByteArray& url, StepControl& control);
    void sendStep(SendJob& job, StepControl& control);
    void recordFailure(int curlCode, long osErrno, const char* detail, CurlStep step);
    void closeHandles();

    std::unique_ptr<Handles> handles_;
    QString hostName_;
    QString urlPath_;
    QByteArray postUrl_;
    quint16 port_ = 80;
    bool connected_ = false;
    std::uint32_t lastError_ = 0;
    bool lastCancelled_ = false;
    QString lastDetail_;

    std::chrono::milliseconds connectTimeout_ = kDefaultConnectTimeout;
    std::chrono::milliseconds probeTimeout_ = kDefaultProbeTimeout;
    std::chrono::milliseconds callTimeout_ = kDefaultCallTimeout;
    qint64 maxResponseBytes_ = kDefaultMaxResponseBytes;
};

// Installs a transport for the lifetime of the guard (tests).
class ScopedTransport {
public:
    explicit ScopedTransport(ServiceTransport& transport);
    ~ScopedTransport();
    ScopedTransport(const ScopedTransport&) = delete;
    ScopedTransport& operator=(const ScopedTransport&) = delete;

private:
    ServiceTransport* previous_;
};
