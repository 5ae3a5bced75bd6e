#include "platform/clock.h"
#include "service/messages/messages.h"
#include "service_fixture.h"

#include <functional>

namespace {

const QString D = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const QString MD = R"(<MobileDevice_ID xmlns="">7</MobileDevice_ID>)";
const QString PN = R"(<PackingNote_ID xmlns="">345</PackingNote_ID>)";
const QString EMP = R"(<Employee_ID xmlns="">42</Employee_ID>)";
const QString TS =
    "<ScanTimestamp xmlns=\"\"> \n<year>2024</year>\n<month>3</month>\n<day>3</day>\n"
    "<hours>9</hours>\n<minutes>5</minutes>\n<seconds>7</seconds>\n"
    "<milliseconds>456</milliseconds>\n</ScanTimestamp>";

QString root(const QString& element, const QString& nameSpace, const char* blanks) {
    return "<" + element + blanks +
           "xmlns=\"http://korvane.local/webservice/generated/xmlbindings/" + nameSpace + "\">";
}

QString deliveredLine(int id, int quantity) {
    return QString(
               R"(<DeliveredLines xmlns=""><PackingNoteLine_ID xmlns="">%1</PackingNoteLine_ID>)"
               R"(<Delivered xmlns="">%2</Delivered></DeliveredLines>)")
        .arg(id)
        .arg(quantity);
}

packingnoteline line(int id, int parsed, int delivered) {
    packingnoteline l;
    l.PNLID = id;
    l.parsedQuantity = parsed;
    l.QD = delivered;
    return l;
}

QString delivered(CKorvoDoc& doc, QuantityPurpose purpose) {
    return DeliveredQuantityMessage(doc, false, purpose).BuildRequest();
}

template <typename M> QString build(CKorvoDoc& doc) {
    M message(doc, false);
    return message.BuildRequest();
}

struct DocumentCase {
    const char* name;
    std::function<QString(CKorvoDoc&)> build; // arranges the work state and builds
    QString expected;
};

const QString SETTINGS = root("KorvaneSettingsRequest", "KorvaneSettingsRequest", "  ");
const QString PNOTE = root("KorvanePackingnoteRequest", "KorvanePackingNoteRequest", " ");
const QString PNOTE_HEAD = D + PNOTE + MD +
                           R"(<RouteControl_ID xmlns="">12</RouteControl_ID>)"
                           R"(<PlantDepartment_ID xmlns="">3</PlantDepartment_ID>)";
const QString DELIVERED =
    D + root("KorvaneDeliveredQuantityRequest", "KorvaneDeliveredQuantityRequest", " ") + MD + PN;
const QString POOL = D + root("KorvanePoolScanRequest", "KorvanePoolScanRequest", " ") + MD + PN +
                     R"(<Action xmlns="">1</Action><IDCode xmlns="">B7</IDCode>)" + TS;
const QString PRINT = D + root("KorvanePrintRequest", "KorvanePrintRequest", "  ") + MD +
                      R"(<PackingNote_ID xmlns="">678</PackingNote_ID>)";

const DocumentCase kDocuments[] = {
    {"Settings",
     [](CKorvoDoc& d) {
         d.plantCode = "P1";
         d.pdaCode = "D1";
         return build<SettingsMessage>(d);
     },
     D + SETTINGS +
         R"(<PlantCode xmlns="">P1</PlantCode><PDACode xmlns="">D1</PDACode>)"
         "\n"
         "</KorvaneSettingsRequest>"},
    {"SettingsValuesEscaped",
     [](CKorvoDoc& d) {
         d.plantCode = "A&B<C>\"'";
         d.pdaCode = "D1";
         return build<SettingsMessage>(d);
     },
     D + SETTINGS +
         R"(<PlantCode xmlns="">A&amp;B&lt;C&gt;&quot;&apos;</PlantCode><PDACode xmlns="">D1</PDACode>)"
         "\n</KorvaneSettingsRequest>"},
    {"SettingsTestDownload",
     [](CKorvoDoc& d) {
         d.plantCode = "P1";
         d.pendingPlantCode = "P2";
         d.pendingPdaCode = "D2";
         d.settingsTestActive = true;
         return build<SettingsMessage>(d);
     },
     D + SETTINGS +
         R"(<PlantCode xmlns="">P2</PlantCode><PDACode xmlns="">D2</PDACode>)"
         "\n"
         "</KorvaneSettingsRequest>"},
    {"Employee",
     [](CKorvoDoc& d) {
         EmployeeMessage m(d, false);
         m.setEmployeeNumber(4711);
         return m.BuildRequest();
     },
     D + root("KorvaneEmployeeRequest", "KorvaneEmployeeRequest", "  ") + MD +
         R"(<EmployeeNumber xmlns="">4711</EmployeeNumber>)"
         "\n</KorvaneEmployeeRequest>"},
    {"RouteWithoutDepartmentByProduction",
     [](CKorvoDoc& d) {
         d.departmentId = -1;
         d.viewBy = "PRODUCTION";
         return build<RouteMessage>(d);
     },
     D + root("KorvaneRouteRequest", "KorvaneRouteRequest", "  ") + MD +
         R"(<PlantDepartment_ID xmlns="">4294967295</PlantDepartment_ID>)"
         "\n"
         "<ReferenceDate xmlns=\"\"> \n <year>2024</year>\n<month>03</month>\n<day>05</day>\n"
         "</ReferenceDate>\n<DateType xmlns=\"\">1</DateType>\n</KorvaneRouteRequest>"},
    {"RouteByDelivery",
     [](CKorvoDoc& d) {
         d.viewBy = "DELIVERY";
         return build<RouteMessage>(d);
     },
     D + root("KorvaneRouteRequest", "KorvaneRouteRequest", "  ") + MD +
         R"(<PlantDepartment_ID xmlns="">3</PlantDepartment_ID>)"
         "\n"
         "<ReferenceDate xmlns=\"\"> \n <year>2024</year>\n<month>03</month>\n<day>05</day>\n"
         "</ReferenceDate>\n<DateType xmlns=\"\">0</DateType>\n</KorvaneRouteRequest>"},
    {"PackingNoteAction0",
     [](CKorvoDoc& d) {
         return PackingNoteMessage(d, false, NoteAction::CurrentById).BuildRequest();
     },
     PNOTE_HEAD + R"(<Action xmlns="">0</Action>)" + PN + "</KorvanePackingnoteRequest>"},
    {"PackingNoteAction1WithEmployee",
     [](CKorvoDoc& d) {
         d.employee = 42;
         PackingNoteMessage m(d, false, NoteAction::ScannedNumber);
         m.setScannedNoteNumber("0012&3");
         return m.BuildRequest();
     },
     PNOTE_HEAD +
         R"(<Action xmlns="">1</Action><ScannedNoteNumber xmlns="">0012&amp;3</ScannedNoteNumber>)" +
         EMP + "</KorvanePackingnoteRequest>"},
    {"PackingNoteAction2",
     [](CKorvoDoc& d) { return PackingNoteMessage(d, false, NoteAction::NextNew).BuildRequest(); },
     PNOTE_HEAD + R"(<Action xmlns="">2</Action></KorvanePackingnoteRequest>)"},
    {"PackingNoteAction3",
     [](CKorvoDoc& d) { return PackingNoteMessage(d, false, NoteAction::Leave).BuildRequest(); },
     PNOTE_HEAD + R"(<Action xmlns="">3</Action></KorvanePackingnoteRequest>)"},
    {"PackingNoteList",
     [](CKorvoDoc& d) {
         d.employee = 42;
         return PackingNoteListMessage(d, false, NoteListKind::InProgress).BuildRequest();
     },
     D + root("KorvanePackingNoteListRequest", "KorvanePackingNoteListRequest", "  ") + MD +
         R"(<RouteControl_ID xmlns="">12</RouteControl_ID><PlantDepartment_ID xmlns="">3</PlantDepartment_ID>)"
         "\n<Action xmlns=\"\">1</Action>\n" +
         EMP + "</KorvanePackingNoteListRequest>"},
    {"PackingNoteContainer",
     [](CKorvoDoc& d) {
         d.employee = 42;
         PackingNoteContainerMessage m(d, false);
         m.setContainerIdCode("C<1");
         return m.BuildRequest();
     },
     D + root("KorvanePackingNoteContainerRequest", "KorvanePackingNoteContainerRequest", " ") +
         MD + EMP +
         R"(<ContainerIDCode xmlns="">C&lt;1</ContainerIDCode>)"
         "</KorvanePackingNoteContainerRequest>"},
    {"PackingNoteLine", [](CKorvoDoc& d) { return build<PackingNoteLineMessage>(d); },
     D + root("KorvanePackingnoteLineRequest", "KorvanePackingNoteLineRequest", " ") + MD + PN +
         "</KorvanePackingnoteLineRequest>"},
    {"ContainerScan",
     [](CKorvoDoc& d) {
         ContainerScanMessage m(d, false);
         m.setContainerIdCode("K9");
         return m.BuildRequest();
     },
     D + root("KorvaneContainerScanRequest", "KorvaneContainerScanRequest", " ") + MD + PN +
         R"(<ContainerIDCode xmlns="">K9</ContainerIDCode>)" + TS +
         "</KorvaneContainerScanRequest>"},
    {"DeliveredNothingChanged",
     [](CKorvoDoc& d) {
         d.packingNoteLines.emplace().lines = {line(11, 4, 4)};
         return delivered(d, QuantityPurpose::Delivered);
     },
     DELIVERED + "</KorvaneDeliveredQuantityRequest>"},
    {"DeliveredOneChanged",
     [](CKorvoDoc& d) {
         d.employee = 42;
         d.packingNoteLines.emplace().lines = {line(11, 4, 4), line(12, 1, 3)};
         return delivered(d, QuantityPurpose::Delivered);
     },
     DELIVERED + EMP + deliveredLine(12, 3) + "</KorvaneDeliveredQuantityRequest>"},
    {"DeliveredTwoChangedFromTheCount",
     [](CKorvoDoc& d) {
         d.packingNoteLines.emplace().lines = {line(99, 0, 9)};
         d.countResult.emplace().lines = {line(21, 0, 5), line(22, 2, 2), line(23, 7, 0)};
         return delivered(d, QuantityPurpose::Counting);
     },
     DELIVERED + deliveredLine(21, 5) + deliveredLine(23, 0) +
         "</KorvaneDeliveredQuantityRequest>"},
    {"DeliveredUnknownPurpose",
     [](CKorvoDoc& d) {
         d.packingNoteLines.emplace().lines = {line(99, 0, 9)};
         return delivered(d, static_cast<QuantityPurpose>(3));
     },
     DELIVERED + "</KorvaneDeliveredQuantityRequest>"},
    {"PoolScanWithoutUniqueIds",
     [](CKorvoDoc& d) {
         PoolScanMessage m(d, false);
         m.setScan("B7", 1, 0, 0);
         return m.BuildRequest();
     },
     POOL + "</KorvanePoolScanRequest>"},
    {"PoolScanWithUniqueIds",
     [](CKorvoDoc& d) {
         PoolScanMessage m(d, false);
         m.setScan("B7", 1, 5, 6);
         return m.BuildRequest();
     },
     POOL +
         R"(<UniqueItem_ID xmlns="">5</UniqueItem_ID><UniqueBundle_ID xmlns="">6</UniqueBundle_ID>)"
         "</KorvanePoolScanRequest>"},
    {"Count",
     [](CKorvoDoc& d) {
         d.employee = 42;
         return build<CountMessage>(d);
     },
     D + root("KorvaneCountRequest", "KorvaneCountRequest", "  ") + MD + PN + EMP +
         "</KorvaneCountRequest>"},
    {"PrintNoOrderForm", [](CKorvoDoc& d) { return build<PrintMessage>(d); },
     PRINT + "<Colli xmlns=\"\">0</Colli>\n<PrintOrderForm xmlns=\"\">false</PrintOrderForm>\n"
             "</KorvanePrintRequest>"},
    {"PrintOrderForm1",
     [](CKorvoDoc& d) {
         PrintMessage m(d, false);
         m.setPrint(3, 1);
         return m.BuildRequest();
     },
     PRINT + "<Colli xmlns=\"\">3</Colli>\n<PrintOrderForm xmlns=\"\">true</PrintOrderForm>\n"
             "</KorvanePrintRequest>"},
    {"PrintOrderForm2WithEmployee",
     [](CKorvoDoc& d) {
         d.employee = 42;
         PrintMessage m(d, false);
         m.setPrint(65535, 2);
         return m.BuildRequest();
     },
     PRINT + EMP +
         "<Colli xmlns=\"\">65535</Colli>\n<PrintOrderForm xmlns=\"\">false</PrintOrderForm>\n"
         "</KorvanePrintRequest>"},
    {"Process", [](CKorvoDoc& d) { return build<ProcessMessage>(d); },
     D + root("KorvaneProcessRequest", "KorvaneProcessRequest", " ") + MD + PN +
         "</KorvaneProcessRequest>"},
};

class RequestDocuments : public ServiceTest, public ::testing::WithParamInterface<DocumentCase> {};

TEST_P(RequestDocuments, AreByteExact) {
    ScopedClock clock(QDateTime(QDate(2024, 3, 3), QTime(9, 5, 7, 890)), 123456);
    doc_.mobileDeviceId = 7;
    doc_.departmentId = 3;
    doc_.selectedDay = "20240305";
    doc_.currentRoute.emplace().RCID = 12;
    doc_.currentPackingNote.emplace().PNID = 345;
    doc_.packingNoteId = 678;
    EXPECT_EQ(GetParam().build(doc_), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Golden, RequestDocuments, ::testing::ValuesIn(kDocuments),
                         [](const auto& info) { return std::string(info.param.name); });

struct HeaderCase {
    std::function<std::unique_ptr<CatalogueMessage>(CKorvoDoc&)> make;
    const char* id;
    const char* type;
    const char* function;
    bool version;
    const char* dump;
    const char* logPrefix;
};

template <typename M, auto... What> std::unique_ptr<CatalogueMessage> make(CKorvoDoc& doc) {
    return std::make_unique<M>(doc, false, What...);
}

TEST_F(ServiceTest, EveryMessageHasItsHeaderDumpsAndLogPrefix) {
    const HeaderCase cases[] = {
        {make<SettingsMessage>, "ID011", "Retrieve", "KORVANESETTINGS", true, "Settings",
         "SettingsWebService"},
        {make<EmployeeMessage>, "ID011", "Retrieve", "KORVANEEMPLOYEE", false, "Employee", ""},
        {make<RouteMessage>, "ID012", "Retrieve", "KORVANEROUTE", false, "Route",
         "SettingsWebService"},
        {make<PackingNoteMessage, NoteAction::CurrentById>, "ID012", "Update", "KORVANEPACKINGNOTE",
         false, "PackingNote", ""},
        {make<PackingNoteListMessage, NoteListKind::New>, "ID012", "Retrieve",
         "KORVANEPACKINGNOTELIST", false, "PNList", "PackingNoteListWebService"},
        {make<PackingNoteContainerMessage>, "ID012", "Retrieve", "KORVANEPACKINGNOTECONTAINER",
         false, "PNContainer", "PackingNoteWebService"},
        {make<PackingNoteLineMessage>, "ID021", "Retrieve", "KORVANEPACKINGNOTELINE", false,
         "PackingNoteLine", "PackingNoteWebService"},
        {make<ContainerScanMessage>, "ID017", "Update", "KORVANECONTAINERSCAN", false,
         "ContainerScan", "PackingNoteWebService"},
        {make<DeliveredQuantityMessage, QuantityPurpose::Delivered>, "ID022", "Update",
         "KORVANEDELIVEREDQUANTITY", false, "DeliveredQuantity", ""},
        {make<PoolScanMessage>, "ID025", "Update", "KORVANEPOOLSCAN", false, "PoolScan",
         "DeliveredQuatityWebService"},
        {make<CountMessage>, "ID025", "Update", "KORVANECOUNT", false, "Count",
         "SettingsWebService"},
        {make<PrintMessage>, "ID015", "Update", "KORVANEPRINT", false, "Print", ""},
        {make<ProcessMessage>, "ID023", "Update", "KORVANEPROCESS", false, "Process", ""},
    };
    for (const HeaderCase& c : cases) {
        const auto message = c.make(doc_);
        const QString expected =
            QString(
                R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                R"(<QVRServiceHeader  xmlns="http://korvane.local/webservice/generated/xmlbindings/QVRServiceHeader">)"
                R"(    <messageID xmlns="">%1</messageID>)"
                R"(    <transactionType xmlns="">%2</transactionType>)"
                R"(    <function xmlns="">%3</function>)"
                R"(    <application xmlns="">QVR Korvane</application>%4)"
                R"(    <customer xmlns="">Fenwold</customer>)"
                R"(    <webuser xmlns="">WEBUSER</webuser></QVRServiceHeader>)")
                .arg(c.id, c.type, c.function,
                     c.version ? R"(    <version xmlns=""> 1.35</version>)" : "");
        EXPECT_EQ(message->BuildHeader(), expected) << c.function;
        EXPECT_EQ(message->ResponseDumpPath(),
                  QString("\\Korvo_XML\\Log\\%1Response.xml").arg(c.dump));
        EXPECT_EQ(message->LogPrefix(), c.logPrefix);
        const QString request = message->BuildRequest();
        EXPECT_EQ(read(QString("\\Korvo_XML\\Log\\%1REQUEST.xml").arg(c.dump)), request.toLatin1())
            << c.function;
    }
}

} // namespace
