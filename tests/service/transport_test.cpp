#include "service/service_transport.h"
#include "service/transport_errors.h"
#include "service_fixture.h"

#include <arpa/inet.h>
#include <chrono>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Reply = LoopbackBackOffice::Reply;
using Behaviour = LoopbackBackOffice::Behaviour;

class TransportTest : public ServiceTest {
protected:
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/qvr/QVRGenericWebService?WSDL")
            .arg(server_.port());
    }
};

TEST_F(TransportTest, PostsHttp10ToTheSplitPathWithTheHandheldsHeaders) {
    ASSERT_EQ(transport_.Connect(url()), kSOk);
    EXPECT_EQ(transport_.hostName(), "127.0.0.1");
    EXPECT_EQ(transport_.port(), server_.port());
    EXPECT_EQ(transport_.urlPath(), "/qvr/QVRGenericWebService?WSDL");

    QString response;
    ASSERT_EQ(transport_.Post(response, QString()), kSOk);
    ASSERT_EQ(transport_.Post(response, QString::fromUtf8("<a>é€</a>"), "processRequest"), kSOk);

    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.version, "HTTP/1.0");
        EXPECT_EQ(request.target, "/qvr/QVRGenericWebService?WSDL");
        EXPECT_EQ(request.header("Content-Type"), "text/xml; charset=ISO-8859-1");
        EXPECT_EQ(request.header("User-Agent"), "CeHttp");
        EXPECT_EQ(request.header("Accept"), "text/xml");
    }
    EXPECT_EQ(requests[0].header("SOAPAction"), "\"\"");
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(requests[1].header("SOAPAction"), "\"processRequest\"");
    // ISO-8859-1 on the wire; what it cannot carry becomes "?".
    EXPECT_EQ(requests[1].body, "<a>\xE9?</a>");
}

TEST_F(TransportTest, DecodesUtf8SequencesSplitAcrossReads) {
    QString text;
    for (int i = 0; i < 30000; ++i) {
        text += QString::fromUtf8("aé€\xF0\x9D\x84\x9E"); // 1, 2, 3 and 4 bytes
    }
    server_.setReply("", Reply{Behaviour::Answer, 200, "text/xml", text.toStdString()});
    ASSERT_EQ(transport_.Connect(url()), kSOk);
    QString response = QStringLiteral("old");
    ASSERT_EQ(transport_.Post(response, "<x/>", "processRequest"), kSOk);
    EXPECT_TRUE(response == text);

    server_.setReply("", Reply{Behaviour::Answer, 200, "text/xml", ""});
    ASSERT_EQ(transport_.Post(response, "<x/>", "processRequest"), kSOk);
    EXPECT_TRUE(response.isEmpty());
}

TEST_F(TransportTest, OverrunStepsEndAtTheirDeadlineWithTheTimeoutCodes) {
    transport_.setProbeTimeout(200ms);
    transport_.setCallTimeout(300ms);
    server_.hangProbe();
    server_.hang("");
    ASSERT_EQ(transport_.Connect(url()), kSOk);
    QString response = QStringLiteral("kept");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(transport_.Post(response, QString()), kEFail);
    EXPECT_EQ(transport_.LastTransportError(), 106u);
    EXPECT_EQ(transport_.Post(response, "<x/>", "processRequest"), kEFail);
    EXPECT_EQ(transport_.LastTransportError(), 108u);
    // Behaviour, not speed: the steps were cut off, not waited out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(response, "kept");
}

TEST_F(TransportTest, FailuresCarryThePlatformCodes) {
    struct Case {
        const char* name;
        QString url;
        std::uint32_t code;
    };
    const Case cases[] = {
        {"refused port",
         QStringLiteral("http://127.0.0.1:%1/x").arg(LoopbackBackOffice::refusedPort()), 12029},
        {"malformed", QStringLiteral("http://a b:1/x"), 12005},
        {"unknown scheme", QStringLiteral("nosuch://127.0.0.1:1/x"), 12006},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(transport_.Connect(c.url), kEFail) << c.name;
        EXPECT_EQ(transport_.LastTransportError(), c.code) << c.name;
        EXPECT_FALSE(transport_.LastTransportDetail().isEmpty()) << c.name;
        QString response;
        EXPECT_EQ(transport_.Post(response, "<x/>", "processRequest"), kEFail) << c.name;
        EXPECT_EQ(transport_.LastTransportError(), 0u) << c.name << ": no request, no code";
    }
}

TEST_F(TransportTest, AResetConnectionIs12031) {
    server_.resetProbe();
    ASSERT_EQ(transport_.Connect(url()), kSOk);
    QString response;
    EXPECT_EQ(transport_.Post(response, QString()), kEFail);
    EXPECT_EQ(transport_.LastTransportError(), 12031u)
        << transport_.LastTransportDetail().toStdString();
}

TEST_F(TransportTest, AnAnswerOverTheCapFailsWithItsOwnCode) {
    transport_.setMaxResponseBytes(1000);
    server_.setReply("", Reply{Behaviour::Answer, 200, "text/xml", std::string(5000, 'x')});
    ASSERT_EQ(transport_.Connect(url()), kSOk);
    QString response;
    EXPECT_EQ(transport_.Post(response, "<x/>", "processRequest"), kEFail);
    EXPECT_EQ(transport_.LastTransportError(), TransportCode::NotEnoughMemory);
    EXPECT_LE(response.size(), 1000);
}

TEST(TransportCodes, LibcurlResultsBecomePlatformCodes) {
    struct Case {
        CURLcode curl;
        long osErrno;
        std::uint32_t code;
    };
    const Case cases[] = {
        {CURLE_OK, 0, 0},
        {CURLE_COULDNT_CONNECT, ECONNREFUSED, 12029},
        {CURLE_COULDNT_RESOLVE_HOST, 0, 12007},
        {CURLE_OPERATION_TIMEDOUT, 0, 12002},
        {CURLE_RECV_ERROR, ECONNRESET, 12031},
        {CURLE_SEND_ERROR, EPIPE, 12031},
        {CURLE_RECV_ERROR, 0, 12030},
        {CURLE_PARTIAL_FILE, 0, 12030},
        {CURLE_URL_MALFORMAT, 0, 12005},
        {CURLE_UNSUPPORTED_PROTOCOL, 0, 12006},
        {CURLE_WEIRD_SERVER_REPLY, 0, 12152},
        {CURLE_GOT_NOTHING, 0, 12152},
        {CURLE_TOO_MANY_REDIRECTS, 0, 12156},
        {CURLE_BAD_FUNCTION_ARGUMENT, 0, 12009},
        {CURLE_HTTP2, 0, 12152},
        {CURLE_PEER_FAILED_VERIFICATION, 0, 12169},
        {CURLE_BAD_CONTENT_ENCODING, 0, 12175},
        {CURLE_REMOTE_FILE_NOT_FOUND, 0, 12028},
        {CURLE_LOGIN_DENIED, 0, 12015},
        {CURLE_OUT_OF_MEMORY, 0, 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlatformCodeForCurl(c.curl, c.osErrno), c.code) << curl_easy_strerror(c.curl);
    }
    // After the connect step an unsupported protocol is an answer that is no
    // HTTP ("HTTP/0.9 not allowed"), not a wrong address.
    EXPECT_EQ(PlatformCodeForCurl(CURLE_UNSUPPORTED_PROTOCOL, 0, CurlStep::Send), 12152u);
}

// Every result libcurl documents has its own row, and each row's code reads as
// a platform code with a message of its own: never the silent internal-error
// fallback, never an empty box.
TEST(TransportCodes, TheWholeLibcurlTableIsMapped) {
    EXPECT_EQ(CurlCodesMapped(), int(CURL_LAST));
    TranslationTable translations;
    translations.LoadFromText(TranslationText());
    for (int code = 1; code < int(CURL_LAST); ++code) {
        SCOPED_TRACE(std::to_string(code) + " " + curl_easy_strerror(CURLcode(code)));
        for (const CurlStep step : {CurlStep::Connect, CurlStep::Send}) {
            const std::uint32_t platform = PlatformCodeForCurl(code, 0, step);
            EXPECT_TRUE(platform == TransportCode::NotEnoughMemory ||
                        (platform >= 12001 && platform <= 12175))
                << platform;
            EXPECT_FALSE(TransportErrorText(platform, translations).isEmpty());
        }
    }
    EXPECT_EQ(PlatformCodeForCurl(int(CURL_LAST) + 5, 0), TransportCode::InternalError);
}

namespace {

// A server on 127.0.0.1 that answers every connection with a line that is no
// HTTP, as a mail or shell server on the configured port would.
class NotHttpServer {
public:
    NotHttpServer() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 8);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                const int client = accept(listener_, nullptr, nullptr);
                if (client < 0) {
                    return;
                }
                char buffer[4096];
                const ssize_t got = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
                (void)got;
                const char line[] = "SSH-2.0-NotAWebService\r\n";
                (void)send(client, line, sizeof line - 1, MSG_NOSIGNAL);
                shutdown(client, SHUT_RDWR);
                close(client);
            }
        });
    }
    ~NotHttpServer() {
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

} // namespace

TEST_F(TransportTest, AnAnswerThatIsNoHttpIsAnInvalidServerResponse) {
    NotHttpServer server;
    ASSERT_EQ(
        transport_.Connect(
            QStringLiteral("http://127.0.0.1:%1/qvr/QVRGenericWebService?WSDL").arg(server.port())),
        kSOk);
    QString response;
    EXPECT_EQ(transport_.Post(response, QString()), kEFail);
    EXPECT_EQ(transport_.LastTransportError(), TransportCode::InvalidServerResponse)
        << transport_.LastTransportDetail().toStdString();
    transport_.Disconnect();
}

TEST(TransportErrorText, EveryRowOfTheErrorTable) {
    TranslationTable translations;
    translations.LoadFromText(TranslationText());
    struct Case {
        std::uint32_t code;
        QString text;
    };
    const Case cases[] = {
        {0, ""},
        {8, "The answer of the web service is too large."},
        {106, "T:msgErrInt20"},
        {108, "T:msgErrInt60"},
        {12001, "12001: "},
        {12002, "12002: T:msgTimeOut"},
        {12003, "12003: "},
        {12004, "12004: "},
        {12005, "12005: T:msgURLInvalid"},
        {12006, "12006: T:msgIntErr12006"},
        {12007, "12007: T:msgServerNameInv"},
        {12008, "12008: T:msgIntErr12008"},
        {12009, "12009: "},
        {12020, "12020: "},
        {12026, "12026: "},
        {12027, "12027: T:msgIntErr12019"},
        {12028, "12028: "},
        {12029, "12029: T:msgIntErr12029"},
        {12030, "12030: T:msgIntErrConectionEnd"},
        {12031, "12031: T:msgIntErr12031"},
        {12032, "12032: T:msgErrIntNotDefined"},
        {12035, "12035: T:msgErrIntNotDefined"},
        {12036, "12036: Request failed because the handle already exists."},
        {12037, "12037: SSL certificate date that was received from the server is bad. The "
                "certificate is expired."},
        {12152, "12152: "},
        {12156, "12156: "},
        {12163, "12163: T:msgIntErr12163"},
        {5, "T:msgErrIntNotDefined"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TransportErrorText(c.code, translations), c.text) << c.code;
    }
}

} // namespace
