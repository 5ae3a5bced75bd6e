// A worker's way to a packing note through the real frame and the real service
// layer, against a loopback back office: every request document as sent.
#include "frame_fixture.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "placeholder_view.h"
#include "platform/clock.h"
#include "service/service_transport.h"
#include "shell/screens.h"
#include "widgets/image_button.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// ---- the documents the handheld sends -----------------------------------------

const QString D = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const QString MD = R"(<MobileDevice_ID xmlns="">77</MobileDevice_ID>)";
const QString EMP = R"(<Employee_ID xmlns="">42</Employee_ID>)";

QString root(const QString& element, const QString& nameSpace, const char* blanks) {
    return "<" + element + blanks +
           "xmlns=\"http://korvane.local/webservice/generated/xmlbindings/" + nameSpace + "\">";
}
QString element(const char* name, const QString& value) {
    return QString("<%1 xmlns=\"\">%2</%1>").arg(QLatin1String(name), value);
}

const QString SETTINGS = D + root("KorvaneSettingsRequest", "KorvaneSettingsRequest", "  ") +
                         element("PlantCode", "NL01") + element("PDACode", "PDA7") +
                         "\n</KorvaneSettingsRequest>";

QString employee(const QString& number) {
    return D + root("KorvaneEmployeeRequest", "KorvaneEmployeeRequest", "  ") + MD +
           element("EmployeeNumber", number) + "\n</KorvaneEmployeeRequest>";
}

QString route(const QString& department, const char* day) {
    const QString date = QLatin1String(day);
    return D + root("KorvaneRouteRequest", "KorvaneRouteRequest", "  ") + MD +
           element("PlantDepartment_ID", department) + "\n<ReferenceDate xmlns=\"\"> \n <year>" +
           date.left(4) + "</year>\n<month>" + date.mid(4, 2) + "</month>\n<day>" + date.mid(6, 2) +
           "</day>\n</ReferenceDate>\n" + element("DateType", "0") + "\n</KorvaneRouteRequest>";
}

// The packing-note request: by scanned number (action 1), by id (0), the next
// new note (2) or leaving the note (3).
QString note(const QString& routeId, const QString& department, int action,
             const QString& value = {}) {
    QString extra;
    if (action == 1) {
        extra = element("ScannedNoteNumber", value);
    } else if (action == 0) {
        extra = element("PackingNote_ID", value);
    }
    return D + root("KorvanePackingnoteRequest", "KorvanePackingNoteRequest", " ") + MD +
           element("RouteControl_ID", routeId) + element("PlantDepartment_ID", department) +
           element("Action", QString::number(action)) + extra + EMP +
           "</KorvanePackingnoteRequest>";
}

QString container(const QString& label) {
    return D +
           root("KorvanePackingNoteContainerRequest", "KorvanePackingNoteContainerRequest", " ") +
           MD + EMP + element("ContainerIDCode", label) + "</KorvanePackingNoteContainerRequest>";
}

QString list(const QString& routeId, int action) {
    return D + root("KorvanePackingNoteListRequest", "KorvanePackingNoteListRequest", "  ") + MD +
           element("RouteControl_ID", routeId) + element("PlantDepartment_ID", "3") + "\n" +
           element("Action", QString::number(action)) + "\n" + EMP +
           "</KorvanePackingNoteListRequest>";
}

QString print(const QString& noteId, const QString& colli) {
    return D + root("KorvanePrintRequest", "KorvanePrintRequest", "  ") + MD +
           element("PackingNote_ID", noteId) + EMP + element("Colli", colli) + "\n" +
           element("PrintOrderForm", "false") + "\n</KorvanePrintRequest>";
}

QString lines(const QString& noteId) {
    return D + root("KorvanePackingnoteLineRequest", "KorvanePackingNoteLineRequest", " ") + MD +
           element("PackingNote_ID", noteId) + EMP + "</KorvanePackingnoteLineRequest>";
}

// The request document inside a recorded envelope.
QString requestDocument(const std::string& body) {
    const QString text = QString::fromStdString(body);
    const qsizetype from = text.indexOf("<String_2>");
    const qsizetype to = text.indexOf("</String_2>");
    if (from < 0 || to < from) {
        return "<no request document>";
    }
    QString document = text.mid(from + 10, to - from - 10);
    document.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"");
    document.replace("&apos;", "'").replace("&amp;", "&");
    return document;
}

// ---- the back office's answers --------------------------------------------------

QString settingsAnswer(bool employeeNumber, bool informationFirst, int routeRule) {
    return QString(R"(<KorvaneSettingsResponse><Settings ACS="%1" AORD="%3" DNENR="%2" DNPP="1" )"
                   R"(MDID="77" PCS="false" PDID="3" POF="0" SPN="0"/>)"
                   R"(<Plant PID="9" PN="Fenwold Fresh"/><ContainerIDCodeRange>)"
                   R"(<ContainerIDCodeRange L="8" MINR="10000000" MAXR="19999999"/>)"
                   R"(</ContainerIDCodeRange><PlantDepartments>)"
                   R"(<PlantDepartments PDIDS="2" PDC="D2" PDD="Dairy"/>)"
                   R"(<PlantDepartments PDIDS="3" PDC="D3" PDD="Bakery"/>)"
                   R"(</PlantDepartments></KorvaneSettingsResponse>)")
        .arg(informationFirst ? "true" : "false", employeeNumber ? "true" : "false")
        .arg(routeRule);
}

const QString kEmployeeAnswer = R"(<KorvaneEmployeeResponse>)"
                                R"(<Employee EID="42" ENR="1047" N="Jan de Vries"/>)"
                                R"(</KorvaneEmployeeResponse>)";
const QString kRouteAnswer =
    R"(<KorvaneRouteResponse><RouteControl>)"
    R"(<RouteControl RCID="501" RNR="12" D="Harbour run" QN="2" QP="1" QC="4"/>)"
    R"(<RouteControl RCID="502" RNR="14" D="North" QN="5" QP="2" QC="1"/>)"
    R"(</RouteControl></KorvaneRouteResponse>)";

QString noteAnswer(int id, const char* number, const QString& instructions = {}) {
    return QString(
               R"(<KorvanePackingNoteResponse><PackingNote PNID="%1" NNR="%2" CN="Corner Deli" )"
               R"(SP="false" SC="10"/><PackingNoteDetails><DD>Bakery</DD><UI>%3</UI>)"
               R"(</PackingNoteDetails></KorvanePackingNoteResponse>)")
        .arg(id)
        .arg(QLatin1String(number), instructions);
}

const QString kContainerAnswer =
    R"(<KorvanePackingNoteContainerResponse><PackingNote PNID="346" NNR="400117" )"
    R"(CN="Harbour Hotel" SP="false"/></KorvanePackingNoteContainerResponse>)";
const QString kListAnswer =
    R"(<KorvanePackingNoteListResponse><PackingNote>)"
    R"(<PackingNote PNID="347" NNR="400134" CN="School" SP="false" PNCN="2"/>)"
    R"(<PackingNote PNID="348" NNR="400151" CN="Fresh &amp; Fine" SP="false" PNCN="1"/>)"
    R"(</PackingNote></KorvanePackingNoteListResponse>)";

// The entry screens as they are; the screens behind a note stand in as
// placeholders, so that only the entry screens' requests are on the wire.
KorvoView* EntryScreens(int screenId, CMainFrame& frame, QWidget* parent) {
    if (screenId >= kPackingNoteInfoScreen && screenId <= kAddCountScreen) {
        return new CPlaceholderView(frame, frame.document(), screenId, parent);
    }
    return CreateScreen(screenId, frame, parent);
}

class EntryEndToEnd : public FrameFixture<> {
protected:
    void TearDown() override { ServiceTransport::instance().Disconnect(); }

    void startIn(const char* mode, bool employeeNumber, bool informationFirst = true,
                 int routeRule = 0) {
        office.answer("KORVANESETTINGS",
                      settingsAnswer(employeeNumber, informationFirst, routeRule));
        office.answer("KORVANEEMPLOYEE", kEmployeeAnswer);
        office.answer("KORVANEROUTE", kRouteAnswer);
        office.answer("KORVANEPACKINGNOTE", noteAnswer(345, "400100"));
        office.answer("KORVANEPACKINGNOTECONTAINER", kContainerAnswer);
        office.answer("KORVANEPACKINGNOTELIST", kListAnswer);
        start("HostIP=127.0.0.1\nPortNumber=" + QByteArray::number(office.port()) +
                  "\nPlantCode=NL01\nPDA=PDA7\nViewBy=DELIVERY\nOperatingMode=" + mode + "\n",
              EntryScreens);
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        // Enter is Start, not the Settings button that Tab would reach first.
        key(Qt::Key_Return);
        EXPECT_EQ(sent(), QStringList{SETTINGS});
    }

    // The request documents sent since the last look.
    QStringList sent() {
        QStringList documents;
        const auto calls = office.calls();
        for (std::size_t i = seen_; i < calls.size(); ++i) {
            documents << requestDocument(calls[i].body);
        }
        seen_ = calls.size();
        return documents;
    }

    QWidget* target() {
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus : frame.currentScreen();
    }
    void key(Qt::Key k) { QTest::keyClick(target(), k); }
    void type(const QString& text) { QTest::keyClicks(target(), text); }
    void into(const char* field, const QString& text) {
        auto* edit = frame.currentScreen()->findChild<QLineEdit*>(QLatin1String(field));
        ASSERT_NE(edit, nullptr) << field;
        edit->setFocus(Qt::TabFocusReason);
        type(text);
        key(Qt::Key_Return);
    }
    void click(const char* button) {
        auto* b = frame.currentScreen()->findChild<CImageButton*>(QLatin1String(button));
        ASSERT_NE(b, nullptr) << button;
        ASSERT_TRUE(b->isEnabled()) << button;
        b->click();
    }
    int screen() const { return frame.currentScreenId(); }
    // The soft key F2 pressed in the focused control: the texts of the menu it
    // opens (closed again at once), or "<none>".
    QStringList actionsBySoftKey() {
        QStringList texts{"<none>"};
        QTimer::singleShot(0, [&texts] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                texts.clear();
                for (QAction* action : popup->actions()) {
                    texts << action->text() + (action->isEnabled() ? "" : " (off)");
                }
                QTest::keyClick(popup, Qt::Key_Escape);
            }
        });
        key(Qt::Key_F2);
        // The offscreen platform leaves the closed menu the active window.
        frame.windowHandle()->requestActivate();
        EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &frame; }));
        return texts;
    }

    LoopbackBackOffice office;
    ScopedClock clock{QDateTime(QDate(2025, 3, 12), QTime(7, 30))};
    std::size_t seen_ = 0;
};

TEST_F(EntryEndToEnd, RouteModeToANoteByEveryWay) {
    startIn("ROUTEMODE", true);
    ASSERT_EQ(screen(), kDepartmentScreen);

    // Department and employee: Enter looks the number up, the next Enter moves on.
    into("employeeNumber", "1047");
    EXPECT_EQ(sent(), QStringList{employee("1047")});
    EXPECT_EQ(screen(), kDepartmentScreen);
    // The soft keys work from inside a field, as every command does.
    EXPECT_EQ(actionsBySoftKey(), (QStringList{"Save", "Back"}));
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kDayScreen);
    EXPECT_EQ(actionsBySoftKey(), (QStringList{"OK", "Back"}));

    // Today, a Wednesday; its routes.
    key(Qt::Key_Return);
    EXPECT_EQ(sent(), QStringList{route("3", "20250312")});
    ASSERT_EQ(screen(), kRouteScreen);
    // The second route.
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);
    EXPECT_EQ(frame.currentScreen()->titleLabel()->text(), "Route 14 North");
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(actionsBySoftKey(), (QStringList{"Save (off)", "Back"})) << "nothing found yet";

    // By number: found, then opened.
    into("noteNumber", "400100");
    EXPECT_EQ(sent(), (QStringList{note("502", "3", 1, "400100"), note("502", "3", 0, "345")}));
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    EXPECT_EQ(doc.packingNoteId, 345);
    EXPECT_EQ(doc.listOrigin, NoteOrigin::Scanned);
    frame.SwitchScreen(Cmd::InfoBack);
    EXPECT_EQ(sent(), QStringList{note("502", "3", 3)});
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);

    // By container: checked against the ranges, then asked for its note.
    into("containerId", "15000000");
    EXPECT_EQ(sent(), (QStringList{container("15000000"), note("502", "3", 0, "346")}));
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    frame.SwitchScreen(Cmd::InfoBack);
    sent();
    into("containerId", "25000000");
    EXPECT_TRUE(sent().isEmpty()) << "outside the plant's ranges nothing is sent";
    EXPECT_EQ(prompter.messageTexts().last(), "This container label is not in the allowed ranges.");

    // Scan next, then Save.
    office.answer("KORVANEPACKINGNOTE", noteAnswer(349, "400168"));
    click("scanNext");
    EXPECT_EQ(sent(), QStringList{note("502", "3", 2)});
    EXPECT_EQ(frame.currentScreen()->findChild<QLineEdit*>("noteNumber")->text(), "400168");
    click("save");
    EXPECT_EQ(sent(), QStringList{note("502", "3", 0, "349")});
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    frame.SwitchScreen(Cmd::InfoBack);
    sent();

    // From each list. New and in-progress notes open; leaving returns to the list.
    const struct {
        const char* button;
        int action;
        NoteOrigin origin;
    } lists[] = {{"newList", 0, NoteOrigin::NewList},
                 {"inProgressList", 1, NoteOrigin::InProgressList}};
    for (const auto& l : lists) {
        SCOPED_TRACE(l.button);
        ASSERT_EQ(screen(), kScanPnOrContainerScreen);
        click(l.button);
        EXPECT_EQ(sent(), QStringList{list("502", l.action)});
        ASSERT_EQ(screen(), kPackingNotesScreen);
        key(Qt::Key_Down);
        key(Qt::Key_Return);
        EXPECT_EQ(sent(), QStringList{note("502", "3", 0, "348")});
        ASSERT_EQ(screen(), kPackingNoteInfoScreen);
        EXPECT_EQ(doc.listOrigin, l.origin);
        frame.SwitchScreen(Cmd::InfoBack);
        EXPECT_EQ(sent(), (QStringList{note("502", "3", 3), list("502", l.action)}));
        ASSERT_EQ(screen(), kPackingNotesScreen);
        key(Qt::Key_Escape);
    }
    // The done list reprints.
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);
    click("doneList");
    EXPECT_EQ(sent(), QStringList{list("502", 2)});
    ASSERT_EQ(screen(), kPackingNotesScreen);
    EXPECT_EQ(actionsBySoftKey(), (QStringList{"Back", "Print"})) << "done notes are not opened";
    key(Qt::Key_Return);
    EXPECT_EQ(sent(), QStringList{print("347", "2")}) << "the note's own colli count";
    EXPECT_EQ(screen(), kPackingNotesScreen);
    key(Qt::Key_Escape);
    EXPECT_EQ(screen(), kScanPnOrContainerScreen);
    // Back to the routes, fetched again.
    key(Qt::Key_Escape);
    EXPECT_EQ(sent(), QStringList{route("3", "20250312")});
    EXPECT_EQ(screen(), kRouteScreen);
    EXPECT_EQ(prompter.waitDepth, 0);
}

TEST_F(EntryEndToEnd, PackingNoteModeToTheNoteOrItsLines) {
    startIn("PACKINGNOTEMODE", true, false);
    ASSERT_EQ(screen(), kDepartmentScreen);
    EXPECT_EQ(frame.currentScreen()->titleLabel()->text(), "Employee");
    into("employeeNumber", "1047");
    key(Qt::Key_Return);
    EXPECT_EQ(sent(), QStringList{employee("1047")});
    ASSERT_EQ(screen(), kScanPackingNoteScreen);

    // Without instructions the plant goes straight to the lines.
    const QString none = "4294967295";
    type("400100");
    key(Qt::Key_Return);
    EXPECT_EQ(sent(), (QStringList{note(none, none, 1, "400100"), note(none, none, 0, "345"),
                                   lines("345")}));
    ASSERT_EQ(screen(), kDeliveredProdScreen);
    frame.SwitchScreen(Cmd::DeliveredBack);
    EXPECT_EQ(sent(), QStringList{note(none, none, 3)});
    ASSERT_EQ(screen(), kScanPackingNoteScreen);

    // A note with instructions shows its information first.
    office.answer("KORVANEPACKINGNOTE", noteAnswer(350, "400185", R"(<UI UI="Fragile"/>)"));
    type("400185");
    key(Qt::Key_Return);
    EXPECT_EQ(sent(), (QStringList{note(none, none, 1, "400185"), note(none, none, 0, "350")}));
    EXPECT_EQ(screen(), kPackingNoteInfoScreen);
}

TEST_F(EntryEndToEnd, PackingNoteModeWithInformationFirst) {
    startIn("PACKINGNOTEMODE", false, true);
    ASSERT_EQ(screen(), kScanPackingNoteScreen) << "no employee number: straight to the scan";
    type("400100");
    key(Qt::Key_Return);
    const QString none = "4294967295";
    const QString noEmployee = note(none, none, 1, "400100").remove(EMP);
    EXPECT_EQ(sent(), (QStringList{noEmployee, note(none, none, 0, "345").remove(EMP)}));
    EXPECT_EQ(screen(), kPackingNoteInfoScreen);
}

TEST_F(EntryEndToEnd, ANoteOfAnotherRouteAsksBeforeTheRouteChanges) {
    startIn("ROUTEMODE", false, true, 2);
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kDayScreen);
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);
    sent();
    office.answer("KORVANEPACKINGNOTE",
                  R"(<KorvanePackingNoteResponse><PackingNote PNID="351" NNR="400202"/>)"
                  R"(<RouteChange FD="12-03-2025" RCID="777" RNR="40" D="Kellsford" QN="3" QP="1" )"
                  R"(QC="0"/></KorvanePackingNoteResponse>)");
    prompter.dialogAnswers = {1};
    into("noteNumber", "400202");
    ASSERT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 1);
    EXPECT_TRUE(prompter.shown.last().text.contains("40"))
        << prompter.shown.last().text.toStdString();
    // The worker took the note's route: its requests carry the new route.
    const QString noEmployee = note("501", "3", 1, "400202").remove(EMP);
    EXPECT_EQ(sent(), (QStringList{noEmployee, note("777", "3", 0, "351").remove(EMP)}));
    EXPECT_EQ(screen(), kPackingNoteInfoScreen);
    EXPECT_EQ(doc.currentRoute->RNR, 40);
    EXPECT_TRUE(doc.routeCountsCurrent);
}

} // namespace
