// The wire: what the handheld sends, byte for byte what it gets back.
#include "backoffice/embedded_back_office.h"
#include "backoffice/server.h"
#include "backoffice/xml_text.h"
#include "backoffice_fixture.h"

#include <arpa/inet.h>
#include <cerrno>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A connection to the loopback `port`, or -1.
int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One exchange the handheld's way: HTTP/1.0, one connection, read to the end.
std::string postHttp10(int port, const std::string& target, const std::string& body,
                       const std::string& action) {
    const int fd = connectLoopback(port);
    if (fd < 0) {
        return std::string();
    }
    const std::string request = "POST " + target +
                                " HTTP/1.0\r\nUser-Agent: CeHttp\r\nAccept: text/xml\r\n"
                                "Content-Type: text/xml; charset=ISO-8859-1\r\nSOAPAction: \"" +
                                action + "\"\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\n\r\n" + body;
    ::send(fd, request.data(), request.size(), 0);
    std::string answer;
    char buffer[8192];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return answer; // the connection was closed by the server, or this never ends
}

std::string bodyOf(const std::string& response) {
    const size_t at = response.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : response.substr(at + 4);
}

const std::string kTarget = "/qvrgenericwebservice/QVRGenericWebService?WSDL";

} // namespace

TEST(XmlText, ValuesSurviveAStandardReaderAndTheHandheldsDoubleDecode) {
    const std::string values[] = {"Pizza 12\"",
                                  "Bakkerij \"De Zon\"",
                                  "Jansen & Zn",
                                  "L'\xC3\x89picerie <Nord>",
                                  "&amp; stays &amp;",
                                  "&lt;Code&gt;1&lt;/Code&gt;",
                                  "env:Fault",
                                  "a\tb\nc",
                                  "?>"};
    bo::XmlOut out;
    out.raw(bo::kInnerDeclaration).start("R").rawAttr("xmlns", "urn:x");
    for (const std::string& value : values) {
        out.start("V").attr("v", value).text(value).end();
    }
    const std::string answer = bo::AnswerEnvelope(out.end().take());
    EXPECT_EQ(answer.find("env:Fault"), std::string::npos);
    EXPECT_EQ(answer.find("&lt;Code&gt;"), std::string::npos)
        << "no value looks like a result code";
    EXPECT_EQ(answer.substr(answer.find("<returnValue>") + 13, 61),
              R"(&lt;?xml version="1.0" encoding="UTF-8" standalone="yes"?&gt;)");

    for (const std::string& document :
         {StandardReturnedDocument(answer), KorvoReturnedDocument(answer)}) {
        pugi::xml_document parsed;
        ASSERT_TRUE(parsed.load_string(document.c_str())) << document;
        size_t i = 0;
        for (pugi::xml_node v : parsed.document_element().children("V")) {
            ASSERT_LT(i, std::size(values));
            std::string expected = values[i++];
            EXPECT_EQ(v.attribute("v").value(), expected);
            EXPECT_EQ(v.child_value(), expected);
        }
        EXPECT_EQ(i, std::size(values));
    }
}

// The handheld shows the Message of a refusal as it stands between the
// escaped tags, without decoding it: it must read the same there as in a
// standard reader.
TEST(XmlText, AMessageReadsTheSameRawAndDecoded) {
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {{"Packing note 4310104 is being worked on by handheld HH02.",
                  "Packing note 4310104 is being worked on by handheld HH02."},
                 {"handheld Dock:3", "handheld Dock 3"},
                 {"env:Fault", "env Fault"},
                 {"A & <B> \"C\" 'D'\r\n", "A    B   C   D   "},
                 {"Beh\xC3\xA4lter", "Beh\xC3\xA4lter"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bo::XmlOut out;
        out.raw(bo::kInnerDeclaration).start("R").leaf("Message", bo::PlainMessage(c.text)).end();
        const std::string answer = bo::AnswerEnvelope(out.take());
        const std::string start = "&lt;Message xmlns=\"\"&gt;";
        const size_t from = answer.find(start) + start.size();
        EXPECT_EQ(answer.substr(from, answer.find("&lt;/Message&gt;") - from), c.shown);
        pugi::xml_document parsed;
        ASSERT_TRUE(parsed.load_string(StandardReturnedDocument(answer).c_str()));
        EXPECT_STREQ(parsed.document_element().child_value("Message"), c.shown);
    }
}

TEST(XmlText, ValuesStayWellFormedUtf8) {
    struct Case {
        const char* name;
        std::string value;
        std::string written;
    } cases[] = {
        {"two, three and four bytes", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x93\xA6",
         "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x93\xA6"},
        {"a Latin-1 byte",
         "AB\xFF"
         "C",
         "AB?C"},
        {"a stray continuation byte", "\x80x", "?x"},
        {"cut short at the end", "x\xE2\x82", "x??"},
        {"overlong", "\xC0\xAF", "??"},
        {"a surrogate", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bo::ValueText(c.value), c.written) << c.name;
    }
}

TEST(XmlText, NumbersAreStrict) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> value;
    } cases[] = {{"42", 42},
                 {" 7\n", 7},
                 {"+3", 3},
                 {"-1", -1},
                 {"", {}},
                 {"1e3", {}},
                 {"12abc", {}},
                 {"0x1F", {}},
                 {"9223372036854775807", INT64_MAX},
                 {"9223372036854775808", {}}};
    for (const Case& c : cases) {
        EXPECT_EQ(bo::ParseInteger(c.text), c.value) << c.text;
    }
    EXPECT_EQ(bo::ParseUnsigned32("4294967295"), -1);
    EXPECT_EQ(bo::ParseUnsigned32("4294967296"), std::nullopt);
}

class Protocol : public ::testing::Test {
protected:
    static bo::EmbeddedBackOffice::Options options() {
        bo::EmbeddedBackOffice::Options options;
        options.today = kDay;
        options.clock = [] {
            return std::chrono::system_clock::from_time_t(1772611200); // 08:00 that day
        };
        return options;
    }
    bo::EmbeddedBackOffice office_{options()};
};

// Requests as the handheld writes them; answers as they must come back.
TEST_F(Protocol, RecordedRequestsGetTheirAnswersByteForByte) {
    const std::string head =
        R"(<?xml version="1.0" encoding="UTF-8"?><env:Envelope xmlns:env="http://schemas.xmlsoap.org/soap/envelope/"><env:Header/><env:Body><ns0:processRequestResponse xmlns:ns0="urn:QVR"><returnValue>&lt;?xml version="1.0" encoding="UTF-8" standalone="yes"?&gt;)";
    const std::string tail =
        "</returnValue></ns0:processRequestResponse></env:Body></env:Envelope>";
    const std::string ns = "http://korvane.local/webservice/generated/xmlbindings/";
    struct Case {
        const char* name;
        std::string function;
        std::string request;
        std::string returnValue; // after the declaration, escaped
    } cases[] = {
        {"settings", "KORVANESETTINGS",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><KorvaneSettingsRequest  xmlns="http://korvane.local/webservice/generated/xmlbindings/KorvaneSettingsRequest"><PlantCode xmlns="">2000</PlantCode><PDACode xmlns="">PN01</PDACode>)"
         "\n</KorvaneSettingsRequest>",
         "&lt;KorvaneSettingsResponse xmlns=\"" + ns +
             R"(KorvaneSettingsResponse"&gt;&lt;Settings xmlns="" ACS="false" AORD="0" ASB="false" DNC="0" DNENR="false" DNPP="1" MDID="5" OPI="false" PCS="false" PDID="4" POF="0" SPN="0"/&gt;&lt;Plant xmlns="" PID="2" PN="Korvane Cash &amp;#38; Carry" S="Industrieweg 4" C="Veldhaven" ZIP="5502 AB" ST="NL"/&gt;&lt;ContainerIDCodeRange xmlns=""/&gt;&lt;PlantDepartments xmlns=""&gt;&lt;PlantDepartments PDIDS="4" PDC="CNT" PDD="Counter sales"/&gt;&lt;/PlantDepartments&gt;&lt;/KorvaneSettingsResponse&gt;)"},
        {"employee", "KORVANEEMPLOYEE",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><KorvaneEmployeeRequest  xmlns="http://korvane.local/webservice/generated/xmlbindings/KorvaneEmployeeRequest"><MobileDevice_ID xmlns="">1</MobileDevice_ID><EmployeeNumber xmlns="">1004</EmployeeNumber>)"
         "\n</KorvaneEmployeeRequest>",
         "&lt;KorvaneEmployeeResponse xmlns=\"" + ns +
             R"(KorvaneEmployeeResponse"&gt;&lt;Employee xmlns="" EID="4" ENR="1004" N="Joost de Wit"/&gt;&lt;/KorvaneEmployeeResponse&gt;)"},
        {"packing note scanned, of another plant", "KORVANEPACKINGNOTE",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><KorvanePackingnoteRequest xmlns="http://korvane.local/webservice/generated/xmlbindings/KorvanePackingNoteRequest"><MobileDevice_ID xmlns="">1</MobileDevice_ID><RouteControl_ID xmlns="">1</RouteControl_ID><PlantDepartment_ID xmlns="">1</PlantDepartment_ID><Action xmlns="">1</Action><ScannedNoteNumber xmlns="">5200001</ScannedNoteNumber><Employee_ID xmlns="">1</Employee_ID></KorvanePackingnoteRequest>)",
         "&lt;KorvanePackingNoteResponse xmlns=\"" + ns +
             R"(KorvanePackingNoteResponse"&gt;&lt;Code xmlns=""&gt;BO101&lt;/Code&gt;&lt;Message xmlns=""&gt;&lt;/Message&gt;&lt;/KorvanePackingNoteResponse&gt;)"},
        {"unknown handheld", "KORVANECOUNT",
         R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><KorvaneCountRequest  xmlns="http://korvane.local/webservice/generated/xmlbindings/KorvaneCountRequest"><MobileDevice_ID xmlns="">0</MobileDevice_ID><PackingNote_ID xmlns="">0</PackingNote_ID></KorvaneCountRequest>)",
         "&lt;KorvaneCountResponse xmlns=\"" + ns +
             R"(KorvaneCountResponse"&gt;&lt;Code xmlns=""&gt;1&lt;/Code&gt;&lt;Message xmlns=""&gt;Not able to create normal return message. Invalid user, check log files.&lt;/Message&gt;&lt;/KorvaneCountResponse&gt;)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string response = postHttp10(
            office_.port(), kTarget, KorvoEnvelope(c.function, c.request), "processRequest");
        EXPECT_EQ(response.substr(0, 15), "HTTP/1.1 200 OK");
        EXPECT_EQ(bodyOf(response), head + c.returnValue + tail);
    }
}

TEST_F(Protocol, ProbeWsdlFaultsAndLimits) {
    const std::string probe = postHttp10(office_.port(), kTarget, "", "");
    EXPECT_NE(probe.find("<?xml version="), std::string::npos) << "the handheld's probe wants XML";
    EXPECT_NE(probe.find("processRequest"), std::string::npos);
    EXPECT_NE(probe.find("Connection: close"), std::string::npos);

    httplib::Client client("127.0.0.1", office_.port());
    const auto wsdl = client.Get("/qvrgenericwebservice/QVRGenericWebService?WSDL");
    ASSERT_TRUE(wsdl);
    EXPECT_EQ(wsdl->status, 200);
    pugi::xml_document description;
    ASSERT_TRUE(description.load_string(wsdl->body.c_str()));
    EXPECT_EQ(std::string(description.document_element().name()), "definitions");
    EXPECT_EQ(client.Get("/other/QVRGenericWebService?WSDL")->status, 404);

    struct Case {
        const char* name;
        std::string body;
        int status;
    } cases[] = {
        {"not XML", "hello", 500},
        {"no envelope", "<a/>", 500},
        {"envelope without call",
         R"(<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"><soap:Body/></soap:Envelope>)",
         500},
        {"header no document",
         R"(<e:Envelope xmlns:e="x"><e:Body><p:processRequest xmlns:p="urn:QVR"><String_1>x</String_1><String_2/></p:processRequest></e:Body></e:Envelope>)",
         500},
        {"too big", std::string(1024 * 1024 + 1, 'x'), 413},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reply =
            client.Post("/qvrgenericwebservice/QVRGenericWebService?WSDL", c.body, "text/xml");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, c.status);
        if (c.status == 500) {
            EXPECT_NE(reply->body.find("env:Fault"), std::string::npos);
        }
    }
}

namespace {

// A connection to `port` that sends `head` and then trickles `drip`, one
// byte every `pause`, until the server closes it or `limit` passes. Returns
// how long the server kept it.
std::chrono::milliseconds keptOpen(int port, const std::string& head,
                                   std::chrono::milliseconds pause, std::chrono::seconds limit) {
    const auto started = std::chrono::steady_clock::now();
    const int fd = connectLoopback(port);
    if (fd < 0) {
        return {};
    }
    ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    const timeval wait{0, static_cast<suseconds_t>(pause.count() * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char byte = 'x';
    while (std::chrono::steady_clock::now() - started < limit) {
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
            ::send(fd, &byte, 1, MSG_NOSIGNAL) < 0) {
            break; // closed by the server
        }
    }
    ::close(fd);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 started);
}

} // namespace

// A request that stops half-way, or comes a byte at a time, does not keep
// a worker for ever.
TEST_F(OfficeTest, SlowAndHalfSentRequestsAreCut) {
    bo::ServerOptions options;
    options.readTimeout = std::chrono::seconds(1);
    options.connectionLifetime = std::chrono::seconds(2);
    auto server = std::make_unique<bo::Server>(*handlers_, options);
    ASSERT_TRUE(server->bind());
    server->start();
    const int port = server->port();
    const std::string half = "POST " + kTarget + " HTTP/1.0\r\nContent-Length: 100\r\n\r\n<soap";
    EXPECT_LT(keptOpen(port, half, std::chrono::milliseconds(3000), std::chrono::seconds(20)),
              std::chrono::seconds(10))
        << "silent after half a request";
    const std::string slow = "POST " + kTarget + " HTTP/1.0\r\nX-Slow: ";
    EXPECT_LT(keptOpen(port, slow, std::chrono::milliseconds(300), std::chrono::seconds(30)),
              std::chrono::seconds(15))
        << "a header a byte at a time";

    // Stopping finishes the exchanges in flight, but does not wait for a
    // request that never ends.
    std::thread dribbler(
        [&] { keptOpen(port, slow, std::chrono::milliseconds(300), std::chrono::seconds(30)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto stopping = std::chrono::steady_clock::now();
    server.reset(); // stops and waits for the server's threads
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(10))
        << "stopped while a request came a byte at a time";
    dribbler.join();
}

// The age limit is for connections that never finish a request; a kept-alive
// connection that keeps getting answers is not cut under a caller's feet.
TEST_F(OfficeTest, ABusyKeptAliveConnectionIsNotCut) {
    bo::ServerOptions options;
    options.connectionLifetime = std::chrono::seconds(1);
    bo::Server server(*handlers_, options);
    ASSERT_TRUE(server.bind());
    server.start();
    const int fd = connectLoopback(server.port());
    ASSERT_GE(fd, 0);
    const timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    const std::string request = "GET " + kTarget + " HTTP/1.1\r\nHost: office\r\n\r\n";
    int answered = 0;
    std::string pending;
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - started < std::chrono::seconds(7)) {
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
            break;
        }
        // One whole answer: the head, then Content-Length bytes.
        size_t end = std::string::npos;
        size_t length = 0;
        char buffer[8192];
        for (;;) {
            end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                const size_t at = pending.find("Content-Length: ");
                length = at < end ? std::stoul(pending.substr(at + 16)) : 0;
                if (pending.size() >= end + 4 + length) {
                    break;
                }
            }
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            pending.append(buffer, static_cast<size_t>(n));
        }
        if (end == std::string::npos || pending.size() < end + 4 + length) {
            break; // cut
        }
        pending.erase(0, end + 4 + length);
        ++answered; // fewer than the 100 a kept-alive connection may carry
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::close(fd);
    EXPECT_GE(answered, 50) << "the connection was cut after " << answered << " answers";
    server.stop();
}

// The library takes header lines without a limit: a client pouring them in
// is cut after a few MiB instead of growing the server's memory until the
// age limit ends it a minute later.
TEST_F(OfficeTest, AHeaderFloodIsCut) {
    bo::Server server(*handlers_, bo::ServerOptions{});
    ASSERT_TRUE(server.bind());
    server.start();
    const int fd = connectLoopback(server.port());
    ASSERT_GE(fd, 0);
    const timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    constexpr size_t kLimit = size_t{64} << 20;
    std::string chunk = "POST " + kTarget + " HTTP/1.1\r\nHost: office\r\n";
    const std::string line = "X-Flood: " + std::string(8000, 'x') + "\r\n";
    size_t sent = 0;
    bool cut = false;
    bool stalled = false; // the server stopped reading but kept the connection
    while (!cut && !stalled && sent < kLimit) {
        // Whole lines only: a line cut short would join the next one into a
        // line too long for the library, which would end the test too early.
        for (size_t at = 0; at < chunk.size();) {
            const ssize_t n = ::send(fd, chunk.data() + at, chunk.size() - at, MSG_NOSIGNAL);
            if (n <= 0) {
                cut = errno == EPIPE || errno == ECONNRESET;
                stalled = !cut;
                break;
            }
            at += static_cast<size_t>(n);
            sent += static_cast<size_t>(n);
        }
        chunk = line;
    }
    ::close(fd);
    EXPECT_TRUE(cut) << "still open after " << (sent >> 20) << " MiB of headers";
    server.stop();
}
