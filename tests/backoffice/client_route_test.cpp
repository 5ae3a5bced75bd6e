// A whole route worked through the handheld's own service layer against the
// real back office with the demonstration warehouse, checked in the database.
#include "backoffice/demo_data.h"
#include "backoffice/embedded_back_office.h"
#include "model/korvo_doc.h"
#include "scripted_prompter.h"
#include "service/messages/messages.h"
#include "service/service_transport.h"
#include "test_database.h"
#include "test_device.h"

#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

const std::string kDay = "2026-03-04";

// The office of the engine the test runs on; none when that engine has no
// server here.
std::unique_ptr<backoffice::EmbeddedBackOffice> officeOn(const TestDatabase& database) {
    if (!database.available()) {
        return nullptr;
    }
    backoffice::EmbeddedBackOffice::Options options;
    options.today = kDay;
    if (database.engine() != "sqlite") {
        options.database = database.location();
    }
    return std::make_unique<backoffice::EmbeddedBackOffice>(options);
}

class ClientRoute : public ::testing::TestWithParam<const char*> {
protected:
    static QString english() {
        QFile file(QStringLiteral(KORVANE_SOURCE_DIR "/resources/translations/ZIRPA_English.txt"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromLatin1(file.readAll());
    }

    ClientRoute()
        : database_(GetParam(), std::filesystem::temp_directory_path()),
          office_(officeOn(database_)) {
        if (!office_) {
            return;
        }
        doc_.translations.LoadFromText(english());
        doc_.hostIp = QStringLiteral("127.0.0.1");
        doc_.portNumber = QString::number(office_->port());
        doc_.webServicePath = QString::fromStdString(office_->servicePath());
        doc_.plantCode = QStringLiteral("1000");
        doc_.pdaCode = QStringLiteral("HH03");
        doc_.viewBy = QStringLiteral("DELIVERY");
        doc_.operatingMode = QStringLiteral("ROUTEMODE");
    }

    std::string db(const std::string& sql, const std::vector<std::string>& parameters = {}) {
        return office_->scalar(sql, parameters);
    }
    const QString& path() const { return doc_.webServicePath; }

    void SetUp() override {
        if (!office_) {
            GTEST_SKIP() << "no " << GetParam() << " server for the tests";
        }
    }

    TestDatabase database_;
    std::unique_ptr<backoffice::EmbeddedBackOffice> office_;
    TestDevice device_;
    ScriptedPrompter prompter_;
    ScopedPrompter prompterScope_{prompter_};
    CKorvoDoc doc_;
};

} // namespace

TEST_P(ClientRoute, AWholeRouteOfTheDemonstrationWarehouse) {
    using backoffice::DemoNoteNumber;
    // Start: the plant's settings.
    ASSERT_EQ(CallMessage(MessageKind::Settings, doc_, false, path()), kServiceOk);
    ASSERT_TRUE(doc_.currentSettings);
    EXPECT_TRUE(doc_.currentSettings->DNENR);
    EXPECT_EQ(doc_.currentSettings->AORD, 2);
    EXPECT_EQ(doc_.currentSettings->departments.size(), 3u);
    EXPECT_EQ(doc_.currentSettings->containerRanges.size(), 2u);
    EXPECT_EQ(doc_.currentSettings->plant->PN, QStringLiteral("Korvane Fresh Distribution"));

    // Department and employee.
    EXPECT_EQ(SendEmployeeMessage(doc_, 1002, path(), false), QStringLiteral("Tomas Vermeer"));
    EXPECT_TRUE(doc_.employeeConfirmed);
    EXPECT_EQ(SendEmployeeMessage(doc_, 4242, path(), false),
              QStringLiteral("This employee number is not known in this plant."));
    EXPECT_EQ(SendEmployeeMessage(doc_, 1002, path(), false), QStringLiteral("Tomas Vermeer"));
    doc_.departmentId = doc_.currentSettings->departments.front().PDIDS;

    // Day and route.
    doc_.selectedDay = QStringLiteral("20260304");
    ASSERT_EQ(CallMessage(MessageKind::Route, doc_, false, path()), kServiceOk);
    ASSERT_EQ(doc_.routes.size(), 3u);
    doc_.currentRoute = doc_.routes.front();
    EXPECT_EQ(doc_.currentRoute->RNR, 101);
    EXPECT_EQ(doc_.currentRoute->QN, 3);

    // A note of another route: the worker is asked and says yes.
    prompter_.dialogAnswers = {1};
    EXPECT_EQ(SendPackingNoteMessage(doc_, NoteAction::ScannedNumber,
                                     QString::fromStdString(DemoNoteNumber(1, 102, 2)), path(),
                                     false),
              QStringLiteral("OK"));
    EXPECT_EQ(doc_.currentRoute->RNR, 102);
    EXPECT_TRUE(prompter_.texts(ScriptedPrompter::Kind::Question).join("").contains("102"));
    doc_.currentRoute = doc_.routes.front();

    // By container: the in-progress note's roll cage.
    const std::string container = db(
        "SELECT c.code FROM note_containers c JOIN notes n ON n.id = c.note_id WHERE n.number = ?",
        {DemoNoteNumber(0, 101, 3)});
    EXPECT_EQ(
        SendPackingNoteContainerMessage(doc_, QString::fromStdString(container), path(), false),
        QStringLiteral("OK"));
    EXPECT_EQ(doc_.currentPackingNote->NNR.toStdString(), DemoNoteNumber(0, 101, 3));

    // Scan next, then open it (Save).
    ASSERT_EQ(SendPackingNoteMessage(doc_, NoteAction::NextNew, QString(), path(), false),
              QStringLiteral("OK"));
    const std::string number = DemoNoteNumber(0, 101, 4);
    EXPECT_EQ(doc_.currentPackingNote->NNR.toStdString(), number);
    ASSERT_EQ(SendPackingNoteMessage(doc_, NoteAction::CurrentById, QString(), path(), false),
              QStringLiteral("OK"));
    doc_.packingNoteId = doc_.currentPackingNote->PNID;
    ASSERT_TRUE(doc_.currentPackingNote->details);
    EXPECT_EQ(doc_.currentPackingNote->details->DD, QStringLiteral("Fresh produce"));
    EXPECT_EQ(doc_.currentPackingNote->SC, QStringLiteral("20"));

    // A second handheld is told who has the note.
    {
        CKorvoDoc other;
        other.translations.LoadFromText(english());
        other.hostIp = doc_.hostIp;
        other.portNumber = doc_.portNumber;
        other.plantCode = doc_.plantCode;
        other.pdaCode = QStringLiteral("HH04");
        ASSERT_EQ(CallMessage(MessageKind::Settings, other, false, path()), kServiceOk);
        other.currentPackingNote = doc_.currentPackingNote;
        EXPECT_EQ(SendPackingNoteMessage(other, NoteAction::CurrentById, QString(), path(), false),
                  QString::fromStdString("Packing note " + number +
                                         " is being worked on by handheld HH03."));
    }

    // A container for it, and the lines.
    EXPECT_EQ(SendContainerScanMessage(doc_, QStringLiteral("21000001"), path(), false),
              QStringLiteral("OK"));
    ASSERT_EQ(doc_.containerScanResult.size(), 1u);
    EXPECT_EQ(doc_.containerScanResult.back().CPID, QStringLiteral("21000001"));
    ASSERT_EQ(SendPackingNoteLineMessage(doc_, path(), false), QStringLiteral("OK"));
    ASSERT_TRUE(doc_.packingNoteLines);
    auto& lines = doc_.packingNoteLines->lines;
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(doc_.packingNoteLines->StatusCode, QStringLiteral("20"));

    // Delivered quantities, sent twice (a retry).
    lines[0].QD = 7;
    EXPECT_EQ(SendDeliveredQuantityMessage(doc_, QuantityPurpose::Delivered, path(), false),
              QStringLiteral("OK"));
    EXPECT_EQ(SendDeliveredQuantityMessage(doc_, QuantityPurpose::Delivered, path(), false),
              QStringLiteral("OK"));

    // Out-scan pool: bouquets until one more than ordered, which asks first.
    const auto bouquets = std::find_if(lines.begin(), lines.end(),
                                       [](const packingnoteline& l) { return l.PC == "FR-2010"; });
    ASSERT_NE(bouquets, lines.end());
    for (int i = 1; i <= bouquets->QO; ++i) {
        ASSERT_EQ(SendPoolScanMessage(doc_, QString::number(9100000 + i), 0, 0, 0, path(), false),
                  QStringLiteral("OK"));
        EXPECT_EQ(doc_.poolScanResult->StatusCode, QStringLiteral("30"));
        EXPECT_EQ(doc_.poolScanResult->flags.front().A, 1);
        EXPECT_EQ(doc_.poolScanResult->line->QD, i);
    }
    const QString extra = QString::number(9100000 + bouquets->QO + 1);
    ASSERT_EQ(SendPoolScanMessage(doc_, extra, 0, 0, 0, path(), false), QStringLiteral("OK"));
    EXPECT_EQ(doc_.poolScanResult->flags.front().A, 2);
    ASSERT_NE(doc_.poolScanResult->UniqueItem_ID, 0);
    ASSERT_EQ(
        SendPoolScanMessage(doc_, extra, 1, doc_.poolScanResult->UniqueItem_ID, 0, path(), false),
        QStringLiteral("OK"));
    EXPECT_EQ(doc_.poolScanResult->StatusCode, QStringLiteral("30"));
    EXPECT_EQ(doc_.poolScanResult->line->QD, bouquets->QO + 1);

    // Counting.
    ASSERT_EQ(SendCountMessage(doc_, path(), false), QStringLiteral("OK"));
    ASSERT_TRUE(doc_.countResult);
    for (const packingnoteline& line : doc_.countResult->lines) {
        EXPECT_GT(line.MAXQ, 0);
    }

    // Print with the order form and two colli, then process.
    EXPECT_EQ(SendPrintMessage(doc_, 2, 1, path(), false), QStringLiteral("OK"));
    EXPECT_EQ(SendProcessMessage(doc_, path(), false), QStringLiteral("OK"));

    // The counters as the route screen shows them again.
    ASSERT_EQ(CallMessage(MessageKind::Route, doc_, false, path()), kServiceOk);
    EXPECT_EQ(doc_.routes.front().QN, 2);
    EXPECT_EQ(doc_.routes.front().QP, 1);
    EXPECT_EQ(doc_.routes.front().QC, 3);

    // What the office now knows.
    const std::string id = std::to_string(doc_.packingNoteId);
    EXPECT_EQ(db("SELECT status FROM notes WHERE id = ?", {id}), "2");
    EXPECT_EQ(
        db("SELECT CASE WHEN held_by IS NULL THEN 1 ELSE 0 END FROM notes WHERE id = ?", {id}),
        "1");
    EXPECT_EQ(db("SELECT colli FROM notes WHERE id = ?", {id}), "2");
    EXPECT_EQ(db("SELECT delivered FROM lines WHERE id = ?", {std::to_string(lines[0].PNLID)}),
              "7");
    EXPECT_EQ(db("SELECT COUNT(*) FROM note_containers WHERE note_id = ?", {id}), "1");
    EXPECT_EQ(db("SELECT COUNT(*) FROM pool_units WHERE note_id = ?", {id}),
              std::to_string(bouquets->QO + 1));
    EXPECT_EQ(
        db("SELECT status || ' ' || order_form || ' ' || colli FROM print_jobs WHERE note_id = ?",
           {id}),
        "saved 1 2");
    EXPECT_EQ(
        db("SELECT COUNT(*) FROM audit WHERE entity = 'line' AND entity_id = ? AND employee_id = 2",
           {std::to_string(lines[0].PNLID)}),
        "1")
        << "the retry changed nothing";
}

INSTANTIATE_TEST_SUITE_P(Engines, ClientRoute, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return std::string(info.param); });
