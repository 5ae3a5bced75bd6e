// A worker's morning against the reference back office and its demonstration
// warehouse: the real program, real screens, real exchanges, keys and scans as
// a handheld with a scanner would send them; the warehouse's database is read
// afterwards to see that every change arrived once.
#include "backoffice/embedded_back_office.h"
#include "frame_fixture.h"
#include "platform/clock.h"
#include "service/service_transport.h"
#include "widgets/colour_widgets.h"
#include "widgets/editable_list.h"
#include "widgets/image_button.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// The demonstration warehouse of this day; the handheld's clock says the same.
constexpr char kDay[] = "2025-03-12";
// notes.status of a done note.
constexpr char kDoneStatus[] = "2";

class WarehouseWalk : public FrameFixture<> {
protected:
    void SetUp() override {
        start("PlantCode=" + plant_ + "\nPDA=" + handheld_ +
              "\nHostIP=127.0.0.1\nPortNumber=" + QByteArray::number(office.port()) +
              "\nViewBy=DELIVERY\nOperatingMode=" + mode_ + "\n");
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    }
    void TearDown() override { ServiceTransport::instance().Disconnect(); }

    QWidget* focused() {
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus : frame.currentScreen();
    }
    void key(Qt::Key k) { QTest::keyClick(focused(), k); }
    // A scan: the label's characters into a field, then the scanner's Enter.
    void scan(const char* field, const QString& label) {
        auto* edit = child<QLineEdit>(field);
        ASSERT_NE(edit, nullptr) << field;
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(edit, label);
        QTest::keyClick(edit, Qt::Key_Return);
        settle();
    }
    void click(const char* name) {
        auto* button = child<CImageButton>(name);
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isEnabled()) << name;
        button->click();
        settle();
    }
    void editQuantity(int row, const QString& text) {
        auto* list = child<CEditableList>("lines");
        ASSERT_TRUE(list->startEdit(row, list->model()->columnCount() - 1));
        QTest::keyClicks(list->editor(), text);
        QTest::keyClick(list->editor(), Qt::Key_Return);
        settle();
    }
    void settle() {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::sendPostedEvents();
        }
    }
    template <typename W> W* child(const char* name) {
        return frame.currentScreen()->findChild<W*>(QLatin1String(name));
    }
    QString text(const char* label) {
        auto* l = child<QLabel>(label);
        return l ? l->text() : QStringLiteral("<no %1>").arg(label);
    }
    int screen() const { return frame.currentScreenId(); }
    // The row of a product on the screen's list (the lines are in the work state's order).
    int rowOf(const char* productCode) {
        const auto& lines = doc.packingNoteLines->lines;
        for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
            if (lines[static_cast<std::size_t>(i)].PC == QLatin1String(productCode)) {
                return i;
            }
        }
        return -1;
    }
    std::string db(const std::string& sql, const std::vector<std::string>& parameters = {}) {
        return office.scalar(sql, parameters);
    }
    std::string noteStatus(const char* number) {
        return db("SELECT status FROM notes WHERE number = ?", {number});
    }

    QByteArray plant_ = "1000";
    QByteArray handheld_ = "HH01";
    QByteArray mode_ = "ROUTEMODE";
    ScopedClock clock{QDateTime(QDate(2025, 3, 12), QTime(6, 45))};
    backoffice::EmbeddedBackOffice office{kDay};
};

TEST_F(WarehouseWalk, ARouteFromStartToPrintedNotes) {
    // Start, then the employee number and the department.
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kDepartmentScreen);
    EXPECT_EQ(doc.currentSettings->plant->PN, "Korvane Fresh Distribution");
    scan("employeeNumber", "1002");
    EXPECT_EQ(text("employeeName"), "Tomas Vermeer");
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kDayScreen);

    // Today, and its routes.
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kRouteScreen);
    ASSERT_FALSE(doc.routes.empty());
    EXPECT_EQ(doc.routes.front().RNR, 101);
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);
    EXPECT_EQ(doc.currentRoute->RNR, 101);
    EXPECT_EQ(text("newCount"), "3");
    EXPECT_EQ(text("inProgressCount"), "1");
    EXPECT_EQ(text("doneCount"), "2");

    // A note by its number; the information, a container, the lines.
    scan("noteNumber", "4310104");
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    EXPECT_EQ(noteStatus("4310104"), "1") << "opened: in progress, held by this handheld";
    scan("container", "20500001");
    EXPECT_EQ(text("containerCount").left(2), "1 ");
    scan("container", "20500001");
    EXPECT_EQ(db("SELECT count(*) FROM note_containers WHERE code = '20500001'"), "1")
        << "a container scanned twice is one container";
    key(Qt::Key_Return); // Enter in the empty field: on to the lines
    ASSERT_EQ(screen(), kDeliveredProdScreen);
    ASSERT_FALSE(doc.packingNoteLines->lines.empty());

    // One quantity corrected, then Hold: back to the route, the note stays in progress.
    const packingnoteline first = doc.packingNoteLines->lines.front();
    const int corrected = first.MINQ > 0 ? first.MINQ : std::max(0, first.QO - 1);
    editQuantity(0, QString::number(corrected));
    click("hold");
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);
    EXPECT_EQ(db("SELECT delivered FROM lines WHERE id = ?", {std::to_string(first.PNLID)}),
              std::to_string(corrected));
    EXPECT_EQ(noteStatus("4310104"), "1");

    // A note found by one of its containers, left again (its hold let go).
    const std::string label = db("SELECT c.code FROM note_containers c JOIN notes n ON n.id = "
                                 "c.note_id WHERE n.number = '4310103' ORDER BY c.code LIMIT 1");
    ASSERT_FALSE(label.empty());
    scan("containerId", QString::fromStdString(label));
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    EXPECT_EQ(doc.currentPackingNote->NNR, "4310103");
    key(Qt::Key_Escape);
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);

    // The in-progress list opens a note; leaving it shows the list again.
    click("inProgressList");
    ASSERT_EQ(screen(), kPackingNotesScreen);
    ASSERT_EQ(doc.packingNoteList.size(), 2u) << "4310103 and the held 4310104";
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    key(Qt::Key_Escape);
    ASSERT_EQ(screen(), kPackingNotesScreen);
    key(Qt::Key_Escape);
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);

    // Scan next takes the next new note; its pool product is out-scanned.
    click("scanNext");
    EXPECT_EQ(child<QLineEdit>("noteNumber")->text(), "4310105");
    click("save");
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    click("save");
    ASSERT_EQ(screen(), kDeliveredProdScreen);
    const int pool = rowOf("FR-2010");
    ASSERT_GE(pool, 0) << "the fresh department's notes carry the bouquets";
    child<CEditableList>("lines")->setCurrentRow(pool);
    click("outScanPool");
    ASSERT_EQ(screen(), kOutScanPoolScreen);
    scan("scan", "9100001");
    EXPECT_EQ(child<CColourEdit>("scan")->paintedBackground(), QColor(0, 255, 0)) << "accepted";
    scan("scan", "9100001");
    EXPECT_EQ(db("SELECT count(*) FROM pool_units WHERE code = '9100001' AND note_id IS NOT NULL"),
              "1")
        << "an item scanned twice counts once";
    const int messages = prompter.count(ScriptedPrompter::Kind::ColourMessage);
    scan("scan", "0000000");
    ASSERT_EQ(prompter.count(ScriptedPrompter::Kind::ColourMessage), messages + 1);
    EXPECT_EQ(prompter.shown.last().question.firstButton, "Reject") << "an unknown code";
    prompter.dialogAnswers = {1}; // leave with items left to scan
    click("back");
    ASSERT_EQ(screen(), kDeliveredProdScreen);

    // Counting, saved, and back to the lines the back office now has.
    click("counting");
    ASSERT_EQ(screen(), kAddCountScreen);
    ASSERT_TRUE(doc.countResult && !doc.countResult->lines.empty());
    const packingnoteline counted = doc.countResult->lines.front();
    editQuantity(0, QString::number(counted.QO + 1));
    key(Qt::Key_Return); // Save
    EXPECT_EQ(db("SELECT delivered FROM lines WHERE id = ?", {std::to_string(counted.PNLID)}),
              std::to_string(counted.QO + 1));
    key(Qt::Key_Escape);
    ASSERT_EQ(screen(), kDeliveredProdScreen);

    // Print: process first (the plant's print mode), with an order form and three colli.
    prompter.dialogAnswers = {1};
    prompter.colliAnswers = {3};
    click("print");
    ASSERT_EQ(screen(), kScanPnOrContainerScreen);
    EXPECT_EQ(noteStatus("4310105"), "2") << "processed";
    EXPECT_EQ(db("SELECT colli || '/' || order_form || '/' || status FROM print_jobs"), "3/1/saved")
        << "no print command: the PDF is kept";
    // The handheld's own count keeping agrees with the warehouse: 4310104 held,
    // 4310103 in progress since before, 4310105 done, 4310106 new.
    EXPECT_EQ(text("newCount"), "1");
    EXPECT_EQ(text("inProgressCount"), "2");
    EXPECT_EQ(text("doneCount"), "3");
    EXPECT_EQ(db("SELECT count(*) FROM audit WHERE device_id IS NOT NULL AND "
                 "(employee_id IS NULL OR employee_id = 0)"),
              "0")
        << "every change this handheld made names the worker";
}

// The route screen's counts are the handheld's own arithmetic on the answers
// (Hold, Scan next, Print); after every step they must read what the back
// office's route answer would say.
TEST_F(WarehouseWalk, RouteCountsAgreeWithTheBackOfficeAfterEveryStep) {
    auto agree = [this](const char* step) {
        ASSERT_EQ(screen(), kScanPnOrContainerScreen) << step;
        const auto counts = office.query(
            "SELECT sum(n.status = 0), sum(n.status = 1), sum(n.status = 2) FROM notes n "
            "JOIN routes r ON r.id = n.route_id WHERE r.number = 102 AND r.delivery_day = ?",
            {kDay});
        ASSERT_EQ(counts.size(), 1u);
        EXPECT_EQ(text("newCount") + "/" + text("inProgressCount") + "/" + text("doneCount"),
                  QString::fromStdString(counts[0][0] + "/" + counts[0][1] + "/" + counts[0][2]))
            << step;
    };
    key(Qt::Key_Return);
    scan("employeeNumber", "1002");
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kRouteScreen);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    ASSERT_EQ(doc.currentRoute->RNR, 102);
    agree("the route as it came");

    scan("noteNumber", "4310204");
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kDeliveredProdScreen);
    click("hold");
    agree("a new note held");

    // The held note again, from the in-progress list, and printed.
    click("inProgressList");
    ASSERT_EQ(screen(), kPackingNotesScreen);
    auto* notes = child<QTreeWidget>("notes");
    for (int row = 0; row < notes->topLevelItemCount(); ++row) {
        if (notes->topLevelItem(row)->text(0).contains("4310204")) {
            notes->setCurrentItem(notes->topLevelItem(row));
        }
    }
    key(Qt::Key_Return);
    ASSERT_EQ(doc.currentPackingNote->NNR, "4310204");
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kDeliveredProdScreen);
    prompter.dialogAnswers = {2};
    prompter.colliAnswers = {1};
    click("print");
    ASSERT_EQ(screen(), kPackingNotesScreen);
    key(Qt::Key_Escape);
    agree("the held note printed");

    // Scan next twice: the same note, counted once; opened and left again.
    click("scanNext");
    agree("scan next");
    click("scanNext");
    agree("scan next again");
    click("save");
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    key(Qt::Key_Escape);
    agree("the taken note left");

    // A new note with a container scanned, left without Hold: it stays in progress.
    scan("noteNumber", "4310206");
    ASSERT_EQ(screen(), kPackingNoteInfoScreen);
    scan("container", "20500077");
    key(Qt::Key_Escape);
    agree("a note left with a container");
}

class PackingNoteMode : public WarehouseWalk {
protected:
    void SetUp() override {
        plant_ = "2000";
        handheld_ = "PN01";
        mode_ = "PACKINGNOTEMODE";
        WarehouseWalk::SetUp();
    }
};

TEST_F(PackingNoteMode, AScannedNoteStraightToItsLinesAndBack) {
    key(Qt::Key_Return);
    ASSERT_EQ(screen(), kScanPackingNoteScreen) << "this plant asks for no employee number";
    scan("noteNumber", "5200001");
    ASSERT_EQ(screen(), kDeliveredProdScreen) << "no instructions: straight to the lines";
    ASSERT_TRUE(child<CImageButton>("print")->isVisible()) << "this plant prints";
    click("print");
    ASSERT_EQ(screen(), kScanPackingNoteScreen);
    // Print closes the note: processed, then printed; it cannot be opened again.
    EXPECT_EQ(noteStatus("5200001"), kDoneStatus);
    EXPECT_EQ(db("SELECT count(*) FROM print_jobs"), "1");
    prompter.clear();
    scan("noteNumber", "5200001");
    EXPECT_EQ(screen(), kScanPackingNoteScreen);
    EXPECT_FALSE(prompter.shown.isEmpty()) << "a done note is refused";
    // An unknown number keeps the screen, with the back office's reason.
    prompter.clear();
    scan("noteNumber", "5299999");
    EXPECT_EQ(screen(), kScanPackingNoteScreen);
    ASSERT_FALSE(prompter.shown.isEmpty());
}

} // namespace
