#include "config/text_helpers.h"
#include "service/messages/messages.h"
#include "service/response_text.h"
#include "service_fixture.h"

#include <functional>

namespace {

using namespace std::chrono_literals;
using Reply = LoopbackBackOffice::Reply;
using Behaviour = LoopbackBackOffice::Behaviour;

const QString kRequestDump = QStringLiteral("\\Korvo_XML\\Log\\SettingsREQUEST.xml");
const QString kResponseDump = QStringLiteral("\\Korvo_XML\\Log\\SettingsResponse.xml");
const QString kErrDownload = QStringLiteral("\\Korvo_XML\\Log\\ErrDownload.xml");
const QString kSettingsFile = QStringLiteral("\\Program Files\\Korvo\\Korvo.properties");

// Fails a chosen step without recording a code, which the real transport
// never does: the call must still say something sensible.
class CodelessTransport final : public ServiceTransport {
public:
    explicit CodelessTransport(int failingStep) : failingStep_(failingStep) {}
    HResult Connect(const QString&) override { return step(); }
    HResult Post(QString& response, const QString&, const QString&) override {
        response = QStringLiteral("<?xml version=\"1.0\"?><x/>");
        return step();
    }

private:
    HResult step() {
        setLastTransportError(0);
        return steps_++ == failingStep_ ? kEFail : kSOk;
    }
    int failingStep_;
    int steps_ = 0;
};

struct CallCase {
    const char* name;
    std::function<void(LoopbackBackOffice&, CKorvoDoc&)> arrange;
    bool interactive;
    int result;
    QString caption; // of the last message box; empty: none shown
    QString text;
    MessageIcon icon;
    bool requestDump;
    bool responseDump;
    bool settingsRewritten;
    int codelessStep = -1; // fail this transport step without a code
};

const QString kSoapAnswer = QString::fromStdString(LoopbackBackOffice::SoapAnswer(
    "<KorvaneSettingsResponse><Settings MDID=\"9\"/></KorvaneSettingsResponse>"));

const CallCase kCallCases[] = {
    {"NoHost", [](auto&, CKorvoDoc& doc) { doc.hostIp.clear(); }, true, 1, Tr("msgErrInt"),
     Tr("msgAddressNotAvail"), MessageIcon::Error, false, false, false},
    {"NoPort", [](auto&, CKorvoDoc& doc) { doc.portNumber.clear(); }, true, 1, Tr("msgErrInt"),
     Tr("msgAddressNotAvail"), MessageIcon::Error, false, false, false},
    {"PortZero", [](auto&, CKorvoDoc& doc) { doc.portNumber = "0"; }, false, 1, Tr("msgErrInt"),
     Tr("msgAddressNotAvail"), MessageIcon::Error, false, false, false},
    {"ConnectRefused",
     [](auto&, CKorvoDoc& doc) {
         doc.portNumber = QString::number(LoopbackBackOffice::refusedPort());
     },
     false, 1, Tr("msgErrInt"), "12029: " + Tr("msgIntErr12029"), MessageIcon::Error, false, false,
     false},
    {"ConnectFailsWithoutCode", [](auto&, auto&) {}, false, 1, "Korvane", Tr("msgAddressNotAvail"),
     MessageIcon::Error, false, false, false, 0},
    {"ProbeReset", [](LoopbackBackOffice& s, auto&) { s.resetProbe(); }, false, 1, "Korvane",
     Tr("msgAddressNotAvail"), MessageIcon::Error, false, false, false},
    {"ProbeTimesOut", [](LoopbackBackOffice& s, auto&) { s.hangProbe(); }, false, 1,
     Tr("msgErrInt"), Tr("msgErrInt20"), MessageIcon::Error, false, false, false},
    {"ProbeFailsWithoutCode", [](auto&, auto&) {}, false, 1, "", "", MessageIcon::None, false,
     false, false, 1},
    {"ProbeNotXmlInteractive",
     [](LoopbackBackOffice& s, auto&) {
         s.setProbeReply({Behaviour::Answer, 200, "text/html", "<html/>"});
     },
     true, 1, "Korvane", Tr("msgInvalidIPWS"), MessageIcon::Error, false, false, false},
    {"ProbeNotXmlIgnoredWhenQuiet",
     [](LoopbackBackOffice& s, auto&) {
         s.setProbeReply({Behaviour::Answer, 200, "text/html", "<html/>"});
     },
     false, 0, "", "", MessageIcon::None, true, true, true},
    {"EmptyProbePasses",
     [](LoopbackBackOffice& s, auto&) {
         s.setProbeReply({Behaviour::Answer, 200, "text/xml", ""});
     },
     true, 0, "", "", MessageIcon::None, true, true, true},
    {"CallTimesOut", [](LoopbackBackOffice& s, auto&) { s.hang(""); }, false, 2,
     Tr("msgErrIntHTTP"), Tr("msgErrInt60"), MessageIcon::Error, true, false, false},
    {"CallReset", [](LoopbackBackOffice& s, auto&) { s.reset(""); }, false, 2, Tr("msgErrIntHTTP"),
     "12031: " + Tr("msgIntErr12031"), MessageIcon::Error, true, false, false},
    {"CallFailsWithoutCode", [](auto&, auto&) {}, false, 2, "", "", MessageIcon::None, false, false,
     false, 2},
    {"CallAnswerTooLarge",
     [](LoopbackBackOffice& s, auto&) {
         ServiceTransport::instance().setMaxResponseBytes(100);
         s.answer("", QString(200, QLatin1Char('x')));
     },
     false, 2, Tr("msgErrIntHTTP"), "The answer of the web service is too large.",
     MessageIcon::Error, true, false, false},
    {"SoapFault", [](LoopbackBackOffice& s, auto&) { s.fault("KORVANESETTINGS"); }, false, 2,
     "Korvane", Tr("msgIntErrReq"), MessageIcon::Error, true, false, false},
    {"BusinessErrorCode",
     [](LoopbackBackOffice& s, auto&) { s.businessError("", "E100", "refused"); }, false, 2,
     Tr("lblImportDate"), Tr("E100"), MessageIcon::None, true, true, true},
    {"Success",
     [](LoopbackBackOffice& s, auto&) {
         s.setReply("", {Behaviour::Answer, 200, "text/xml", kSoapAnswer.toStdString()});
     },
     true, 0, "", "", MessageIcon::None, true, true, true},
};

class CallServiceTable : public ServiceTest, public ::testing::WithParamInterface<CallCase> {
protected:
    CallServiceTable() {
        transport_.setProbeTimeout(200ms);
        transport_.setCallTimeout(300ms);
    }
};

TEST_P(CallServiceTable, ShowsResultsAndWritesFiles) {
    const CallCase& c = GetParam();
    c.arrange(server_, doc_);
    std::unique_ptr<CodelessTransport> codeless;
    std::unique_ptr<ScopedTransport> scope;
    if (c.codelessStep >= 0) {
        codeless = std::make_unique<CodelessTransport>(c.codelessStep);
        scope = std::make_unique<ScopedTransport>(*codeless);
    }
    SettingsMessage message(doc_, c.interactive);
    EXPECT_EQ(message.CallService(ApplicationVersion, doc_.webServicePath, c.interactive),
              c.result);

    QList<ScriptedPrompter::Shown> boxes;
    for (const auto& shown : prompter_.shown) {
        if (shown.kind == ScriptedPrompter::Kind::MessageBox) {
            boxes << shown;
        }
    }
    if (c.caption.isEmpty()) {
        EXPECT_TRUE(boxes.isEmpty()) << boxes.value(0).text.toStdString();
        EXPECT_TRUE(message.errorText().isEmpty());
    } else {
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].icon, c.icon);
        EXPECT_EQ(message.errorText(), c.text);
    }
    if (c.codelessStep < 0) {
        EXPECT_EQ(exists(kRequestDump), c.requestDump);
    }
    EXPECT_EQ(exists(kResponseDump), c.responseDump);
    EXPECT_EQ(exists(kSettingsFile), c.settingsRewritten);
    EXPECT_EQ(doc_.currentSettings.has_value(), c.result == 0);
    if (QString(c.name) == "BusinessErrorCode") {
        EXPECT_TRUE(read(kResponseDump).startsWith((Tr("E100") + " ").toLatin1()));
    }
    if (c.caption == Tr("msgErrInt") && c.text == Tr("msgAddressNotAvail")) {
        EXPECT_TRUE(server_.requests().empty()) << "no network activity without an address";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CallServiceTable, ::testing::ValuesIn(kCallCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, ASoapFaultIsKeptInErrDownloadAndClearedByTheNextGoodAnswer) {
    // Every character as its low byte, unlike the ANSI dumps: U+20AC is 0xAC, not "?".
    server_.fault("", QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));
    SettingsMessage failing(doc_, false);
    EXPECT_EQ(failing.CallService(ApplicationVersion, "qvr", false), 2);
    EXPECT_EQ(read(kErrDownload), QByteArray::fromStdString(LoopbackBackOffice::SoapFault("boom"))
                                      .replace("boom", "caf\xE9 \xAC"));

    server_.answer("", "<KorvaneSettingsResponse/>");
    SettingsMessage good(doc_, false);
    EXPECT_EQ(good.CallService(ApplicationVersion, "qvr", false), 0);
    EXPECT_FALSE(exists(kErrDownload));
}

TEST_F(ServiceTest, ErrDownloadGoesToAMountedCardElseToTheDeviceRoot) {
    DeviceFileSystem withCard(root(), {QStringLiteral("Storage Card")});
    ScopedDevice scope(withCard);
    doc_.storageLocation = QStringLiteral("Storage Card");
    server_.fault("");
    SettingsMessage unmounted(doc_, false);
    unmounted.CallService(ApplicationVersion, "qvr", false);
    EXPECT_TRUE(exists(kErrDownload));

    withCard.createDirectory("\\Storage Card");
    withCard.createDirectory("\\Storage Card\\Korvo_XML");
    withCard.createDirectory("\\Storage Card\\Korvo_XML\\Log");
    SettingsMessage mounted(doc_, false);
    mounted.CallService(ApplicationVersion, "qvr", false);
    EXPECT_TRUE(exists("\\Storage Card\\Korvo_XML\\Log\\ErrDownload.xml"));

    // The next good answer removes the card's copy; the message dumps stay in
    // main memory whatever the storage location.
    server_.answer("", "<KorvaneSettingsResponse/>");
    SettingsMessage good(doc_, false);
    EXPECT_EQ(good.CallService(ApplicationVersion, "qvr", false), 0);
    EXPECT_FALSE(exists("\\Storage Card\\Korvo_XML\\Log\\ErrDownload.xml"));
    EXPECT_TRUE(exists(kRequestDump));
    EXPECT_TRUE(exists(kResponseDump));
    EXPECT_FALSE(exists("\\Storage Card\\Korvo_XML\\Log\\SettingsREQUEST.xml"));
    EXPECT_FALSE(exists("\\Storage Card\\Korvo_XML\\Log\\SettingsResponse.xml"));
}

TEST_F(ServiceTest, InteractiveCallsShowTheStatusSequence) {
    server_.answer("", "<KorvaneSettingsResponse/>");
    SettingsMessage message(doc_, true);
    ASSERT_EQ(message.CallService(ApplicationVersion, "qvr", true), 0);
    const QStringList expected = {Tr("lblConnect") + "\n" + Tr("lblHostIP") + ": 127.0.0.1\n" +
                                      Tr("lblPortNr") + ": " + server_.portText(),
                                  Tr("msgConnected"),
                                  Tr("msgProcessRequest") + "\n" + Tr("msgPleaseWait"),
                                  Tr("msgRequestProcessedSuccessfully"), Tr("lblConSucces")};
    EXPECT_EQ(prompter_.statusTexts(), expected);
    for (const auto& shown : prompter_.shown) {
        EXPECT_EQ(shown.caption, "Korvane");
    }
    prompter_.clear();
    SettingsMessage quiet(doc_, false);
    ASSERT_EQ(quiet.CallService(ApplicationVersion, "qvr", false), 0);
    EXPECT_TRUE(prompter_.shown.isEmpty());
}

TEST_F(ServiceTest, TheServicePathAndTheTestDownloadValues) {
    struct Case {
        QString path;
        std::string target;
    };
    for (const Case& c : {Case{"", "/qvrgenericwebservice/QVRGenericWebService?WSDL"},
                          Case{"x", "/x/QVRGenericWebService?WSDL"}}) {
        server_.clearRequests();
        SettingsMessage message(doc_, false);
        ASSERT_EQ(message.CallService(ApplicationVersion, c.path, false), 0);
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].target, c.target);
        EXPECT_EQ(requests[1].target, c.target) << "the call goes where the probe went";
    }

    // The settings screen's test download uses the values typed there.
    doc_.pendingHostIp = doc_.hostIp;
    doc_.pendingPortNumber = doc_.portNumber;
    doc_.hostIp = "192.0.2.1";
    doc_.portNumber = "0";
    doc_.pendingPlantCode = "P2";
    doc_.settingsTestActive = true;
    server_.clearRequests();
    SettingsMessage test(doc_, true);
    ASSERT_EQ(test.CallService(ApplicationVersion, "qvr", true), 0);
    ASSERT_EQ(server_.calls().size(), 1u);
    EXPECT_NE(server_.calls()[0].body.find("PlantCode xmlns=&quot;&quot;&gt;P2&lt;"),
              std::string::npos);
    // The settings file keeps the saved values, not the typed ones.
    EXPECT_TRUE(read(kSettingsFile).contains("HostIP=192.0.2.1\n"));
}

TEST_F(ServiceTest, TheEnvelopeByteForByte) {
    doc_.plantCode = "P1";
    doc_.pdaCode = "D1";
    SettingsMessage message(doc_, false);
    ASSERT_EQ(message.CallService(ApplicationVersion, "qvr", false), 0);
    const QString header = ServiceHeaderText("ID011", "Retrieve", "KORVANESETTINGS", true);
    const QString request = message.BuildRequest();
    const QString expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><soap:Envelope "
        "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        "soap:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
        "xmlns:soap-enc=\"http://schemas.xmlsoap.org/soap/encoding/\"><soap:Body>"
        "<ns0:processRequest xmlns:ns0=\"urn:QVR\"><String_1>" +
        EscapeXml(header) + "</String_1><String_2>" + EscapeXml(request) +
        "</String_2></ns0:processRequest></soap:Body></soap:Envelope>";
    EXPECT_EQ(message.envelope().complete(), expected);
    EXPECT_EQ(QString::fromLatin1(server_.calls().at(0).body), expected);
    EXPECT_TRUE(message.envelope().header().isEmpty());
}

TEST(Escape, EveryMarkupCharacterExactlyOnce) {
    EXPECT_EQ(EscapeXml("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
    EXPECT_EQ(EscapeXml("&lt;"), "&amp;lt;");
    EXPECT_EQ(EscapeXml("plain"), "plain");
}

} // namespace

namespace {

TEST(Escape, DumpsAreIso8859WithOneReplacementPerCharacter) {
    EXPECT_EQ(ToAnsi(QString::fromUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E")), "a\xE9??");
}

} // namespace
