#include "service/back_office.h"
#include "service/messages/messages.h"
#include "service_fixture.h"

#include <QRegularExpression>
#include <functional>

namespace {

// The work state a parser fills, as one line of text.
using Summary = std::function<QString(const CKorvoDoc&, const ServiceMessage&)>;

QString lineText(const packingnoteline& l) {
    return QString("%1/%2/%3/%4/%5/%6/%7/%8/%9/%10")
               .arg(l.PNLID)
               .arg(l.PS)
               .arg(l.PC, l.PD, l.SD, l.FMD)
               .arg(l.QO)
               .arg(l.QD)
               .arg(l.MINQ)
               .arg(l.MAXQ) +
           QString("/e%1/p%2/f%3").arg(l.editedQuantity).arg(l.parsedQuantity).arg(l.lineFlag);
}

template <typename T, typename F> QString joined(const std::vector<T>& items, F text) {
    QStringList parts;
    for (const T& item : items) {
        parts << text(item);
    }
    return parts.join(';');
}

QString lineListText(const std::optional<PackingNoteLineList>& list) {
    return list
               ? list->PackingNote_ID + "/" + list->StatusCode + "|" + joined(list->lines, lineText)
               : "none";
}

QString noteText(const PackingNote& n) {
    return QString("%1/%2/%3/%4/%5/%6")
        .arg(n.PNID)
        .arg(n.NNR, n.CN)
        .arg(n.SP)
        .arg(n.SC)
        .arg(n.PNCN);
}

const Summary kSettings = [](const CKorvoDoc& d, const ServiceMessage&) {
    if (!d.currentSettings) {
        return QString("none");
    }
    const Settings& s = *d.currentSettings;
    const Plant p = s.plant.value_or(Plant{});
    return QString("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12")
               .arg(s.ACS)
               .arg(s.AORD)
               .arg(s.ASB)
               .arg(s.DNC)
               .arg(s.DNENR)
               .arg(s.DNPP)
               .arg(s.MDID)
               .arg(s.OPI)
               .arg(s.PCS)
               .arg(s.PDID)
               .arg(s.POF)
               .arg(s.SPN) +
           QString("|%1,%2,%3,%4,%5,%6|").arg(p.PID).arg(p.PN, p.S, p.C, p.ZIP, p.ST) +
           joined(s.containerRanges,
                  [](const auto& r) { return QString("%1:%2:%3").arg(r.L).arg(r.MINR, r.MAXR); }) +
           "|" +
           joined(
               s.departments,
               [](const auto& r) { return QString("%1:%2:%3").arg(r.PDIDS).arg(r.PDC, r.PDD); }) +
           QString("|md%1").arg(d.mobileDeviceId);
};

const Summary kEmployee = [](const CKorvoDoc& d, const ServiceMessage& m) {
    const auto& result = static_cast<const EmployeeMessage&>(m).result();
    return (result ? QString("%1/%2/%3").arg(result->EID).arg(result->N).arg(result->ENR)
                   : QString("none")) +
           QString("|e%1").arg(d.employee);
};

const Summary kRoutes = [](const CKorvoDoc& d, const ServiceMessage&) {
    return joined(d.routes, [](const RouteControl& r) {
        return QString("%1/%2/%3/%4/%5/%6")
            .arg(r.RCID)
            .arg(r.RNR)
            .arg(r.D)
            .arg(r.QN)
            .arg(r.QP)
            .arg(r.QC);
    });
};

const Summary kPackingNote = [](const CKorvoDoc& d, const ServiceMessage&) {
    if (!d.currentPackingNote) {
        return QString("none");
    }
    const PackingNote& n = *d.currentPackingNote;
    QString text = noteText(n);
    if (n.details) {
        const PackingNoteDetails& x = *n.details;
        text += QString("|%1/%2/%3/%4/%5/%6/%7/")
                    .arg(x.SN)
                    .arg(x.DN)
                    .arg(x.DD, x.TA, x.R)
                    .arg(x.CPN)
                    .arg(x.CPD) +
                joined(x.C, [](const auto& c) { return c.CPID; }) + "/" +
                joined(x.UI, [](const auto& u) { return u.UI; });
    }
    return text;
};

const Summary kNoteList = [](const CKorvoDoc& d, const ServiceMessage&) {
    return joined(d.packingNoteList, noteText);
};

const Summary kLines = [](const CKorvoDoc& d, const ServiceMessage&) {
    return lineListText(d.packingNoteLines);
};

const Summary kCount = [](const CKorvoDoc& d, const ServiceMessage&) {
    return lineListText(d.countResult);
};

const Summary kContainerScan = [](const CKorvoDoc& d, const ServiceMessage&) {
    return joined(d.containerScanResult, [](const ContainerScanRecord& r) {
        return QString("%1/%2/%3").arg(r.PNID).arg(r.CPID, r.SC);
    });
};

const Summary kPoolScan = [](const CKorvoDoc& d, const ServiceMessage&) {
    if (!d.poolScanResult) {
        return QString("none");
    }
    const PoolScanResult& r = *d.poolScanResult;
    const packingnoteline l = r.line.value_or(packingnoteline{});
    return QString("%1/%2/%3/%4|")
               .arg(r.PackingNote_ID)
               .arg(r.StatusCode)
               .arg(r.UniqueItem_ID)
               .arg(r.UniqueBundle_ID) +
           joined(r.flags,
                  [](const Flag& f) {
                      return QString("%1/%2/%3/%4/%5/%6")
                          .arg(f.FC, f.D, f.FT)
                          .arg(f.P)
                          .arg(f.C)
                          .arg(f.A);
                  }) +
           QString("|%1/%2/%3/%4/%5/%6/%7/%8/%9/sb%10")
               .arg(l.PNLID)
               .arg(l.PC, l.PD, l.SD, l.FMD)
               .arg(l.QO)
               .arg(l.QD)
               .arg(l.MINQ)
               .arg(l.MAXQ)
               .arg(l.lineFlag);
};

template <typename M, auto... What> std::unique_ptr<ServiceMessage> make(CKorvoDoc& doc) {
    return std::make_unique<M>(doc, false, What...);
}

struct ParserCase {
    const char* name;
    std::function<std::unique_ptr<ServiceMessage>(CKorvoDoc&)> make;
    Summary summary;
    QString full;
    QString fullSummary;
    QString missingRecord;
    QString missingSummary;
    QString withComment;
    QString commentSummary;
    QString bareSummary = {}; // without the response element; empty: as the full answer
};

const ParserCase kParsers[] = {
    {"Settings", make<SettingsMessage>, kSettings,
     R"(<KorvaneSettingsResponse><Settings ACS="true" AORD="0x2" ASB="FALSE" DNC="012" DNENR="True" )"
     R"(DNPP="4" MDID="77" OPI="TRUE" PCS="true" PDID="5" POF="1" SPN="3"/>)"
     R"(<Plant PID="9" PN="North &amp; Co" S="Main St" C="Town" ZIP="1234" ST="ST"/>)"
     R"(<ContainerIDCodeRange><R L="8" MINR="10000000" MAXR="19999999"/><R L="6" MINR="A" MAXR="B"/>)"
     R"(</ContainerIDCodeRange><PlantDepartments><D PDIDS="1" PDC="PK" PDD="Packing"/>)"
     R"(<D PDIDS="2" PDC="DS" PDD="Dispatch"/></PlantDepartments></KorvaneSettingsResponse>)",
     "1,2,0,10,0,4,77,1,1,5,1,3|9,North & Co,Main St,Town,1234,ST|8:10000000:19999999;6:A:B|"
     "1:PK:Packing;2:DS:Dispatch|md77",
     R"(<KorvaneSettingsResponse><Plant PID="9"/></KorvaneSettingsResponse>)",
     "0,0,0,0,0,0,0,0,0,0,0,0|9,,,,,|||md0",
     R"(<KorvaneSettingsResponse><PlantDepartments><D PDIDS="1" PDC="PK" PDD="Packing"/><!-- x -->)"
     R"(<D PDIDS="2" PDC="DS" PDD="Dispatch"/></PlantDepartments></KorvaneSettingsResponse>)",
     "0,0,0,0,0,0,0,0,0,0,0,0|0,,,,,||1:PK:Packing;0::;2:DS:Dispatch|md0"},
    {"Employee", make<EmployeeMessage>, kEmployee,
     R"(<KorvaneEmployeeResponse><Employee EID="31" ENR="4711" N="Ann"/></KorvaneEmployeeResponse>)",
     "31/Ann/4711|e31", "<KorvaneEmployeeResponse/>", "0//0|e0",
     R"(<KorvaneEmployeeResponse><!-- x --><Employee EID="31" ENR="4711" N="Ann"/></KorvaneEmployeeResponse>)",
     "31/Ann/4711|e31"},
    {"Route", make<RouteMessage>, kRoutes,
     R"(<KorvaneRouteResponse><RouteControl><R RCID="1" RNR="101" D="North" QN="3" QP="2" QC="1"/>)"
     R"(<R RCID="2" RNR="102" D="South" QN="0" QP="0" QC="9"/></RouteControl></KorvaneRouteResponse>)",
     "1/101/North/3/2/1;2/102/South/0/0/9", "<KorvaneRouteResponse/>", "",
     R"(<KorvaneRouteResponse><RouteControl><R RCID="1" RNR="101" D="North" QN="3" QP="2" QC="1"/>)"
     R"(<!-- x --></RouteControl></KorvaneRouteResponse>)",
     "1/101/North/3/2/1;0/0//0/0/0"},
    {"PackingNote", make<PackingNoteMessage, NoteAction::CurrentById>, kPackingNote,
     R"(<KorvanePackingNoteResponse><PackingNote PNID="345" NNR="N-1" CN="Cust" SP="true" SC="10"/>)"
     R"(<PackingNoteDetails><SN>4</SN><DN>2</DN><DD>Dept</DD><TA>Truck</TA><R>r</R><CPN>7</CPN>)"
     R"(<CPD>Dock</CPD><C><c CPID="K1"/><c CPID="K2"/></C><UI><u UI="Fragile"/></UI>)"
     R"(</PackingNoteDetails></KorvanePackingNoteResponse>)",
     "345/N-1/Cust/1/10/0|4/2/Dept/Truck/r/7/Dock/K1;K2/Fragile",
     R"(<KorvanePackingNoteResponse><PackingNoteDetails><SN>4</SN></PackingNoteDetails></KorvanePackingNoteResponse>)",
     "0///0//0|4/0////0///",
     R"(<KorvanePackingNoteResponse><PackingNote PNID="345"/><PackingNoteDetails><C><c CPID="K1"/>)"
     R"(<!-- x --></C></PackingNoteDetails></KorvanePackingNoteResponse>)",
     "345///0//0|0/0////0//K1;/"},
    {"PackingNoteList", make<PackingNoteListMessage, NoteListKind::New>, kNoteList,
     R"(<KorvanePackingNoteListResponse><PackingNote><n PNID="1" NNR="A" CN="X" SP="false" PNCN="3"/>)"
     R"(<n PNID="2" NNR="B" CN="Y" SP="TRUE" PNCN="0"/></PackingNote></KorvanePackingNoteListResponse>)",
     "1/A/X/0//3;2/B/Y/1//0", "<KorvanePackingNoteListResponse/>", "",
     R"(<KorvanePackingNoteListResponse><PackingNote><!-- x --><n PNID="1" NNR="A" CN="X" SP="false" PNCN="3"/>)"
     R"(</PackingNote></KorvanePackingNoteListResponse>)",
     "0///0//0;1/A/X/0//3"},
    {"PackingNoteContainer", make<PackingNoteContainerMessage>, kPackingNote,
     R"(<KorvanePackingNoteContainerResponse><PackingNote PNID="9" NNR="Z" CN="W" SP="true" SC="x"/>)"
     R"(</KorvanePackingNoteContainerResponse>)",
     "9/Z/W/1//0", "<KorvanePackingNoteContainerResponse/>", "0///0//0",
     R"(<KorvanePackingNoteContainerResponse><!-- x --><PackingNote PNID="9" NNR="Z" CN="W" SP="true"/>)"
     R"(</KorvanePackingNoteContainerResponse>)",
     "9/Z/W/1//0"},
    {"PackingNoteLine", make<PackingNoteLineMessage>, kLines,
     R"(<KorvanePackingNoteLineResponse PackingNote_ID="345" StatusCode="20"><packingnoteline>)"
     R"(<l PNLID="11" PS="1" PC="P1" PD="Bolt" SD="s" FMD="f" QO="10" QD="8" MINQ="5" MAXQ="12"/>)"
     R"(</packingnoteline></KorvanePackingNoteLineResponse>)",
     "345/20|11/1/P1/Bolt/s/f/10/8/5/12/e-1/p8/f0",
     R"(<KorvanePackingNoteLineResponse PackingNote_ID="345" StatusCode="20"/>)", "345/20|",
     R"(<KorvanePackingNoteLineResponse PackingNote_ID="345" StatusCode="20"><packingnoteline><!-- x -->)"
     R"(<l PNLID="11" PS="1" PC="P1" PD="Bolt" SD="s" FMD="f" QO="10" QD="8" MINQ="5" MAXQ="12"/>)"
     R"(</packingnoteline></KorvanePackingNoteLineResponse>)",
     "345/20|0/0/////0/0/0/0/e-1/p0/f0;11/1/P1/Bolt/s/f/10/8/5/12/e-1/p8/f0",
     "/|11/1/P1/Bolt/s/f/10/8/5/12/e-1/p8/f0"},
    {"ContainerScan", make<ContainerScanMessage>, kContainerScan,
     R"(<r PNID="5" CPID="K7" SC="OK"/>)", "5/K7/OK", "", "0//",
     R"(<!-- x --><r PNID="5" CPID="K7" SC="OK"/>)", "0//"},
    {"PoolScan", make<PoolScanMessage>, kPoolScan,
     R"(<KorvanePackingNoteContainerResponse><PackingNote_ID>345</PackingNote_ID><StatusCode>30</StatusCode>)"
     R"(<UniqueItem_ID>5</UniqueItem_ID><UniqueBundle_ID>6</UniqueBundle_ID>)"
     R"(<Flag><f FC="F1" D="Stop" FT="now" P="2" C="FF0000" A="0x3"/></Flag>)"
     R"(<packingnoteline><l PNLID="11" QO="10" QD="9" MINQ="1" MAXQ="20" SB="4"/></packingnoteline>)"
     R"(<Product><p PC="P1" PD="Bolt" SD="s" FMD="f"/></Product></KorvanePackingNoteContainerResponse>)",
     "345/30/5/6|F1/Stop/now/2/FF0000/3|11/P1/Bolt/s/f/10/9/1/20/sb4",
     R"(<KorvanePackingNoteContainerResponse><PackingNote_ID>345</PackingNote_ID>)"
     R"(<StatusCode>30</StatusCode></KorvanePackingNoteContainerResponse>)",
     "345/30/0/0||0/////0/0/0/0/sb0",
     R"(<KorvanePackingNoteContainerResponse><Flag><!-- x --><f FC="F1" D="Stop" FT="now" P="2" C="FF0000" A="3"/></Flag>)"
     R"(<packingnoteline><!-- x --><l PNLID="11"/></packingnoteline></KorvanePackingNoteContainerResponse>)",
     "0//0/0|///0//0;F1/Stop/now/2/FF0000/3|0/////0/0/0/0/sb0"},
    {"Count", make<CountMessage>, kCount,
     R"(<KorvaneCountResponse><PackingNote_ID>345</PackingNote_ID><StatusCode>20</StatusCode><CountProduct>)"
     R"(<c PNLID="11" PS="2" PC="P1" PD="Bolt" SD="s" FMD="f" QO="10" QD="8" MINQD="5" MAXQD="12" MINQ="99"/>)"
     R"(<c PNLID="12" PC="P2" QO="1" QD="1"/><c PNLID="13" QD="-2"/></CountProduct></KorvaneCountResponse>)",
     "345/20|11/2/P1/Bolt/s/f/10/8/5/12/e-1/p8/f0;12/0/P2////1/1/0/0/e-1/p1/f0;"
     "13/0/////0/-2/0/0/e-1/p-2/f0",
     R"(<KorvaneCountResponse><PackingNote_ID>345</PackingNote_ID></KorvaneCountResponse>)",
     "345/|",
     R"(<KorvaneCountResponse><CountProduct><c PNLID="11"/><!-- x --></CountProduct></KorvaneCountResponse>)",
     "/|11/0/////0/0/0/0/e-1/p0/f0;0/0/////0/0/0/0/e-1/p0/f0"},
};

QString returned(const QString& document) {
    return "<returnValue>" + document + "</returnValue>";
}

// The records below the response element, without it.
QString bare(const QString& document) {
    static const QRegularExpression wrapper(R"(^<(\w+)[^>]*>(.*)</\1>$)");
    const auto match = wrapper.match(document);
    return match.hasMatch() ? match.captured(2) : document;
}

class Parsers : public ServiceTest, public ::testing::WithParamInterface<ParserCase> {
protected:
    QString parse(const QString& document) {
        CKorvoDoc doc;
        auto message = GetParam().make(doc);
        message->ParseResponse(document);
        return GetParam().summary(doc, *message);
    }
};

TEST_P(Parsers, FillTheirRecords) {
    const ParserCase& c = GetParam();
    EXPECT_EQ(parse(returned(c.full)), c.fullSummary);
    EXPECT_EQ(parse(returned(bare(c.full))),
              c.bareSummary.isEmpty() ? c.fullSummary : c.bareSummary);
    EXPECT_EQ(parse(returned(c.missingRecord)), c.missingSummary);
    EXPECT_EQ(parse(returned(c.withComment)), c.commentSummary);
}

TEST_P(Parsers, AnAnswerCutAnywhereGivesNothingOrEverything) {
    const ParserCase& c = GetParam();
    const QString document = returned(c.full);
    const QString nothing = parse(QString());
    for (qsizetype length = 0; length < document.size(); ++length) {
        ASSERT_EQ(parse(document.left(length)), nothing) << length;
    }
    EXPECT_EQ(parse(document), c.fullSummary);
}

TEST_P(Parsers, ABusinessErrorLeavesTheWorkStateAlone) {
    const ParserCase& c = GetParam();
    auto message = c.make(doc_);
    ASSERT_EQ(
        message->EvaluateResponse(QString::fromStdString(LoopbackBackOffice::SoapAnswer(c.full)),
                                  message->ResponseDumpPath(), "", false),
        0);
    const QString before = c.summary(doc_, *message);
    EXPECT_EQ(before, c.fullSummary);
    auto second = c.make(doc_);
    EXPECT_EQ(second->EvaluateResponse(
                  QString::fromStdString(LoopbackBackOffice::SoapAnswer(
                      LoopbackBackOffice::ErrorDocument("KorvaneResponse", "E100", "no"))),
                  second->ResponseDumpPath(), "", false),
              1);
    EXPECT_EQ(c.summary(doc_, *message), before);
}

INSTANTIATE_TEST_SUITE_P(Each, Parsers, ::testing::ValuesIn(kParsers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceTest, RecordsAreReusedInPlace) {
    const Settings* settings = &doc_.currentSettings.emplace();
    PackingNoteLineList* lines = &doc_.packingNoteLines.emplace();
    SettingsMessage(doc_, false).ParseResponse(returned(kParsers[0].full));
    PackingNoteLineMessage(doc_, false).ParseResponse(returned(kParsers[6].full));
    EXPECT_EQ(&*doc_.currentSettings, settings);
    EXPECT_EQ(doc_.currentSettings->MDID, 77);
    EXPECT_EQ(&*doc_.packingNoteLines, lines);
    EXPECT_EQ(lines->lines.size(), 1u);

    // A settings answer without departments removes the earlier ones.
    SettingsMessage(doc_, false).ParseResponse(returned("<KorvaneSettingsResponse/>"));
    EXPECT_TRUE(doc_.currentSettings->departments.empty());

    // Container scan answers accumulate.
    for (int i = 0; i < 3; ++i) {
        ContainerScanMessage(doc_, false).ParseResponse(returned(kParsers[7].full));
    }
    EXPECT_EQ(doc_.containerScanResult.size(), 3u);
}

// The parser reads a scanned note's route change and leaves the worker's
// route to the screen, whatever the plant's rule.
TEST_F(ServiceTest, AScannedNoteReadsItsRouteChangeAndAsksNothing) {
    const struct {
        const char* name;
        QString answer;
        QString change; // FD/RCID/RNR/D/QN/QP/QC read
    } rows[] = {
        {"with a route change",
         R"(<KorvanePackingNoteResponse><PackingNote PNID="3"/><RouteChange FD="20240305" )"
         R"(RCID="55" RNR="202" D="New" QN="7" QP="8" QC="9"/></KorvanePackingNoteResponse>)",
         "20240305/55/202/New/7/8/9"},
        {"without one: an empty change",
         R"(<KorvanePackingNoteResponse><PackingNote PNID="3"/></KorvanePackingNoteResponse>)",
         "/0/0//0/0/0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (std::int16_t rule : {0, 1, 2, 7}) {
            doc_.currentSettings.emplace().AORD = rule;
            doc_.currentRoute = RouteControl{12, 101, "Old", 1, 1, 1};
            doc_.routeCountsCurrent = true;
            doc_.currentPackingNote.reset();
            PackingNoteMessage(doc_, false, NoteAction::ScannedNumber)
                .ParseResponse(returned(row.answer));
            ASSERT_TRUE(doc_.currentPackingNote);
            EXPECT_EQ(doc_.currentPackingNote->PNID, 3);
            ASSERT_TRUE(doc_.currentPackingNote->routeChange);
            const RouteChange& c = *doc_.currentPackingNote->routeChange;
            EXPECT_EQ(QString("%1/%2/%3/%4/%5/%6/%7")
                          .arg(c.FD)
                          .arg(c.RCID)
                          .arg(c.RNR)
                          .arg(c.D)
                          .arg(c.QN)
                          .arg(c.QP)
                          .arg(c.QC),
                      row.change);
            EXPECT_EQ(doc_.currentRoute->RCID, 12);
            EXPECT_TRUE(doc_.routeCountsCurrent);
            EXPECT_EQ(prompter_.count(ScriptedPrompter::Kind::Question), 0);
        }
    }
}

TEST_F(ServiceTest, SendWrappersReturnOkOrTheShownText) {
    doc_.currentPackingNote.emplace().PNID = 3;
    server_.answer("", "<KorvaneResponse/>");
    server_.answer(
        "KORVANEEMPLOYEE",
        R"(<KorvaneEmployeeResponse><Employee EID="31" N="Ann"/></KorvaneEmployeeResponse>)");
    EXPECT_EQ(SendEmployeeMessage(doc_, 4711, "qvr", false), "Ann");
    EXPECT_TRUE(doc_.employeeConfirmed);
    EXPECT_EQ(doc_.employee, 31);
    EXPECT_EQ(SendPackingNoteMessage(doc_, NoteAction::ScannedNumber, "1", "qvr", false), "OK");
    EXPECT_EQ(SendPackingNoteContainerMessage(doc_, "K", "qvr", false), "OK");
    EXPECT_EQ(SendPackingNoteLineMessage(doc_, "qvr", false), "OK");
    EXPECT_EQ(SendContainerScanMessage(doc_, "K", "qvr", false), "OK");
    EXPECT_EQ(SendDeliveredQuantityMessage(doc_, QuantityPurpose::Delivered, "qvr", false), "OK");
    EXPECT_EQ(SendPoolScanMessage(doc_, "B", 0, 0, 0, "qvr", false), "OK");
    EXPECT_EQ(SendCountMessage(doc_, "qvr", false), "OK");
    EXPECT_EQ(SendPrintMessage(doc_, 2, 1, "qvr", false), "OK");
    EXPECT_EQ(SendProcessMessage(doc_, "qvr", false), "OK");
    EXPECT_EQ(CallMessage(MessageKind::Route, doc_, false, "qvr"), 0);
    EXPECT_EQ(CallPackingNoteListMessage(doc_, NoteListKind::InProgress, "qvr"), 0);
    EXPECT_EQ(prompter_.maxWaitDepth, 1);
    EXPECT_EQ(prompter_.waitDepth, 0);

    // A number the back office does not know: success, but no way past the check.
    doc_.employeeConfirmed = false;
    server_.answer("KORVANEEMPLOYEE", "<KorvaneEmployeeResponse/>");
    EXPECT_EQ(SendEmployeeMessage(doc_, 4712, "qvr", false), "");
    EXPECT_FALSE(doc_.employeeConfirmed);
    EXPECT_EQ(doc_.employee, 0);

    server_.businessError("", "E100", "no");
    server_.businessError("KORVANEEMPLOYEE", "E100", "no");
    EXPECT_EQ(SendEmployeeMessage(doc_, 1, "qvr", false), Tr("E100"));
    EXPECT_FALSE(doc_.employeeConfirmed);
    EXPECT_EQ(SendProcessMessage(doc_, "qvr", false), Tr("E100"));
    EXPECT_EQ(CallMessage(MessageKind::Settings, doc_, false, "qvr"), 2);

    // The result form tells a refusal (with the back office's code) from an
    // exchange that never got an answer.
    const SendResult refused = SendProcess(doc_, "qvr", false);
    EXPECT_EQ(refused.outcome(), SendResult::Outcome::Refused);
    EXPECT_EQ(refused.code(), "E100");
    EXPECT_EQ(refused.text(), Tr("E100"));
    doc_.hostIp.clear();
    const SendResult failed = SendProcess(doc_, "qvr", false);
    EXPECT_EQ(failed.outcome(), SendResult::Outcome::Failed);
    EXPECT_TRUE(failed.code().isEmpty());
    EXPECT_FALSE(failed.text().isEmpty());
    EXPECT_FALSE(SendResult().isOk()); // an exchange cut short is no success
}

} // namespace

namespace {

TEST_F(ServiceTest, BackOfficeTellsAnAnswerFromAFailedExchange) {
    ServiceBackOffice office(doc_);
    doc_.webServicePath = "qvr";
    struct Case {
        const char* name;
        const char* answer; // nullptr: a business error
        bool answered;
        bool found;
        QString text;
    };
    const Case cases[] = {
        {"known",
         R"(<KorvaneEmployeeResponse><Employee EID="5" N="Bo"/></KorvaneEmployeeResponse>)", true,
         true, "Bo"},
        {"unknown", "<KorvaneEmployeeResponse/>", true, false, ""},
        {"business error", nullptr, false, false, Tr("E100")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc_.employeeConfirmed = false;
        if (c.answer != nullptr) {
            server_.answer("KORVANEEMPLOYEE", c.answer);
        } else {
            server_.businessError("KORVANEEMPLOYEE", "E100", "no");
        }
        const EmployeeAnswer answer = office.employee(12);
        EXPECT_EQ(answer.answered, c.answered);
        EXPECT_EQ(answer.found, c.found);
        EXPECT_EQ(answer.text, c.text);
        EXPECT_EQ(doc_.employeeConfirmed, c.found);
    }
    EXPECT_EQ(prompter_.waitDepth, 0);
    EXPECT_EQ(prompter_.maxWaitDepth, 1) << "every exchange behind the wait cursor";
}

} // namespace
