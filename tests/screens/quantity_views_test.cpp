// The delivered-products screen and its counting twin on the fake frame.
#include "screen_fixture.h"
#include "screens/add_count_view.h"
#include "screens/delivered_prod_view.h"
#include "widgets/editable_list.h"
#include "widgets/image_button.h"

#include <QLineEdit>
#include <QTest>

namespace {

using Message = RecordingBackOffice::Message;

packingnoteline line(int id, const QString& product, int ordered, int delivered, int minq = 0,
                     int maxq = 0) {
    packingnoteline l;
    l.PNLID = id;
    l.PD = product;
    l.PC = "P" + QString::number(id);
    l.SD = "1 kg";
    l.FMD = "crate";
    l.QO = ordered;
    l.QD = delivered;
    l.parsedQuantity = delivered;
    l.MINQ = minq;
    l.MAXQ = maxq;
    return l;
}

class QuantityViews : public ScreenFixture {
protected:
    QuantityViews() {
        Settings& s = doc.currentSettings.emplace();
        s.OPI = true;
        s.DNC = 1;
        s.DNPP = 1;
        PackingNote& note = doc.currentPackingNote.emplace();
        note.PNID = 345;
        note.NNR = "4711";
        note.SC = "10";
        note.PNCN = 9;
        note.details.emplace().C = {{"K1"}, {"K2"}};
        doc.currentRoute = RouteControl{12, 101, "North", 5, 5, 5};
        doc.packingNoteLines.emplace().lines = {line(11, "Bolts", 10, 10),
                                                line(12, "Nuts", 5, 3, 2, 8)};
    }

    CEditableList* list() { return child<CEditableList>("lines"); }
    QString cell(int row, int column) { return list()->cellText(row, column); }
    // Opens the quantity cell of a row, types and ends with `key`.
    void edit(int row, const QString& text, int key = Qt::Key_Return) {
        // The quantity is the last column on both screens.
        ASSERT_TRUE(list()->startEdit(row, list()->model()->columnCount() - 1));
        typeText(text);
        press(key);
        ASSERT_EQ(list()->editor(), nullptr);
    }
    // x of each visible button of the row, by object name.
    QStringList buttonRow() {
        QMap<int, QString> byX;
        for (CImageButton* b : frame.client()->findChildren<CImageButton*>()) {
            if (b->isVisibleTo(frame.client())) {
                byX[b->x()] = b->objectName();
            }
        }
        return byX.values();
    }
};

TEST_F(QuantityViews, DeliveredShowsTheLinesAndTheSelectedDetails) {
    CDeliveredProdView* view = open<CDeliveredProdView>();
    EXPECT_EQ(view->titleLabel()->text(), "Note 4711");
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->model()->headerData(2, Qt::Horizontal).toString(), "Deliv.");
    EXPECT_EQ(cell(1, 0), "Nuts");
    EXPECT_EQ(cell(1, 1), "5");
    EXPECT_EQ(cell(1, 2), "3");
    EXPECT_EQ(child<QLineEdit>("description")->text(), "Bolts");
    list()->setCurrentRow(1);
    EXPECT_EQ(child<QLineEdit>("description")->text(), "Nuts");
    EXPECT_EQ(child<QLineEdit>("productCode")->text(), "P12");
    EXPECT_EQ(child<QLineEdit>("size")->text(), "1 kg");
    EXPECT_EQ(child<QLineEdit>("secondDescription")->text(), "crate");
    EXPECT_EQ(doc.currentPackingNote->PNCN, 2) << "the colli count starts at the containers";
    EXPECT_FALSE(doc.quantitiesChanged) << "nothing changed yet: leaving asks nothing";
    EXPECT_TRUE(frame.actionEnabled(kDeliveredProdScreen, 3)) << "Hold";

    // Red where delivered differs from ordered, on white either way.
    auto* delegate = static_cast<QuantityDelegate*>(list()->itemDelegate());
    const auto asOrdered = delegate->cellColours(list()->model()->index(0, 2));
    const auto short_ = delegate->cellColours(list()->model()->index(1, 2));
    EXPECT_EQ(asOrdered.first, QColor(0, 0, 0));
    EXPECT_EQ(short_.first, QColor(255, 51, 51));
    EXPECT_EQ(short_.second, QColor(255, 255, 255));
}

TEST_F(QuantityViews, ButtonArrangement) {
    const struct {
        const char* name;
        bool opi;
        int dnc, dnpp;
        bool sp;
        QStringList row;
        std::vector<int> removed;
    } cases[] = {
        {"print, all optional",
         true,
         1,
         1,
         false,
         {"print", "back", "hold", "outScanPool", "counting"},
         {Cmd::DeliveredProcess}},
        {"process, no out-scan",
         false,
         1,
         2,
         false,
         {"process", "back", "hold", "counting"},
         {Cmd::DeliveredPrint, Cmd::DeliveredOutScanPool}},
        {"process by the note, no counting",
         true,
         0,
         1,
         true,
         {"process", "back", "hold", "outScanPool"},
         {Cmd::DeliveredPrint, Cmd::DeliveredCounting}},
        {"DNPP 4, nothing optional",
         false,
         0,
         4,
         false,
         {"back", "hold"},
         {Cmd::DeliveredPrint, Cmd::DeliveredProcess, Cmd::DeliveredOutScanPool,
          Cmd::DeliveredCounting}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        doc.currentSettings->OPI = c.opi;
        doc.currentSettings->DNC = static_cast<std::int16_t>(c.dnc);
        doc.currentSettings->DNPP = static_cast<std::int16_t>(c.dnpp);
        doc.currentPackingNote->SP = c.sp;
        frame.removedEntries.clear();
        CDeliveredProdView* view = open<CDeliveredProdView>();
        EXPECT_EQ(buttonRow(), c.row);
        EXPECT_EQ(frame.removedEntries, c.removed);
        EXPECT_EQ(view->findChild<CImageButton*>("back")->x(), c.row.indexOf("back") * 40 + 1);
        delete view;
    }
}

TEST_F(QuantityViews, RangeRuleAsksOncePerEdit) {
    open<CDeliveredProdView>();
    edit(1, "6"); // inside 2..8
    EXPECT_EQ(cell(1, 2), "6");
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 0);

    prompter.dialogAnswers = {2};
    edit(1, "9"); // outside, refused
    EXPECT_EQ(prompter.texts(ScriptedPrompter::Kind::Question),
              QStringList{"This quantity is outside the allowed range. Keep it?"});
    EXPECT_EQ(cell(1, 2), "6") << "the value before the edit comes back";

    prompter.dialogAnswers = {1};
    edit(1, "12"); // outside, kept
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 2);
    EXPECT_EQ(cell(1, 2), "12");
    EXPECT_EQ(doc.packingNoteLines->lines[1].editedQuantity, 12);

    edit(0, "-4"); // no range: a minus sign is no quantity
    EXPECT_EQ(cell(0, 2), "0");
    edit(0, "7", Qt::Key_Escape);
    EXPECT_EQ(cell(0, 2), "0") << "Escape keeps the cell";
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 2);
}

TEST_F(QuantityViews, HoldSavesAndCountsTheNoteInProgress) {
    CDeliveredProdView* view = open<CDeliveredProdView>();
    edit(0, "8");
    EXPECT_EQ(view->runOperation(ScreenOperation::HoldNote), Result::Ok);
    EXPECT_EQ(office.messages(), QList<Message>{Message::DeliveredQuantity});
    EXPECT_EQ(office.exchanges[0].action, static_cast<int>(QuantityPurpose::Delivered));
    EXPECT_EQ(doc.packingNoteLines->lines[0].QD, 8);
    EXPECT_EQ(doc.packingNoteLines->lines[1].QD, 3);
    EXPECT_FALSE(doc.quantitiesChanged);
    EXPECT_EQ(doc.currentRoute->QN, 4);
    EXPECT_EQ(doc.currentRoute->QP, 6);
}

TEST_F(QuantityViews, FailedSaveKeepsTheQuantitiesOnTheScreen) {
    CDeliveredProdView* view = open<CDeliveredProdView>();
    list()->startEdit(0, 2);
    typeText("8");
    // Hold while the cell is still open: what was typed counts.
    office.fail(Message::DeliveredQuantity, "Server down", 2);
    EXPECT_EQ(view->runOperation(ScreenOperation::HoldNote), "Server down");
    EXPECT_EQ(cell(0, 2), "8");
    EXPECT_TRUE(doc.quantitiesChanged);
    EXPECT_EQ(doc.currentRoute->QN, 5);

    prompter.dialogAnswers = {1}; // save them?
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveDelivered), "Server down");
    EXPECT_EQ(prompter.texts(ScriptedPrompter::Kind::Question),
              QStringList{"The delivered quantities have changed.\r\nSave them?"});
    EXPECT_TRUE(doc.quantitiesChanged);

    prompter.dialogAnswers = {2};
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveDelivered), Result::Ok);
    EXPECT_EQ(office.exchanges.size(), 2) << "leaving without saving sends nothing";

    prompter.dialogAnswers = {1};
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveDelivered), Result::Ok);
    EXPECT_FALSE(doc.quantitiesChanged);
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveDelivered), Result::Ok);
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 3) << "saved: no question";
}

TEST_F(QuantityViews, PrintAndProcessBranches) {
    const struct {
        const char* name;
        int dnpp;
        bool sp;
        int pof;
        bool pcs;
        QString sc;
        bool allZero;
        std::vector<Message> failing;
        std::deque<int> dialogs;
        std::deque<int> colli;
        QString result;
        QList<Message> sent;
        int colliSent, orderForm;
        QStringList told;
        int qn, qp, qc;
    } cases[] = {
        {"process and print with the order form asked and colli",
         1,
         false,
         1,
         true,
         "10",
         false,
         {},
         {1},
         {3},
         Result::Ok,
         {Message::DeliveredQuantity, Message::Process, Message::Print},
         3,
         1,
         {},
         4,
         5,
         6},
        {"print fails after processing",
         1,
         false,
         0,
         false,
         "20",
         false,
         {Message::Print},
         {},
         {},
         Result::NoReportServerFound,
         {Message::DeliveredQuantity, Message::Process, Message::Print},
         0,
         0,
         {},
         5,
         4,
         6},
        {"all zero told before processing",
         1,
         false,
         2,
         false,
         "10",
         true,
         {},
         {},
         {},
         Result::Ok,
         {Message::DeliveredQuantity, Message::Process, Message::Print},
         0,
         1,
         {"Information: All delivered quantities are 0."},
         4,
         5,
         6},
        {"save fails",
         1,
         false,
         0,
         false,
         "10",
         false,
         {Message::DeliveredQuantity},
         {},
         {},
         Result::NotOk,
         {Message::DeliveredQuantity},
         0,
         0,
         {},
         5,
         5,
         5},
        {"not printed in process mode",
         3,
         true,
         0,
         false,
         "10",
         false,
         {},
         {},
         {},
         Result::NotOk,
         {},
         0,
         0,
         {"Korvane: The delivery documents of this note are not printed."},
         5,
         5,
         5},
        {"print only, order form refused",
         0,
         false,
         1,
         false,
         "10",
         false,
         {},
         {2},
         {},
         Result::Ok,
         {Message::DeliveredQuantity, Message::Print},
         0,
         0,
         {},
         5,
         5,
         5},
        {"colli count cancelled ends as printed",
         0,
         false,
         0,
         true,
         "10",
         false,
         {},
         {},
         {-1},
         Result::Ok,
         {Message::DeliveredQuantity},
         0,
         0,
         {},
         5,
         5,
         5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        office.clear();
        prompter.clear();
        doc.currentSettings->DNPP = static_cast<std::int16_t>(c.dnpp);
        doc.currentSettings->POF = static_cast<std::int16_t>(c.pof);
        doc.currentSettings->PCS = c.pcs;
        doc.currentPackingNote->SP = c.sp;
        doc.currentPackingNote->SC = c.sc;
        doc.currentRoute = RouteControl{12, 101, "North", 5, 5, 5};
        doc.colliCount = 0;
        for (packingnoteline& l : doc.packingNoteLines->lines) {
            l.QD = c.allZero ? 0 : 4;
        }
        for (const Message m : c.failing) {
            office.fail(m);
        }
        prompter.dialogAnswers = c.dialogs;
        prompter.colliAnswers = c.colli;
        CDeliveredProdView* view = open<CDeliveredProdView>();
        EXPECT_EQ(view->runOperation(ScreenOperation::PrintOrProcess), c.result);
        EXPECT_EQ(office.messages(), c.sent);
        if (c.sent.contains(Message::Print)) {
            // Without the question the note's own count goes: its two containers.
            EXPECT_EQ(office.exchanges.last().numbers[0], c.pcs ? c.colliSent : 2);
            EXPECT_EQ(office.exchanges.last().numbers[1], c.orderForm);
        }
        QStringList told;
        for (const ScriptedPrompter::Shown& s : prompter.shown) {
            if (s.kind == ScriptedPrompter::Kind::MessageBox) {
                told << s.caption + ": " + s.text;
            }
        }
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(doc.currentRoute->QN, c.qn);
        EXPECT_EQ(doc.currentRoute->QP, c.qp);
        EXPECT_EQ(doc.currentRoute->QC, c.qc);
        delete view;
    }
}

TEST_F(QuantityViews, OutScanPoolCountingAndANoteWithoutLines) {
    CDeliveredProdView* view = open<CDeliveredProdView>();
    list()->setCurrentRow(1);
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreCurrentLine), Result::Ok);
    ASSERT_TRUE(doc.currentLine);
    EXPECT_EQ(doc.currentLine->PNLID, 12);
    office.fail(Message::Count);
    EXPECT_NE(view->runOperation(ScreenOperation::PrepareCounting), Result::Ok);
    EXPECT_EQ(view->runOperation(ScreenOperation::PrepareCounting), Result::Ok);
    delete view;

    // Without lines: nothing to print or process, and no other note's line.
    doc.packingNoteLines->lines.clear();
    view = open<CDeliveredProdView>();
    EXPECT_FALSE(frame.actionEnabled(kDeliveredProdScreen, 0));
    EXPECT_FALSE(frame.actionEnabled(kDeliveredProdScreen, 1));
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreCurrentLine), Result::Ok);
    EXPECT_FALSE(doc.currentLine);
    EXPECT_EQ(view->runOperation(ScreenOperation::HoldNote), Result::Ok);
    doc.packingNoteLines.reset();
    delete view;
    view = open<CDeliveredProdView>();
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(view->runOperation(ScreenOperation::PrintOrProcess), Result::Ok);
}

TEST_F(QuantityViews, KeysLeaveTheCellEditorAlone) {
    open<CDeliveredProdView>();
    list()->setFocus();
    press(Qt::Key_Return); // on the list: opens the selected row's quantity
    ASSERT_NE(list()->editor(), nullptr);
    typeText("7");
    press(Qt::Key_Left); // moves the cursor, the screen does not swallow it
    typeText("1");
    press(Qt::Key_Return);
    EXPECT_EQ(cell(0, 2), "17");
    EXPECT_TRUE(frame.commands.empty());
}

class CountView : public QuantityViews {
protected:
    CountView() {
        doc.countResult.emplace().lines = {line(21, "Crates", 4, 4, 1, 6), line(22, "Lids", 2, 2)};
    }
};

TEST_F(CountView, SaveOnlyWhenCountsChangedAndBackAsks) {
    CAddCountView* view = open<CAddCountView>();
    EXPECT_EQ(view->titleLabel()->text(), "Note 4711");
    EXPECT_EQ(list()->model()->columnCount(), 2);
    EXPECT_EQ(cell(1, 1), "2");
    EXPECT_FALSE(frame.actionEnabled(kAddCountScreen, 0));
    view->setFocus();
    press(Qt::Key_Return);
    EXPECT_TRUE(frame.commands.empty()) << "nothing changed: Enter does nothing";
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveCountCheck), Result::Ok);
    EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), 0);

    prompter.dialogAnswers = {2};
    edit(0, "9"); // outside 1..6, refused
    EXPECT_EQ(cell(0, 1), "4");
    EXPECT_FALSE(frame.actionEnabled(kAddCountScreen, 0)) << "refused: no change";
    edit(0, "5");
    EXPECT_TRUE(frame.actionEnabled(kAddCountScreen, 0)) << "a count that differs";
    view->setFocus();
    press(Qt::Key_Right);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::CountSave});

    edit(1, "3");
    office.fail(Message::DeliveredQuantity);
    EXPECT_NE(view->runOperation(ScreenOperation::SaveCount), Result::Ok);
    EXPECT_TRUE(frame.actionEnabled(kAddCountScreen, 0));
    EXPECT_EQ(doc.countResult->lines[1].QD, 2) << "what the back office has, not what it refused";
    EXPECT_EQ(cell(1, 1), "3") << "the count stays to be saved again";

    prompter.dialogAnswers = {2, 1};
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveCountCheck), Result::NotOk);
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveCountCheck), Result::Ok);
    EXPECT_EQ(prompter.texts(ScriptedPrompter::Kind::Question).last(),
              "The counts are not saved. Leave without saving?");

    EXPECT_EQ(view->runOperation(ScreenOperation::SaveCount), Result::Ok);
    EXPECT_FALSE(frame.actionEnabled(kAddCountScreen, 0));
    EXPECT_EQ(view->runOperation(ScreenOperation::CountLineCall), Result::Ok);
    EXPECT_EQ(office.messages(),
              QList<Message>({Message::DeliveredQuantity, Message::DeliveredQuantity,
                              Message::PackingNoteLines}));
    EXPECT_EQ(office.exchanges[1].action, static_cast<int>(QuantityPurpose::Counting))
        << "the count's own lines are sent";

    // Back while a count is still being typed: it is not lost unasked.
    list()->startEdit(1, 1);
    typeText("5");
    prompter.dialogAnswers = {2};
    EXPECT_EQ(view->runOperation(ScreenOperation::LeaveCountCheck), Result::NotOk);
    EXPECT_EQ(cell(1, 1), "5");

    frame.commands.clear();
    view->setFocus();
    press(Qt::Key_Escape);
    press(Qt::Key_Left);
    EXPECT_EQ(frame.commands, std::vector<int>({Cmd::CountBack, Cmd::CountBack}));
}

} // namespace
