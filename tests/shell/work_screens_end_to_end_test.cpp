// The work on a packing note through the real frame and service layer against a
// loopback back office: note information and container scan, delivered
// products with Hold, Print and Process, counting, out-scan pool, and the
// packing-note mode's way round the information screen. The entry screens
// before them are stand-ins; the test arranges what they would have produced.
#include "frame_fixture.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "placeholder_view.h"
#include "platform/clock.h"
#include "service/back_office.h"
#include "service/service_transport.h"
#include "shell/main_frame.h"
#include "shell/screens.h"
#include "widgets/colour_widgets.h"
#include "widgets/editable_list.h"
#include "widgets/image_button.h"
#include "widgets/scan_field.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kSettings =
    R"(<KorvaneSettingsResponse><Settings ACS="1" AORD="0" ASB="1" DNC="1" DNENR="false" )"
    R"(DNPP="1" MDID="77" OPI="true" PCS="false" PDID="3" POF="2" SPN="0"/>)"
    R"(<ContainerIDCodeRange><R L="6" MINR="100000" MAXR="199999"/></ContainerIDCodeRange>)"
    R"(</KorvaneSettingsResponse>)";
const QString kRoutes = R"(<KorvaneRouteResponse><RouteControl>)"
                        R"(<R RCID="12" RNR="101" D="North" QN="3" QP="2" QC="1"/>)"
                        R"(</RouteControl></KorvaneRouteResponse>)";
const QString kNote = R"(<KorvanePackingNoteResponse>)"
                      R"(<PackingNote PNID="%1" NNR="%2" CN="Fenwold Fresh" SP="0" SC="10"/>)"
                      R"(<PackingNoteDetails><SN>1</SN><DN>2</DN><DD>Dairy</DD><TA>Truck 3</TA>)"
                      R"(<R>Ring twice</R><CPN>7</CPN><CPD>Dock</CPD><C>%3</C><UI/>)"
                      R"(</PackingNoteDetails></KorvanePackingNoteResponse>)";
const QString kLines =
    R"(<KorvanePackingNoteLineResponse PackingNote_ID="345" StatusCode="10"><packingnoteline>)"
    R"(<l PNLID="11" PS="1" PC="P11" PD="Bolts" SD="M6" FMD="zinc" QO="10" QD="10" MINQ="5" MAXQ="12"/>)"
    R"(<l PNLID="12" PS="1" PC="P12" PD="Tulips" SD="60 cm" FMD="red" QO="6" QD="2" MINQ="0" MAXQ="0"/>)"
    R"(</packingnoteline></KorvanePackingNoteLineResponse>)";
const QString kCount =
    R"(<KorvaneCountResponse><PackingNote_ID>345</PackingNote_ID><StatusCode>10</StatusCode>)"
    R"(<CountProduct><c PNLID="21" PS="1" PC="C21" PD="Crates" SD="" FMD="" QO="4" QD="4" )"
    R"(MINQD="0" MAXQD="0"/></CountProduct></KorvaneCountResponse>)";
const QString kPool =
    R"(<KorvanePackingNoteContainerResponse><PackingNote_ID>345</PackingNote_ID>)"
    R"(<StatusCode>30</StatusCode><UniqueItem_ID>%1</UniqueItem_ID><UniqueBundle_ID>0</UniqueBundle_ID>)"
    R"(<Flag>%2</Flag><packingnoteline><l PNLID="12" QO="6" QD="%3" MINQ="0" MAXQ="0" SB="1"/>)"
    R"(</packingnoteline><Product><p PC="P12" PD="Tulips" SD="60 cm" FMD="red"/></Product>)"
    R"(</KorvanePackingNoteContainerResponse>)";

// Request pieces.
const QString D = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const QString MD = R"(<MobileDevice_ID xmlns="">77</MobileDevice_ID>)";
const QString TS =
    "<ScanTimestamp xmlns=\"\"> \n<year>2024</year>\n<month>3</month>\n<day>3</day>\n"
    "<hours>9</hours>\n<minutes>5</minutes>\n<seconds>7</seconds>\n"
    "<milliseconds>456</milliseconds>\n</ScanTimestamp>";

QString root(const QString& element, const QString& nameSpace, const char* blanks = " ") {
    return "<" + element + blanks +
           "xmlns=\"http://korvane.local/webservice/generated/xmlbindings/" + nameSpace + "\">";
}
QString pn(int id) {
    return QString(R"(<PackingNote_ID xmlns="">%1</PackingNote_ID>)").arg(id);
}
QString packingNoteRequest(int action, int note, const QString& route = "12",
                           const QString& department = "3") {
    return D + root("KorvanePackingnoteRequest", "KorvanePackingNoteRequest") + MD +
           R"(<RouteControl_ID xmlns="">)" + route + "</RouteControl_ID>" +
           R"(<PlantDepartment_ID xmlns="">)" + department + "</PlantDepartment_ID>" +
           QString(R"(<Action xmlns="">%1</Action>)").arg(action) +
           (action == 0 ? pn(note) : QString()) + "</KorvanePackingnoteRequest>";
}
QString linesRequest(int note) {
    return D + root("KorvanePackingnoteLineRequest", "KorvanePackingNoteLineRequest") + MD +
           pn(note) + "</KorvanePackingnoteLineRequest>";
}
QString deliveredRequest(int note, const QList<std::pair<int, int>>& lines) {
    QString changed;
    for (const auto& [id, quantity] : lines) {
        changed +=
            QString(R"(<DeliveredLines xmlns=""><PackingNoteLine_ID xmlns="">%1</)"
                    R"(PackingNoteLine_ID><Delivered xmlns="">%2</Delivered></DeliveredLines>)")
                .arg(id)
                .arg(quantity);
    }
    return D + root("KorvaneDeliveredQuantityRequest", "KorvaneDeliveredQuantityRequest") + MD +
           pn(note) + changed + "</KorvaneDeliveredQuantityRequest>";
}
QString processRequest(int note) {
    return D + root("KorvaneProcessRequest", "KorvaneProcessRequest") + MD + pn(note) +
           "</KorvaneProcessRequest>";
}
QString printRequest(int note, bool orderForm) {
    return D + root("KorvanePrintRequest", "KorvanePrintRequest", "  ") + MD + pn(note) +
           "<Colli xmlns=\"\">0</Colli>\n<PrintOrderForm xmlns=\"\">" +
           (orderForm ? "true" : "false") + "</PrintOrderForm>\n</KorvanePrintRequest>";
}
QString poolRequest(const QString& code, int action, const QString& ids = {}) {
    return D + root("KorvanePoolScanRequest", "KorvanePoolScanRequest") + MD + pn(345) +
           QString(R"(<Action xmlns="">%1</Action><IDCode xmlns="">%2</IDCode>)")
               .arg(action)
               .arg(code) +
           TS + ids + "</KorvanePoolScanRequest>";
}

QString unescape(QString text) {
    text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&apos;", "'");
    return text.replace("&amp;", "&");
}

// The stand-ins for the entry screens; the work screens are the program's own.
KorvoView* WorkScreens(int screenId, CMainFrame& frame, QWidget* parent) {
    if (screenId >= kPackingNoteInfoScreen && screenId <= kAddCountScreen) {
        return CreateScreen(screenId, frame, parent);
    }
    return PlaceholderScreens(screenId, frame, parent);
}

class WorkScreensEndToEnd : public FrameFixture<> {
protected:
    void SetUp() override {
        office.answer("KORVANESETTINGS", kSettings);
        office.answer("KORVANEROUTE", kRoutes);
        office.answer("KORVANEPACKINGNOTE", kNote.arg(345).arg("4711", R"(<c CPID="150000"/>)"));
        office.answer("KORVANEPACKINGNOTELINE", kLines);
        office.answer("KORVANECOUNT", kCount);
    }
    // The handheld keeps its connection; close it before the office stops.
    void TearDown() override { ServiceTransport::instance().Disconnect(); }

    void startIn(const char* mode) {
        start("HostIP=127.0.0.1\nPortNumber=" + QByteArray::number(office.port()) +
                  "\nOperatingMode=" + mode + "\n",
              WorkScreens);
        frame.SwitchScreen(Cmd::Start);
    }
    // Route mode up to the route's hub, as department, day and route screens leave it.
    void toRouteHub() {
        startIn("ROUTEMODE");
        frame.SwitchScreen(Cmd::DepartmentSave);
        doc.departmentId = 3;
        frame.SwitchScreen(Cmd::DayOk);
        frame.SwitchScreen(Cmd::RouteOk);
        ASSERT_EQ(frame.currentScreenId(), kScanPnOrContainerScreen);
        ASSERT_EQ(doc.routes.size(), 1u);
        doc.currentRoute = doc.routes[0];
        office.clearRequests();
    }
    // The note a scan on the hub found, opened with Save.
    void openScannedNote() {
        PackingNote note;
        note.PNID = 345;
        note.NNR = "4711";
        note.CN = "Fenwold Fresh";
        note.SC = "10";
        doc.currentPackingNote = note;
        frame.SwitchScreen(Cmd::ScanRouteSave);
        ASSERT_EQ(frame.currentScreenId(), kPackingNoteInfoScreen);
    }
    void openDeliveredProducts() {
        openScannedNote();
        frame.SwitchScreen(Cmd::InfoSave);
        ASSERT_EQ(frame.currentScreenId(), kDeliveredProdScreen);
    }

    template <typename T> T* field(const char* name) {
        T* found = frame.currentScreen()->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* button) { field<CImageButton>(button)->click(); }
    void typeInto(QWidget* target, const QString& text) {
        QTest::keyClicks(target, text);
        QTest::keyClick(target, Qt::Key_Return);
        for (int i = 0; i < 100; ++i) {
            QCoreApplication::sendPostedEvents();
        }
    }
    void editQuantity(int row, const QString& text) {
        auto* list = field<CEditableList>("lines");
        ASSERT_TRUE(list->startEdit(row, list->model()->columnCount() - 1));
        typeInto(list->editor(), text);
    }

    // The requests since the last check: function code and request document.
    void expectRequests(const std::vector<std::pair<QString, QString>>& expected) {
        const std::vector<LoopbackBackOffice::Request> calls = office.calls();
        std::vector<std::pair<QString, QString>> seen;
        for (const LoopbackBackOffice::Request& call : calls) {
            const QString body = QString::fromLatin1(call.body);
            const qsizetype from = body.indexOf("<String_2>") + 10;
            const qsizetype to = body.indexOf("</String_2>");
            seen.emplace_back(call.functionCode(), unescape(body.mid(from, to - from)));
        }
        EXPECT_EQ(seen.size(), expected.size());
        for (std::size_t i = 0; i < std::min(seen.size(), expected.size()); ++i) {
            EXPECT_EQ(seen[i].first, expected[i].first) << i;
            EXPECT_EQ(seen[i].second, expected[i].second) << seen[i].first.toStdString();
        }
        office.clearRequests();
    }

    LoopbackBackOffice office;
    ScopedClock clock{QDateTime(QDate(2024, 3, 3), QTime(9, 5, 7)), 123456};
};

TEST_F(WorkScreensEndToEnd, ContainersDeliveredQuantitiesAndHold) {
    toRouteHub();
    openScannedNote();
    EXPECT_EQ(frame.currentScreen()->titleLabel()->text(), "Note 4711");
    EXPECT_EQ(ActionMenuTexts(frame), QStringList({"Save", "Back", "Instructions"}));

    typeInto(field<CScanField>("container"), "150000");
    expectRequests({{"KORVANECONTAINERSCAN",
                     D + root("KorvaneContainerScanRequest", "KorvaneContainerScanRequest") + MD +
                         pn(345) + R"(<ContainerIDCode xmlns="">150000</ContainerIDCode>)" + TS +
                         "</KorvaneContainerScanRequest>"},
                    {"KORVANEPACKINGNOTE", packingNoteRequest(0, 345)}});
    EXPECT_EQ(field<QLabel>("containerCount")->text(), "1 container");
    EXPECT_EQ(field<QLabel>("department")->text(), "2 Dairy /  7 Dock");

    typeInto(field<CScanField>("container"), ""); // Enter in the empty field: Save
    ASSERT_EQ(frame.currentScreenId(), kDeliveredProdScreen);
    expectRequests({{"KORVANEPACKINGNOTELINE", linesRequest(345)}});
    EXPECT_EQ(ActionMenuTexts(frame),
              QStringList({"Print", "Back", "Hold", "Out-scan pool", "Count"}));

    prompter.dialogAnswers = {1}; // keep the out-of-range quantity
    editQuantity(0, "14");
    EXPECT_EQ(prompter.texts(ScriptedPrompter::Kind::Question).last(),
              "This quantity is outside the allowed range. Keep it?");
    click("hold");
    expectRequests({{"KORVANEDELIVEREDQUANTITY", deliveredRequest(345, {{11, 14}})}});
    EXPECT_EQ(frame.currentScreenId(), kScanPnOrContainerScreen) << "back to the hub";
    EXPECT_EQ(doc.currentRoute->QN, 2);
    EXPECT_EQ(doc.currentRoute->QP, 3);
}

TEST_F(WorkScreensEndToEnd, PrintFromAListAndProcessInProcessMode) {
    toRouteHub();
    office.answer("KORVANEPACKINGNOTELIST",
                  R"(<KorvanePackingNoteListResponse><PackingNote>)"
                  R"(<n PNID="345" NNR="4711" CN="Fenwold Fresh" SP="false" PNCN="1"/>)"
                  R"(<n PNID="346" NNR="4712" CN="Harwick Market" SP="false" PNCN="0"/>)"
                  R"(</PackingNote></KorvanePackingNoteListResponse>)");
    frame.SwitchScreen(Cmd::NewList);
    ASSERT_EQ(frame.currentScreenId(), kPackingNotesScreen);
    const QString listRequest =
        D + root("KorvanePackingNoteListRequest", "KorvanePackingNoteListRequest", "  ") + MD +
        R"(<RouteControl_ID xmlns="">12</RouteControl_ID><PlantDepartment_ID xmlns="">3</PlantDepartment_ID>)"
        "\n<Action xmlns=\"\">0</Action>\n</KorvanePackingNoteListRequest>";
    expectRequests({{"KORVANEPACKINGNOTELIST", listRequest}});
    // The list screen takes the first note.
    doc.listOrigin = NoteOrigin::NewList;
    doc.packingNoteIndex = 0;
    doc.currentPackingNote = doc.packingNoteList[0];
    doc.packingNoteId = 345;
    frame.SwitchScreen(Cmd::ListSave);
    ASSERT_EQ(frame.currentScreenId(), kPackingNoteInfoScreen);

    office.answer("KORVANEPACKINGNOTE", kNote.arg(346).arg("4712", ""));
    click("next");
    EXPECT_EQ(frame.currentScreen()->titleLabel()->text(), "Note 4712");
    expectRequests({{"KORVANEPACKINGNOTE", packingNoteRequest(0, 346)}});

    frame.SwitchScreen(Cmd::InfoSave);
    ASSERT_EQ(frame.currentScreenId(), kDeliveredProdScreen);
    click("print"); // print mode 1: process, then print with the order form
    EXPECT_EQ(frame.currentScreenId(), kPackingNotesScreen) << "back to the list, fetched again";
    expectRequests({{"KORVANEPACKINGNOTELINE", linesRequest(346)},
                    {"KORVANEDELIVEREDQUANTITY", deliveredRequest(346, {})},
                    {"KORVANEPROCESS", processRequest(346)},
                    {"KORVANEPRINT", printRequest(346, true)},
                    {"KORVANEPACKINGNOTELIST", listRequest}});

    // Print mode 2 processes without printing, and the hub follows a scanned note.
    doc.currentSettings->DNPP = 2;
    frame.SwitchScreen(Cmd::ListBack);
    office.answer("KORVANEPACKINGNOTE", kNote.arg(345).arg("4711", ""));
    openDeliveredProducts();
    EXPECT_FALSE(field<CImageButton>("print")->isVisible());
    click("process");
    EXPECT_EQ(frame.currentScreenId(), kScanPnOrContainerScreen);
    expectRequests({{"KORVANEPACKINGNOTELINE", linesRequest(345)},
                    {"KORVANEDELIVEREDQUANTITY", deliveredRequest(345, {})},
                    {"KORVANEPROCESS", processRequest(345)}});
    EXPECT_EQ(doc.currentRoute->QN, 1) << "two new notes processed";
    EXPECT_EQ(doc.currentRoute->QC, 3);
}

TEST_F(WorkScreensEndToEnd, CountingAndOutScanPool) {
    toRouteHub();
    openDeliveredProducts();
    office.clearRequests();

    click("counting");
    ASSERT_EQ(frame.currentScreenId(), kAddCountScreen);
    editQuantity(0, "3");
    click("save");
    EXPECT_EQ(frame.currentScreenId(), kAddCountScreen) << "Save stays";
    click("back"); // saved: no question, the lines reload
    ASSERT_EQ(frame.currentScreenId(), kDeliveredProdScreen);
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 0);
    expectRequests({{"KORVANECOUNT", D + root("KorvaneCountRequest", "KorvaneCountRequest", "  ") +
                                         MD + pn(345) + "</KorvaneCountRequest>"},
                    {"KORVANEDELIVEREDQUANTITY", deliveredRequest(345, {{21, 3}})},
                    {"KORVANEPACKINGNOTELINE", linesRequest(345)}});

    auto* list = field<CEditableList>("lines");
    list->setCurrentRow(1);
    click("outScanPool");
    ASSERT_EQ(frame.currentScreenId(), kOutScanPoolScreen);
    EXPECT_EQ(field<QLabel>("product")->text(), "Tulips");
    auto* scan = field<CColourEdit>("scan");

    office.answer("KORVANEPOOLSCAN", kPool.arg(0).arg("").arg(3));
    typeInto(scan, "B1");
    EXPECT_EQ(scan->paintedBackground(), QColor(0, 255, 0));
    EXPECT_EQ(field<QLabel>("toDo")->text(), "3");

    office.businessError("KORVANEPOOLSCAN", "E7", "Not in the pool",
                         "KorvanePackingNoteContainerResponse");
    typeInto(scan, "B2");
    EXPECT_EQ(scan->paintedBackground(), QColor(255, 51, 51));
    EXPECT_EQ(prompter.messageTexts().last(), "E7 Not Translated !");

    office.answer("KORVANEPOOLSCAN",
                  kPool.arg(501)
                      .arg(R"(<f FC="F1" D="Pool item" FT="in bundle 9" P="1" C="FFFF00" A="0"/>)"
                           R"(<f FC="F2" D="Take it?" FT="" P="1" C="00FF00" A="2"/>)")
                      .arg(4));
    prompter.dialogAnswers = {1, 1};
    typeInto(scan, "B3");
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::ColourMessage), 2);
    EXPECT_EQ(field<QLabel>("toDo")->text(), "2");

    prompter.dialogAnswers = {1}; // leave with bundles left
    click("back");
    EXPECT_EQ(frame.currentScreenId(), kDeliveredProdScreen);
    EXPECT_EQ(field<CEditableList>("lines")->cellText(1, 2), "4");
    expectRequests({{"KORVANEPOOLSCAN", poolRequest("B1", 0)},
                    {"KORVANEPOOLSCAN", poolRequest("B2", 0)},
                    {"KORVANEPOOLSCAN", poolRequest("B3", 0)},
                    {"KORVANEPOOLSCAN",
                     poolRequest("B3", 1, R"(<UniqueItem_ID xmlns="">501</UniqueItem_ID>)")}});
}

TEST_F(WorkScreensEndToEnd, PackingNoteModeGoesStraightToTheLines) {
    office.answer("KORVANESETTINGS", QString(kSettings).replace(R"(ACS="1")", R"(ACS="0")"));
    office.answer("KORVANEPACKINGNOTE",
                  R"(<KorvanePackingNoteResponse><PackingNote PNID="345" NNR="4711" )"
                  R"(CN="Fenwold Fresh" SP="0" SC="20"/></KorvanePackingNoteResponse>)");
    startIn("PACKINGNOTEMODE");
    ASSERT_EQ(frame.currentScreenId(), kScanPackingNoteScreen);
    office.clearRequests();
    // What the entry screen does with a scanned number.
    doc.departmentId = -1;
    doc.currentRoute = RouteControl{-1, 0, "", 0, 0, 0};
    ASSERT_TRUE(frame.backOffice().packingNote(NoteAction::ScannedNumber, "4711").isOk());
    ASSERT_TRUE(frame.backOffice().packingNoteLines().isOk());
    doc.packingNoteId = 345;
    frame.SwitchScreen(Cmd::PackingNoteScanned);
    ASSERT_EQ(frame.currentScreenId(), kDeliveredProdScreen) << "no information screen";

    prompter.dialogAnswers = {2}; // leave without saving
    frame.SwitchScreen(Cmd::Back);
    EXPECT_EQ(frame.currentScreenId(), kScanPackingNoteScreen);
    const QString none = "4294967295";
    expectRequests({{"KORVANEPACKINGNOTE",
                     D + root("KorvanePackingnoteRequest", "KorvanePackingNoteRequest") + MD +
                         R"(<RouteControl_ID xmlns="">4294967295</RouteControl_ID>)"
                         R"(<PlantDepartment_ID xmlns="">4294967295</PlantDepartment_ID>)"
                         R"(<Action xmlns="">1</Action>)"
                         R"(<ScannedNoteNumber xmlns="">4711</ScannedNoteNumber>)"
                         "</KorvanePackingnoteRequest>"},
                    {"KORVANEPACKINGNOTELINE", linesRequest(345)},
                    {"KORVANEPACKINGNOTE", packingNoteRequest(3, 345, none, none)}});
}

} // namespace
