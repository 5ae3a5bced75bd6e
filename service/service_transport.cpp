#include "service/service_transport.h"

#include "config/text_helpers.h"
#include "platform/prompter.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <curl/curl.h>
#include <iterator>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace {

struct CurlCodeRow {
    CURLcode curl;
    std::uint32_t platform;
};

// Platform codes the transport uses besides those of TransportCode.
namespace More {
constexpr std::uint32_t ExtendedError = 12003; // the server's reply reports a failure
constexpr std::uint32_t InvalidOption = 12009; // an option or argument was refused
constexpr std::uint32_t IncorrectUserName = 12013;
constexpr std::uint32_t IncorrectHandleState = 12019; // called at the wrong moment
constexpr std::uint32_t ItemNotFound = 12028;         // the named resource does not exist
constexpr std::uint32_t ForceRetry = 12032;           // the request must be sent again
constexpr std::uint32_t ClientCertificateNeeded = 12044;
constexpr std::uint32_t InvalidCertificateAuthority = 12045;
constexpr std::uint32_t CertificateRevocationFailed = 12057;
constexpr std::uint32_t ProxyUnreachable = 12165;
constexpr std::uint32_t InvalidCertificate = 12169;
constexpr std::uint32_t DecodingFailed = 12175;
} // namespace More

// Every libcurl result as the closest platform code the error boxes know, in
// libcurl's own order (one row per code, checked below). Results of other
// protocols than HTTP cannot occur here; they keep a sensible meaning all the
// same. A send or receive failure becomes "connection reset" when the peer
// reset the socket, and a reply that is no HTTP an invalid server response
// (see PlatformCodeForCurl).
constexpr CurlCodeRow kCurlCodes[] = {
    {CURLE_OK, TransportCode::None},
    {CURLE_UNSUPPORTED_PROTOCOL, TransportCode::UnrecognizedScheme},
    {CURLE_FAILED_INIT, TransportCode::InternalError},
    {CURLE_URL_MALFORMAT, TransportCode::InvalidUrl},
    {CURLE_NOT_BUILT_IN, TransportCode::ProtocolNotFound},
    {CURLE_COULDNT_RESOLVE_PROXY, TransportCode::NameNotResolved},
    {CURLE_COULDNT_RESOLVE_HOST, TransportCode::NameNotResolved},
    {CURLE_COULDNT_CONNECT, TransportCode::CannotConnect},
    {CURLE_WEIRD_SERVER_REPLY, TransportCode::InvalidServerResponse},
    {CURLE_REMOTE_ACCESS_DENIED, TransportCode::LoginFailure},
    {CURLE_FTP_ACCEPT_FAILED, TransportCode::CannotConnect},
    {CURLE_FTP_WEIRD_PASS_REPLY, TransportCode::LoginFailure},
    {CURLE_FTP_ACCEPT_TIMEOUT, TransportCode::Timeout},
    {CURLE_FTP_WEIRD_PASV_REPLY, More::ExtendedError},
    {CURLE_FTP_WEIRD_227_FORMAT, More::ExtendedError},
    {CURLE_FTP_CANT_GET_HOST, TransportCode::NameNotResolved},
    {CURLE_HTTP2, TransportCode::InvalidServerResponse},
    {CURLE_FTP_COULDNT_SET_TYPE, More::ExtendedError},
    {CURLE_PARTIAL_FILE, TransportCode::ConnectionAborted},
    {CURLE_FTP_COULDNT_RETR_FILE, More::ItemNotFound},
    {CURLE_OBSOLETE20, TransportCode::InternalError},
    {CURLE_QUOTE_ERROR, More::ExtendedError},
    {CURLE_HTTP_RETURNED_ERROR, More::ExtendedError},
    {CURLE_WRITE_ERROR, TransportCode::InternalError},
    {CURLE_OBSOLETE24, TransportCode::InternalError},
    {CURLE_UPLOAD_FAILED, TransportCode::ConnectionAborted},
    {CURLE_READ_ERROR, TransportCode::InternalError},
    {CURLE_OUT_OF_MEMORY, TransportCode::NotEnoughMemory},
    {CURLE_OPERATION_TIMEDOUT, TransportCode::Timeout},
    {CURLE_OBSOLETE29, TransportCode::InternalError},
    {CURLE_FTP_PORT_FAILED, TransportCode::CannotConnect},
    {CURLE_FTP_COULDNT_USE_REST, More::ExtendedError},
    {CURLE_OBSOLETE32, TransportCode::InternalError},
    {CURLE_RANGE_ERROR, More::ExtendedError},
    {CURLE_HTTP_POST_ERROR, TransportCode::InternalError},
    {CURLE_SSL_CONNECT_ERROR, TransportCode::SecureChannelError},
    {CURLE_BAD_DOWNLOAD_RESUME, More::ExtendedError},
    {CURLE_FILE_COULDNT_READ_FILE, More::ItemNotFound},
    {CURLE_LDAP_CANNOT_BIND, TransportCode::LoginFailure},
    {CURLE_LDAP_SEARCH_FAILED, More::ExtendedError},
    {CURLE_OBSOLETE40, TransportCode::InternalError},
    {CURLE_FUNCTION_NOT_FOUND, TransportCode::InternalError},
    {CURLE_ABORTED_BY_CALLBACK, TransportCode::OperationCancelled},
    {CURLE_BAD_FUNCTION_ARGUMENT, More::InvalidOption},
    {CURLE_OBSOLETE44, TransportCode::InternalError},
    {CURLE_INTERFACE_FAILED, TransportCode::CannotConnect},
    {CURLE_OBSOLETE46, TransportCode::InternalError},
    {CURLE_TOO_MANY_REDIRECTS, TransportCode::RedirectFailed},
    {CURLE_UNKNOWN_OPTION, More::InvalidOption},
    {CURLE_SETOPT_OPTION_SYNTAX, More::InvalidOption},
    {CURLE_OBSOLETE50, TransportCode::InternalError},
    {CURLE_OBSOLETE51, TransportCode::InternalError},
    {CURLE_GOT_NOTHING, TransportCode::InvalidServerResponse},
    {CURLE_SSL_ENGINE_NOTFOUND, TransportCode::SecureChannelError},
    {CURLE_SSL_ENGINE_SETFAILED, TransportCode::SecureChannelError},
    {CURLE_SEND_ERROR, TransportCode::ConnectionAborted},
    {CURLE_RECV_ERROR, TransportCode::ConnectionAborted},
    {CURLE_OBSOLETE57, TransportCode::InternalError},
    {CURLE_SSL_CERTPROBLEM, More::ClientCertificateNeeded},
    {CURLE_SSL_CIPHER, TransportCode::SecureChannelError},
    {CURLE_PEER_FAILED_VERIFICATION, More::InvalidCertificate},
    {CURLE_BAD_CONTENT_ENCODING, More::DecodingFailed},
    {CURLE_OBSOLETE62, TransportCode::InternalError},
    {CURLE_FILESIZE_EXCEEDED, TransportCode::NotEnoughMemory},
    {CURLE_USE_SSL_FAILED, TransportCode::SecureChannelError},
    {CURLE_SEND_FAIL_REWIND, More::ForceRetry},
    {CURLE_SSL_ENGINE_INITFAILED, TransportCode::SecureChannelError},
    {CURLE_LOGIN_DENIED, TransportCode::LoginFailure},
    {CURLE_TFTP_NOTFOUND, More::ItemNotFound},
    {CURLE_TFTP_PERM, TransportCode::LoginFailure},
    {CURLE_REMOTE_DISK_FULL, More::ExtendedError},
    {CURLE_TFTP_ILLEGAL, More::ExtendedError},
    {CURLE_TFTP_UNKNOWNID, More::ExtendedError},
    {CURLE_REMOTE_FILE_EXISTS, More::ExtendedError},
    {CURLE_TFTP_NOSUCHUSER, More::IncorrectUserName},
    {CURLE_OBSOLETE75, TransportCode::InternalError},
    {CURLE_OBSOLETE76, TransportCode::InternalError},
    {CURLE_SSL_CACERT_BADFILE, More::InvalidCertificateAuthority},
    {CURLE_REMOTE_FILE_NOT_FOUND, More::ItemNotFound},
    {CURLE_SSH, More::ExtendedError},
    {CURLE_SSL_SHUTDOWN_FAILED, TransportCode::SecureChannelError},
    {CURLE_AGAIN, More::ForceRetry},
    {CURLE_SSL_CRL_BADFILE, More::CertificateRevocationFailed},
    {CURLE_SSL_ISSUER_ERROR, More::InvalidCertificateAuthority},
    {CURLE_FTP_PRET_FAILED, More::ExtendedError},
    {CURLE_RTSP_CSEQ_ERROR, TransportCode::InvalidServerResponse},
    {CURLE_RTSP_SESSION_ERROR, TransportCode::InvalidServerResponse},
    {CURLE_FTP_BAD_FILE_LIST, More::ExtendedError},
    {CURLE_CHUNK_FAILED, TransportCode::InternalError},
    {CURLE_NO_CONNECTION_AVAILABLE, TransportCode::OutOfHandles},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, More::InvalidCertificate},
    {CURLE_SSL_INVALIDCERTSTATUS, More::CertificateRevocationFailed},
    {CURLE_HTTP2_STREAM, TransportCode::InvalidServerResponse},
    {CURLE_RECURSIVE_API_CALL, More::IncorrectHandleState},
    {CURLE_AUTH_ERROR, TransportCode::LoginFailure},
    {CURLE_HTTP3, TransportCode::InvalidServerResponse},
    {CURLE_QUIC_CONNECT_ERROR, TransportCode::CannotConnect},
    {CURLE_PROXY, More::ProxyUnreachable},
    {CURLE_SSL_CLIENTCERT, More::ClientCertificateNeeded},
    {CURLE_UNRECOVERABLE_POLL, TransportCode::InternalError},
};

constexpr bool inLibcurlOrder() {
    for (size_t i = 0; i < std::size(kCurlCodes); ++i) {
        if (kCurlCodes[i].curl != static_cast<CURLcode>(i)) {
            return false;
        }
    }
    return true;
}
static_assert(inLibcurlOrder(), "one row per libcurl result, in libcurl's order");

std::uint32_t platformCodeForUrl(CURLUcode code) {
    switch (code) {
    case CURLUE_OK:
        return TransportCode::None;
    case CURLUE_UNSUPPORTED_SCHEME:
        return TransportCode::UnrecognizedScheme;
    case CURLUE_OUT_OF_MEMORY:
        return TransportCode::NotEnoughMemory;
    default:
        return TransportCode::InvalidUrl;
    }
}

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The environment's proxy settings stand for the device's preconfigured ones,
// but the loopback addresses never go through a proxy.
const char* noProxyList() {
    static const QByteArray list = [] {
        QByteArray hosts = qgetenv("no_proxy");
        if (hosts.isEmpty()) {
            hosts = qgetenv("NO_PROXY");
        }
        if (!hosts.isEmpty()) {
            hosts += ',';
        }
        return hosts + "localhost,127.0.0.1,::1";
    }();
    return list.constData();
}

ServiceTransport* g_installed = nullptr;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::uint32_t PlatformCodeForCurl(int curlCode, long osErrno, CurlStep step) {
    const auto code = static_cast<CURLcode>(curlCode);
    if ((code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR) &&
        (osErrno == ECONNRESET || osErrno == EPIPE)) {
        return TransportCode::ConnectionReset;
    }
    // Once connected, the scheme was accepted: libcurl's "unsupported
    // protocol" then means an answer that is no HTTP at all ("HTTP/0.9 not
    // allowed"), not a wrong server address.
    if (code == CURLE_UNSUPPORTED_PROTOCOL && step == CurlStep::Send) {
        return TransportCode::InvalidServerResponse;
    }
    if (curlCode >= 0 && static_cast<size_t>(curlCode) < std::size(kCurlCodes)) {
        return kCurlCodes[curlCode].platform;
    }
    return TransportCode::InternalError;
}

int CurlCodesMapped() {
    return static_cast<int>(std::size(kCurlCodes));
}

struct ServiceTransport::Handles {
    CURLM* client = nullptr;    // owns the connection cache
    CURL* connection = nullptr; // every post of this connection
    ~Handles() {
        if (connection != nullptr) {
            curl_easy_cleanup(connection);
        }
        if (client != nullptr) {
            curl_multi_cleanup(client);
        }
    }
};

// Shared by the caller and the worker of one step.
struct ServiceTransport::StepControl {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    std::atomic<bool> done{false}; // `finished`, readable without the lock
    std::atomic<bool> cancelled{false};
    CURLM* polling = nullptr; // the handle the worker waits in, woken on cancel
};

namespace {

// What the transfer callbacks fill.
struct AnswerSink {
    qint64 cap = 0;
    QByteArray bytes;
    bool headersDone = false;
    bool tooLarge = false;
};

} // namespace

struct ServiceTransport::SendJob {
    const QString& body;
    QByteArray action;
    AnswerSink answer;
    bool complete = false;
};

ServiceTransport::ServiceTransport() : handles_(std::make_unique<Handles>()) {
    initialiseCurl();
}

ServiceTransport::~ServiceTransport() = default;

ServiceTransport& ServiceTransport::instance() {
    if (g_installed != nullptr) {
        return *g_installed;
    }
    static ServiceTransport builtIn;
    return builtIn;
}

void ServiceTransport::setInstance(ServiceTransport* transport) {
    g_installed = transport;
}

namespace {

// The transport's worker thread. Steps run on it one at a time while the
// caller waits with the step's deadline. It stays alive between steps, and
// both sides look for the hand-over a little while before they sleep: on a
// fast network a fresh thread per step, or a sleep and a wake-up at every
// hand-over, costs more than the exchange itself.
class StepWorker {
public:
    // The worker of this process; nullptr when no thread can be started.
    static StepWorker* shared() {
        static StepWorker worker;
        return worker.thread_.joinable() ? &worker : nullptr;
    }

    void post(std::function<void()> job) {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
        pending_.store(true, std::memory_order_release);
        if (sleeping_) {
            wake_.notify_one();
        }
    }

    ~StepWorker() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            wake_.notify_one();
        }
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    static constexpr std::chrono::microseconds kLookout{300};

    StepWorker() {
        try {
            thread_ = std::thread([this] { loop(); });
        } catch (const std::system_error&) {
            // No worker: every step reports that it could not start.
        }
    }

    void loop() {
        for (;;) {
            const auto until = std::chrono::steady_clock::now() + kLookout;
            while (!pending_.load(std::memory_order_acquire) &&
                   std::chrono::steady_clock::now() < until) {
                std::this_thread::yield();
            }
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                sleeping_ = true;
                wake_.wait(lock, [this] { return pending_.load() || stopping_; });
                sleeping_ = false;
                if (!pending_.load()) {
                    return; // stopping
                }
                job = std::move(job_);
                pending_.store(false);
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> job_;
    std::atomic<bool> pending_{false};
    bool sleeping_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// How long the caller watches for the end of a step before it sleeps.
constexpr std::chrono::microseconds kCallerLookout{1000};
// How long it sleeps before it asks the Prompter again.
constexpr std::chrono::milliseconds kWaitSlice{50};

} // namespace

ServiceTransport::StepOutcome
ServiceTransport::runStep(std::chrono::milliseconds deadline,
                          const std::function<void(StepControl&)>& work) {
    StepWorker* worker = StepWorker::shared();
    if (worker == nullptr) {
        return StepOutcome::NotStarted;
    }
    const auto control = std::make_shared<StepControl>();
    const auto start = std::chrono::steady_clock::now();
    worker->post([control, &work] {
        work(*control);
        std::lock_guard lock(control->mutex);
        control->finished = true;
        control->done.store(true, std::memory_order_release);
        control->finishedChanged.notify_all();
    });
    const auto lookoutEnd =
        start + std::min<std::chrono::steady_clock::duration>(kCallerLookout, deadline);
    while (!control->done.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < lookoutEnd) {
        std::this_thread::yield();
    }
    // Past the look-out the caller waits in short slices and asks the
    // Prompter between them: the screen repaints and the user may abandon.
    std::unique_lock lock(control->mutex);
    bool inTime = false;
    bool asked = false;
    bool abandoned = false;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const auto wake =
            std::min<std::chrono::steady_clock::time_point>(start + deadline, now + kWaitSlice);
        if (control->finishedChanged.wait_until(lock, wake, [&] { return control->finished; })) {
            inTime = true;
            break;
        }
        const auto after = std::chrono::steady_clock::now();
        if (after >= start + deadline) {
            break;
        }
        lock.unlock();
        asked = true;
        const bool keepWaiting = Prompter::current().exchangeWaiting(
            std::chrono::duration_cast<std::chrono::milliseconds>(after - start));
        lock.lock();
        if (control->finished) {
            inTime = true;
            break;
        }
        if (!keepWaiting) {
            abandoned = true; // ends like an overrun step
            break;
        }
    }
    if (!inTime) {
        // The worker notices at its next wake-up, which this forces, and
        // leaves through the transfer's normal clean-up; `work` and the
        // transport stay untouched once this returns.
        control->cancelled = true;
        if (control->polling != nullptr) {
            curl_multi_wakeup(control->polling);
        }
        control->finishedChanged.wait(lock, [&] { return control->finished; });
    }
    lock.unlock();
    if (asked) {
        Prompter::current().exchangeWaitEnded();
    }
    return inTime      ? StepOutcome::Finished
           : abandoned ? StepOutcome::Abandoned
                       : StepOutcome::TimedOut;
}

int ServiceTransport::perform(void* multiHandle, void* easyHandle, StepControl& control) {
    auto* multi = static_cast<CURLM*>(multiHandle);
    auto* easy = static_cast<CURL*>(easyHandle);
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    {
        std::lock_guard lock(control.mutex);
        control.polling = multi;
    }
    CURLcode result = CURLE_FAILED_INIT;
    bool done = false;
    while (!done) {
        if (control.cancelled) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                result = message->data.result;
                done = true;
            }
        }
        if (done || running == 0) {
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            break;
        }
    }
    {
        std::lock_guard lock(control.mutex);
        control.polling = nullptr;
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

namespace {

int onProgress(void* control, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(control)->load() ? 1 : 0;
}

void setCommonOptions(CURL* easy, char* errors, std::atomic<bool>* cancelled) {
    errors[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A cancelled step must not wait for a name lookup to finish.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxyList());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "CeHttp");
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, cancelled);
}

// Pointers into a step's stack must not stay in a handle that outlives it.
void clearStepOptions(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);
}

QString urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return QString();
    }
    QString value = QString::fromUtf8(text);
    curl_free(text);
    return value;
}

} // namespace

void ServiceTransport::recordFailure(int curlCode, long osErrno, const char* detail,
                                     CurlStep step) {
    lastError_ = PlatformCodeForCurl(curlCode, osErrno, step);
    lastDetail_ = QString::fromUtf8(detail != nullptr && detail[0] != '\0'
                                        ? detail
                                        : curl_easy_strerror(static_cast<CURLcode>(curlCode)));
    connected_ = false;
}

void ServiceTransport::connectStep(const QByteArray& url, StepControl& control) {
    connected_ = true;
    lastError_ = 0;
    lastCancelled_ = false;
    char errors[CURL_ERROR_SIZE];

    handles_->client = curl_multi_init();
    if (handles_->client == nullptr) {
        lastError_ = TransportCode::OutOfHandles;
        connected_ = false;
        return;
    }

    // A real connection attempt to the host and port: the service call tells
    // "no network" from "no service" by it. The check's connection is closed
    // with its handle; it never serves a post.
    {
        CURL* check = curl_easy_init();
        if (check == nullptr) {
            lastError_ = TransportCode::OutOfHandles;
            connected_ = false;
            closeHandles();
            return;
        }
        setCommonOptions(check, errors, &control.cancelled);
        curl_easy_setopt(check, CURLOPT_URL, url.constData());
        curl_easy_setopt(check, CURLOPT_CONNECT_ONLY, 1L);
        const int result = perform(handles_->client, check, control);
        long osErrno = 0;
        curl_easy_getinfo(check, CURLINFO_OS_ERRNO, &osErrno);
        if (result != CURLE_OK) {
            recordFailure(result, osErrno, errors, CurlStep::Connect);
        }
        curl_easy_cleanup(check);
        if (result != CURLE_OK) {
            closeHandles();
            return;
        }
    }

    CURLU* parts = curl_url();
    const CURLUcode split = parts == nullptr
                                ? CURLUE_OUT_OF_MEMORY
                                : curl_url_set(parts, CURLUPART_URL, url.constData(), 0);
    if (split != CURLUE_OK) {
        curl_url_cleanup(parts);
        lastError_ = platformCodeForUrl(split);
        lastDetail_ = QString::fromUtf8(curl_url_strerror(split));
        connected_ = false;
        closeHandles();
        return;
    }
    hostName_ = urlPart(parts, CURLUPART_HOST);
    port_ = static_cast<quint16>(urlPart(parts, CURLUPART_PORT, CURLU_DEFAULT_PORT).toUInt());
    urlPath_ = urlPart(parts, CURLUPART_PATH);
    const QString query = urlPart(parts, CURLUPART_QUERY);
    if (!query.isEmpty()) {
        urlPath_ += QLatin1Char('?') + query;
    }
    postUrl_ = urlPart(parts, CURLUPART_URL).toUtf8();
    curl_url_cleanup(parts);

    handles_->connection = curl_easy_init();
    if (handles_->connection == nullptr) {
        lastError_ = TransportCode::OutOfHandles;
        connected_ = false;
        closeHandles();
    }
}

HResult ServiceTransport::Connect(const QString& url) {
    closeHandles();
    lastError_ = 0;
    lastCancelled_ = false;
    lastDetail_.clear();
    const QByteArray target = url.toUtf8();
    const StepOutcome outcome =
        runStep(connectTimeout_, [&](StepControl& control) { connectStep(target, control); });
    if (outcome != StepOutcome::Finished) {
        if (outcome == StepOutcome::NotStarted) {
            lastError_ = TransportCode::OutOfHandles;
        } else {
            lastError_ = TransportCode::TimeoutNoAction;
            lastCancelled_ = outcome == StepOutcome::Abandoned;
            lastDetail_ = lastCancelled_ ? QStringLiteral("connection check cancelled by the user")
                                         : QStringLiteral("connection check took longer than %1 ms")
                                               .arg(connectTimeout_.count());
        }
        connected_ = false;
        return kEFail;
    }
    return connected_ ? kSOk : kEFail;
}

namespace {

size_t onBody(char* data, size_t size, size_t count, void* jobPointer);
size_t onHeader(char* data, size_t size, size_t count, void* jobPointer);

} // namespace

void ServiceTransport::sendStep(SendJob& job, StepControl& control) {
    connected_ = true;
    lastError_ = 0;
    lastCancelled_ = false;
    QByteArray body;
    try {
        body = ToAnsi(job.body);
    } catch (const std::bad_alloc&) {
        connected_ = false;
        return;
    }

    CURL* easy = handles_->connection;
    curl_slist* headers = nullptr;
    const QByteArray soapAction = "SOAPAction: \"" + job.action + '"';
    for (const char* line :
         {"Content-Type: text/xml; charset=ISO-8859-1", soapAction.constData(), "Accept: text/xml",
          "Pragma: no-cache", "Connection: Keep-Alive", "Expect:"}) {
        headers = curl_slist_append(headers, line);
    }
    char errors[CURL_ERROR_SIZE];
    setCommonOptions(easy, errors, &control.cancelled);
    curl_easy_setopt(easy, CURLOPT_URL, postUrl_.constData());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &job.answer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &job.answer);

    const int result = perform(handles_->client, easy, control);
    long osErrno = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
    if (result == CURLE_OK) {
        job.complete = true;
    } else if (job.answer.tooLarge) {
        lastError_ = TransportCode::NotEnoughMemory;
        lastDetail_ = QStringLiteral("the answer is larger than %1 bytes").arg(job.answer.cap);
        connected_ = job.answer.headersDone;
    } else if (job.answer.headersDone) {
        // A read that fails part-way: the code is kept so the user learns why.
        recordFailure(result, osErrno, errors, CurlStep::Send);
        connected_ = true;
    } else {
        recordFailure(result, osErrno, errors, CurlStep::Send);
    }
    clearStepOptions(easy);
    curl_slist_free_all(headers);
}

namespace {

size_t onBody(char* data, size_t size, size_t count, void* jobPointer) {
    auto& job = *static_cast<AnswerSink*>(jobPointer);
    const size_t length = size * count;
    if (job.bytes.size() + static_cast<qint64>(length) > job.cap) {
        job.tooLarge = true;
        return 0;
    }
    try {
        job.bytes.append(data, static_cast<qsizetype>(length));
    } catch (const std::bad_alloc&) {
        job.tooLarge = true;
        return 0;
    }
    return length;
}

size_t onHeader(char* data, size_t size, size_t count, void* jobPointer) {
    auto& job = *static_cast<AnswerSink*>(jobPointer);
    const size_t length = size * count;
    const std::string_view line(data, length);
    if (line == "\r\n" || line == "\n") {
        job.headersDone = true;
    } else if (startsWithNoCase(line, "http/")) {
        job.headersDone = false; // a new header block (after an interim answer)
    } else if (startsWithNoCase(line, "content-length:")) {
        const long long announced = std::strtoll(line.data() + 15, nullptr, 10);
        if (announced > job.cap) {
            job.tooLarge = true;
            return 0;
        }
        if (announced > 0) {
            try {
                job.bytes.reserve(static_cast<qsizetype>(announced));
            } catch (const std::bad_alloc&) {
                job.tooLarge = true;
                return 0;
            }
        }
    }
    return length;
}

} // namespace

HResult ServiceTransport::Post(QString& response, const QString& body, const QString& soapAction) {
    lastError_ = 0;
    lastCancelled_ = false;
    lastDetail_.clear();
    if (!handles_->client || !handles_->connection) {
        return kEFail; // no request can be opened: nothing to report
    }
    const bool probe = soapAction.isEmpty();
    SendJob job{body, soapAction.toUtf8(), {maxResponseBytes_, {}, false, false}, false};
    const StepOutcome outcome = runStep(probe ? probeTimeout_ : callTimeout_,
                                        [&](StepControl& control) { sendStep(job, control); });
    if (outcome != StepOutcome::Finished) {
        if (outcome == StepOutcome::NotStarted) {
            lastError_ = TransportCode::OutOfHandles;
        } else {
            lastError_ = probe ? TransportCode::TimeoutNoAction : TransportCode::TimeoutWithAction;
            lastCancelled_ = outcome == StepOutcome::Abandoned;
            lastDetail_ = lastCancelled_
                              ? QStringLiteral("waiting for the answer cancelled by the user")
                              : QStringLiteral("no answer within %1 ms")
                                    .arg((probe ? probeTimeout_ : callTimeout_).count());
        }
        return kEFail;
    }
    if (!job.answer.headersDone) {
        return kEFail;
    }
    response = QString::fromUtf8(job.answer.bytes);
    return job.complete ? kSOk : kEFail;
}

void ServiceTransport::closeHandles() {
    handles_ = std::make_unique<Handles>();
}

void ServiceTransport::Disconnect() {
    closeHandles();
    connected_ = false;
}

ScopedTransport::ScopedTransport(ServiceTransport& transport) : previous_(g_installed) {
    g_installed = &transport;
}

ScopedTransport::~ScopedTransport() {
    g_installed = previous_;
}
