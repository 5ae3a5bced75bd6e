#include "service/messages/messages.h"
#include "service_fixture.h"

#include <QFile>

namespace {

using Reply = LoopbackBackOffice::Reply;
using Behaviour = LoopbackBackOffice::Behaviour;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

const QString kRoutes =
    QStringLiteral("<KorvaneRouteResponse><RouteControl><R RCID=\"1\" RNR=\"101\" D=\"North\"/>"
                   "</RouteControl></KorvaneRouteResponse>");

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "&lt;a&gt;";
    }
    text += "x";
    for (int i = 0; i < depth; ++i) {
        text += "&lt;/a&gt;";
    }
    return text;
}

struct BadAnswer {
    const char* name;
    std::string body;
};

const BadAnswer kBadAnswers[] = {
    {"Garbage", std::string("\x00\x01\x02 not xml at all <<<&&&;;", 27)},
    {"TruncatedAnswer", LoopbackBackOffice::SoapAnswer(kRoutes).substr(0, 300)},
    {"AnswerCutInsideAnEntity",
     LoopbackBackOffice::SoapAnswer(kRoutes).substr(0, 250) + "&am</returnValue>"},
    {"InvalidUtf8InAValue",
     LoopbackBackOffice::SoapAnswerEscaped(
         "&lt;KorvaneRouteResponse&gt;&lt;RouteControl&gt;&lt;R RCID=\"1\" D=\"\xFF\xFE\xC3\"/&gt;"
         "&lt;/RouteControl&gt;&lt;/KorvaneRouteResponse&gt;")},
    {"Latin1InsteadOfUtf8",
     LoopbackBackOffice::SoapAnswer(kRoutes).replace(
         LoopbackBackOffice::SoapAnswer(kRoutes).find("North"), 5, "N\xF6rth")},
    {"DeepNesting", LoopbackBackOffice::SoapAnswerEscaped(
                        "&lt;KorvaneRouteResponse&gt;&lt;RouteControl&gt;" + nested(200000) +
                        "&lt;/RouteControl&gt;&lt;/KorvaneRouteResponse&gt;")},
    {"UnclosedNesting", LoopbackBackOffice::SoapAnswerEscaped(nested(100000).substr(0, 900000))},
    {"ReturnValueEndsBeforeItStarts", "<x></returnValue>&lt;Code&gt;1<returnValue>"},
    {"CodeEndsBeforeItStarts", "<x>&lt;/Code&gt;&lt;Code&gt;E100</x>"},
    {"OnlyEntities", std::string(200000, '&') + "amp;lt;"},
};

class BadAnswers : public ServiceTest, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(BadAnswers, GiveAClearResultAndSaneRecords) {
    server_.setReply("", Reply{Behaviour::Answer, 200, "text/xml", GetParam().body});
    doc_.routes = {RouteControl{5, 5, "kept", 0, 0, 0}};
    RouteMessage message(doc_, false);
    const int result = message.CallService(ApplicationVersion, "qvr", false);
    EXPECT_TRUE(result == 0 || result == 2) << result;
    for (const RouteControl& route : doc_.routes) {
        EXPECT_TRUE(route.RCID == 1 || route.RCID == 5 || route.RCID == 0) << route.RCID;
        EXPECT_LE(route.D.size(), 16);
    }
    if (QString(GetParam().name) == "InvalidUtf8InAValue") {
        ASSERT_EQ(doc_.routes.size(), 1u);
        EXPECT_EQ(doc_.routes[0].D, QString(3, QChar::ReplacementCharacter));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadAnswers, ::testing::ValuesIn(kBadAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, AHugeAnswerIsRefusedWithAClearMessage) {
    server_.setReply("",
                     Reply{Behaviour::Answer, 200, "text/xml", std::string(50 * 1024 * 1024, 'x')});
    doc_.routes = {RouteControl{5, 5, "kept", 0, 0, 0}};
    RouteMessage message(doc_, false);
    EXPECT_EQ(message.CallService(ApplicationVersion, "qvr", false), 2);
    EXPECT_EQ(message.errorText(), "The answer of the web service is too large.");
    EXPECT_EQ(prompter_.shown.value(0).caption, Tr("msgErrIntHTTP"));
    EXPECT_EQ(doc_.routes.size(), 1u);
    EXPECT_FALSE(exists("\\Korvo_XML\\Log\\RouteResponse.xml"));
}

// Peak resident memory of the process (kB), and its reset.
long peakKilobytes() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

bool resetPeak() {
    QFile clear("/proc/self/clear_refs");
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

TEST_F(ServiceTest, EvaluatingAHugeAnswerKeepsMemoryToASmallMultiple) {
    // Millions of records outside the list the parser reads: well-formed,
    // so the whole document is built, and nothing comes out of it.
    const qsizetype target = kSanitized ? 8 * 1024 * 1024 : 50 * 1024 * 1024;
    const std::string record = "&lt;R RCID=\"7\" D=\"x\"/&gt;";
    std::string escaped = "&lt;KorvaneRouteResponse&gt;";
    escaped.reserve(static_cast<size_t>(target) + 200);
    while (static_cast<qsizetype>(escaped.size()) < target) {
        escaped += record;
    }
    escaped += "&lt;/KorvaneRouteResponse&gt;";
    QString answer = QString::fromStdString(LoopbackBackOffice::SoapAnswerEscaped(escaped));
    const qsizetype answerBytes = static_cast<qsizetype>(escaped.size());
    escaped = std::string();

    const bool measured = !kSanitized && resetPeak();
    const long before = peakKilobytes();
    RouteMessage message(doc_, false);
    EXPECT_EQ(message.EvaluateResponse(std::move(answer), message.ResponseDumpPath(), "", false),
              0);
    EXPECT_TRUE(doc_.routes.empty());
    if (measured && before > 0) {
        const double growth = double(peakKilobytes() - before) * 1024.0 / double(answerBytes);
        RecordProperty("PeakGrowthPerAnswerByte", QString::number(growth, 'f', 2).toStdString());
        std::cout << "peak growth " << growth << " bytes per answer byte\n";
        EXPECT_LT(growth, 8.0);
    }
}

TEST_F(ServiceTest, NothingTheServerSendsChoosesAFile) {
    const QString hostile = "..\\..\\..\\escape.xml";
    server_.businessError("", hostile, hostile);
    RouteMessage first(doc_, false);
    first.CallService(ApplicationVersion, "qvr", false);
    server_.setReply("", Reply{Behaviour::Answer, 500, "text/xml",
                               LoopbackBackOffice::SoapFault("/etc/passwd ..\\..\\x")});
    RouteMessage second(doc_, false);
    second.CallService(ApplicationVersion, "qvr", false);
    server_.answer("", "<KorvaneRouteResponse><!-- ../../x --></KorvaneRouteResponse>");
    RouteMessage third(doc_, false);
    third.CallService(ApplicationVersion, "qvr", false);
    // The failed exchanges are logged in the month's log, whatever they carried.
    QStringList files = deviceFiles();
    const qsizetype logs = files.removeIf(
        [](const QString& file) { return file.startsWith("device/Korvo_XML/Log/Korvane_"); });
    EXPECT_EQ(logs, 1);
    EXPECT_EQ(files, QStringList({"device/Korvo_XML/Log/RouteREQUEST.xml",
                                  "device/Korvo_XML/Log/RouteResponse.xml",
                                  "device/Program Files/Korvo/Korvo.properties"}));
}

} // namespace
