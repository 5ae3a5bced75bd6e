#include "config/log.h"
#include "config/text_helpers.h"
#include "service/messages/messages.h"
#include "service/response_text.h"
#include "service/xml_cursor.h"
#include "service_fixture.h"

#include <QRandomGenerator>

namespace {

const QString kDump = QStringLiteral("\\Korvo_XML\\Log\\RouteResponse.xml");
const QString kRoutes =
    QStringLiteral("<KorvaneRouteResponse><RouteControl><R RCID=\"1\" RNR=\"101\" D=\"North\"/>"
                   "</RouteControl></KorvaneRouteResponse>");

struct CodeCase {
    const char* name;
    QString code;
    QString message;
    int result;
    QString shown; // empty: nothing shown
};

const CodeCase kCodeCases[] = {
    {"BlankCodeIsSuccess", " ", "ignored", 0, ""},
    {"EmptyCodeIsSuccess", "", "ignored", 0, ""},
    {"ZeroIsABusinessCode", "0", "m", 1, "0 Not Translated !"},
    {"TranslatedCode", "E100", "m", 1, Tr("E100")},
    {"EmptyTranslationShowsTheMessage", "E200", "Try later", 1, "Try later"},
    {"Code1InvalidUser", "1", kInvalidUserMessage, 1, Tr("ErrInvalidUser")},
    {"Code1ServerDown", "1", kServerDownMessage, 1, Tr("ErrServerDown")},
    {"Code1OtherText", "1", "Something else", 1, Tr("ErrServerDown1")},
    {"Code1TextDiffersInCase", "1", kInvalidUserMessage.toLower(), 1, Tr("ErrServerDown1")},
    {"TwoBlanksIsACode", "  ", "m", 1, "   Not Translated !"},
};

class CodeTable : public ServiceTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CodeTable, ShowsTheMatchingTextAndDumpsTheAnswer) {
    const CodeCase& c = GetParam();
    doc_.routes = {RouteControl{5, 5, "kept", 0, 0, 0}};
    const QString answer = QString::fromStdString(LoopbackBackOffice::SoapAnswer(
        LoopbackBackOffice::ErrorDocument("KorvaneRouteResponse", c.code, c.message)));
    RouteMessage message(doc_, false);
    EXPECT_EQ(message.EvaluateResponse(answer, kDump, "", false), c.result);
    if (c.shown.isEmpty()) {
        EXPECT_TRUE(prompter_.shown.isEmpty());
        EXPECT_TRUE(doc_.routes.empty()) << "parsed: the answer has no RouteControl";
        EXPECT_TRUE(read(kDump).startsWith("<returnValue><KorvaneRouteResponse>"));
    } else {
        ASSERT_EQ(prompter_.shown.size(), 1);
        EXPECT_EQ(prompter_.shown[0].caption, Tr("lblImportDate"));
        EXPECT_EQ(prompter_.shown[0].icon, MessageIcon::None);
        EXPECT_EQ(prompter_.shown[0].text, c.shown);
        EXPECT_EQ(message.errorText(), c.shown);
        EXPECT_EQ(doc_.routes.size(), 1u) << "an error code leaves the work state alone";
        const QByteArray dump = read(kDump);
        EXPECT_TRUE(dump.startsWith(ToAnsi(c.shown + " <env:Envelope")));
        EXPECT_TRUE(dump.endsWith("</env:Envelope>"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CodeTable, ::testing::ValuesIn(kCodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, AnAbsurdlyLongCodeIsCutBeforeItIsShown) {
    const QString answer = QString::fromStdString(LoopbackBackOffice::SoapAnswer(
        LoopbackBackOffice::ErrorDocument("X", QString(100000, 'E'), "m")));
    RouteMessage message(doc_, false);
    EXPECT_EQ(message.EvaluateResponse(answer, kDump, "", false), 1);
    EXPECT_EQ(message.errorText(), QString(kMaxShownAnswerText, 'E') + " Not Translated !");
}

TEST_F(ServiceTest, TheReturnedDocumentIsCutAtItsOwnDeclaration) {
    struct Case {
        const char* name;
        std::string answer;
    };
    const std::string escapedRoutes = LoopbackBackOffice::EscapeText(kRoutes).toStdString();
    const Case cases[] = {
        {"standard declaration", LoopbackBackOffice::SoapAnswer(kRoutes)},
        {"other declaration",
         LoopbackBackOffice::SoapAnswerEscaped("&lt;?xml version=\"1.0\"?&gt;" + escapedRoutes)},
        {"no declaration", LoopbackBackOffice::SoapAnswerEscaped(escapedRoutes)},
        {"declaration end not escaped",
         LoopbackBackOffice::SoapAnswerEscaped("&lt;?xml version=\"1.0\"?>" + escapedRoutes)},
        {"no declaration of the answer itself", LoopbackBackOffice::SoapAnswer(kRoutes).substr(38)},
        {"neither the answer's declaration nor an escaped end",
         LoopbackBackOffice::SoapAnswerEscaped("&lt;?xml version=\"1.0\"?>" + escapedRoutes)
             .substr(38)},
    };
    for (const Case& c : cases) {
        doc_.routes.clear();
        RouteMessage message(doc_, false);
        EXPECT_EQ(message.EvaluateResponse(QString::fromStdString(c.answer), kDump, "", false), 0);
        ASSERT_EQ(doc_.routes.size(), 1u) << c.name;
        EXPECT_EQ(doc_.routes[0].D, "North") << c.name;
        EXPECT_EQ(read(kDump), "<returnValue>" + kRoutes.toLatin1() + "</returnValue>") << c.name;
    }
}

TEST_F(ServiceTest, WithoutAReturnValueNothingIsParsed) {
    for (const std::string& answer :
         {std::string("<a>no return value</a>"), std::string("</returnValue><returnValue>"),
          std::string("<returnValue>&lt;KorvaneRouteResponse&gt;"),
          // At the very start it is not cut either: the document loads as nothing.
          std::string(
              "<returnValue>&lt;KorvaneRouteResponse&gt;&lt;RouteControl&gt;&lt;R RCID=\"1\"/&gt;"
              "&lt;/RouteControl&gt;&lt;/KorvaneRouteResponse&gt;</returnValue>")}) {
        RouteMessage message(doc_, false);
        EXPECT_EQ(message.EvaluateResponse(QString::fromStdString(answer), kDump, "", false), 0);
        EXPECT_TRUE(doc_.routes.empty()) << answer;
        EXPECT_TRUE(prompter_.shown.isEmpty());
    }
}

TEST(FindEscapedTag, CutsBetweenTheEscapedTags) {
    struct Case {
        QString text;
        QString result;
    };
    const Case cases[] = {
        {"x&lt;Code xmlns=\"\"&gt;E1&lt;/Code&gt;", "E1"},
        {"x&lt;Code&gt;E2&lt;/Code&gt;", "E2"},
        // The namespaced tag wins, but the first end tag comes before it.
        {"&lt;Code&gt;A&lt;/Code&gt;&lt;Code xmlns=\"\"&gt;B&lt;/Code&gt;", ""},
        {"x&lt;Code&gt;E3", ""},
        {"x&lt;/Code&gt;E4&lt;Code&gt;", ""},
        {"&lt;Code xmlns=&quot;&quot;&gt;E5&lt;/Code&gt;", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindEscapedTag(c.text, "Code"), c.result) << c.text.toStdString();
    }
}

// The six replacements one after the other, as written down for the handheld.
QString unescapeBySixPasses(QString text) {
    text.replace("&amp;", "&");
    text.replace("&lt;", "<");
    text.replace("&gt;", ">");
    text.replace("&quot;", "\"");
    text.replace("&apos;", "'");
    text.replace("&amp;", "&");
    return text;
}

TEST(Unescape, AgreesWithTheSixPassesOnRandomText) {
    const char* const pieces[] = {"&",     "amp;", "lt;", "gt;", "quot;",
                                  "apos;", "a",    ";",   "<",   "&amp;"};
    QRandomGenerator random(7);
    for (int round = 0; round < 5000; ++round) {
        QString text;
        const int length = random.bounded(12);
        for (int i = 0; i < length; ++i) {
            text += QLatin1String(pieces[random.bounded(int(std::size(pieces)))]);
        }
        QString fast = text;
        UnescapeReturnedDocument(fast);
        ASSERT_EQ(fast, unescapeBySixPasses(text)) << text.toStdString();
    }
    QString twice = "&amp;lt;b&amp;gt;";
    UnescapeReturnedDocument(twice);
    EXPECT_EQ(twice, "<b>");
}

XmlCursor record(const QString& attributes) {
    return XmlCursor::LoadDocument("<r><e " + attributes + "/></r>").FindChild("e");
}

TEST(XmlCursor, AttributeConversions) {
    const XmlCursor e = record("t='TRUE' u='True' f='false' F='FALSE' x='0x1F' o='012' "
                               "n='  -42abc' big='99999999999' s='-99999999999' "
                               "long='0000000000000000000000000000000000000000007' "
                               "w='\xC4\xB1\xC4\xB2' blank=''");
    EXPECT_TRUE(e.AttributeBool("t", false));
    EXPECT_TRUE(e.AttributeBool("u", true));
    EXPECT_FALSE(e.AttributeBool("u", false));
    EXPECT_FALSE(e.AttributeBool("f", true));
    EXPECT_FALSE(e.AttributeBool("F", true));
    EXPECT_TRUE(e.AttributeBool("blank", true));
    EXPECT_TRUE(e.AttributeBool("missing", true));
    EXPECT_EQ(e.AttributeIntFormatted("x", 5), 31);
    EXPECT_EQ(e.AttributeIntFormatted("o", 5), 10);
    EXPECT_EQ(e.AttributeIntFormatted("blank", 5), 5);
    EXPECT_EQ(e.AttributeIntFormatted("missing", 5), 5);
    EXPECT_EQ(e.AttributeText("missing"), "");
    // Straight from the bytes, and exactly as the text helpers convert.
    for (const char* name : {"t", "x", "o", "n", "big", "s", "long", "w", "blank", "missing"}) {
        const QString text = e.AttributeText(name);
        EXPECT_EQ(e.AttributeInt(name), WholeTextToInt(text)) << name;
        EXPECT_EQ(e.AttributeInt31(name), TextToInt(text, 31)) << name;
    }
    EXPECT_EQ(e.AttributeInt("n"), -42);
    EXPECT_EQ(e.AttributeInt("long"), 7);
    EXPECT_EQ(e.AttributeInt31("long"), 0) << "digits past the 31st character";
    EXPECT_EQ(e.AttributeInt31("w"), 12) << "low bytes of U+0131 U+0132";
}

TEST(XmlCursor, WalksNodesAsTheHandheldDomDoes) {
    const XmlCursor root = XmlCursor::LoadDocument(
        "<r>\n  <!-- note --><?e pi?><e a='1'>x<b>y</b><!--c-->z</e><e a='2'/>text</r>");
    EXPECT_FALSE(root.isValid());
    EXPECT_EQ(root.tagName(), "r");
    const XmlCursor e = root.FindChild("e");
    EXPECT_EQ(e.index(), 2) << "comment, processing instruction, element";
    EXPECT_EQ(e.AttributeText("a"), "1");
    EXPECT_EQ(root.ChildText("e"), "xyz");
    EXPECT_EQ(root.ChildText("none"), "");
    QStringList seen;
    for (const XmlCursor& child : root.Children()) {
        seen << QString("%1:%2:%3")
                    .arg(child.index())
                    .arg(child.isElement())
                    .arg(child.AttributeText("a"));
    }
    EXPECT_EQ(seen, QStringList({"0:0:", "1:0:", "2:1:1", "3:1:2", "4:0:"}));
    EXPECT_FALSE(root.FindChild("x").isValid());
    EXPECT_FALSE(root.FindChild("x").FindChild("e").isValid());
    EXPECT_EQ(root.FindChild("x").AttributeInt("a"), 0);
}

TEST(XmlCursor, ADocumentThatDoesNotLoadHasNothingInIt) {
    for (const QString& text : {QString("<r><e a='1'/>"), QString("plain"), QString(""),
                                QString("<r><e a='1'/></r><second/>")}) {
        const XmlCursor root = XmlCursor::LoadDocument(text);
        EXPECT_FALSE(root.isElement()) << text.toStdString();
        EXPECT_FALSE(root.FindChild("e").isValid());
        EXPECT_FALSE(root.FirstChild().atNode());
    }
}

} // namespace

namespace {

// A value as XML puts it in an attribute or in element text.
QString xmlEscaped(const QString& value) {
    return EscapeXml(value);
}

struct QuoteCase {
    const char* name;
    QString value;
};

const QuoteCase kQuoteCases[] = {
    {"DoubleQuote", "Pizza 12\""},    {"QuotedName", "Bakkerij \"De Zon\""},
    {"Apostrophe", "O'Brien's"},      {"Ampersand", "Smit & Zonen"},
    {"AngleBrackets", "<5 kg> & >2"}, {"Everything", "\"'&<>&amp;&quot;"},
};

class QuotesInValues : public ServiceTest, public ::testing::WithParamInterface<QuoteCase> {
protected:
    // The note's customer (an attribute) and route text (element text) after
    // an answer escaped `times` times.
    std::pair<QString, QString> parsed(int times) {
        const QString value = GetParam().value;
        QString inner = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                        "<KorvanePackingNoteResponse><PackingNote PNID=\"7\" CN=\"" +
                        xmlEscaped(value) + "\"/><PackingNoteDetails><R>" + xmlEscaped(value) +
                        "</R></PackingNoteDetails></KorvanePackingNoteResponse>";
        for (int i = 0; i < times; ++i) {
            inner = LoopbackBackOffice::EscapeText(inner);
        }
        const QString answer =
            QString::fromStdString(LoopbackBackOffice::SoapAnswerEscaped(inner.toStdString()));
        doc_.currentPackingNote.reset();
        PackingNoteMessage message(doc_, false, NoteAction::CurrentById);
        EXPECT_EQ(message.EvaluateResponse(answer, message.ResponseDumpPath(), "", false), 0);
        if (!doc_.currentPackingNote || !doc_.currentPackingNote->details) {
            return {"<no note>", "<no details>"};
        }
        return {doc_.currentPackingNote->CN, doc_.currentPackingNote->details->R};
    }
};

} // namespace

TEST_P(QuotesInValues, ReadTheSameEscapedOnceOrTwice) {
    const QString value = GetParam().value;
    for (int times : {1, 2}) {
        SCOPED_TRACE(times == 1 ? "escaped once" : "escaped twice");
        const auto [attribute, text] = parsed(times);
        EXPECT_EQ(attribute, value);
        EXPECT_EQ(text, value);
    }
    EXPECT_FALSE(exists(LogFilePath(QString()))) << read(LogFilePath(QString())).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Evaluation, QuotesInValues, ::testing::ValuesIn(kQuoteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, AnAnswerNeitherDecodingReadsIsLoggedWithTheMessagesName) {
    const QString answer = QString::fromStdString(
        LoopbackBackOffice::SoapAnswerEscaped("&lt;KorvaneRouteResponse&gt;&lt;RouteControl&gt;"));
    RouteMessage message(doc_, false);
    EXPECT_EQ(message.EvaluateResponse(answer, kDump, "", false), 0);
    EXPECT_TRUE(doc_.routes.empty());
    const QByteArray log = read(LogFilePath(QString()));
    EXPECT_TRUE(log.startsWith("KORVANEROUTE.Error the answer is no readable XML document"))
        << log.toStdString();
}

TEST(ResponseText, XmlTextDecodedDecodesEachReferenceOnce) {
    EXPECT_EQ(XmlTextDecoded(u"<r>", u"&amp;quot;&lt;a b=\"&#34;&#x27;\"&gt;&amp;amp;"),
              "<r>&quot;<a b=\"\"'\">&amp;");
    // What is no reference stays as it stands.
    EXPECT_EQ(XmlTextDecoded(u"", u"a & b &bogus; &#0; &#xD800; &;"),
              "a & b &bogus; &#0; &#xD800; &;");
    EXPECT_EQ(XmlTextDecoded(u"", u"&#x1F600;"), QString::fromUtf8("\xF0\x9F\x98\x80"));
}
