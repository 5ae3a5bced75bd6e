#include "model/korvo_doc.h"
#include "model/note_closing.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct OptionalButtonsCase {
    const char* name;
    bool opi;
    int dnc;
    bool outScanPool;
    bool counting;
};

TEST(DeliveredButtons, OutScanPoolAndCountingFollowThePlant) {
    const OptionalButtonsCase cases[] = {
        {"both", true, 1, true, true},
        {"counting only", false, 5, false, true},
        {"out-scan only", true, 0, true, false},
        {"neither", false, 0, false, false},
    };
    for (const OptionalButtonsCase& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings;
        settings.OPI = c.opi;
        settings.DNC = static_cast<std::int16_t>(c.dnc);
        const DeliveredButtons b = ArrangeDeliveredButtons(settings, false);
        EXPECT_EQ(b.outScanPool, c.outScanPool);
        EXPECT_EQ(b.counting, c.counting);
    }
}

struct ClosingButtonsCase {
    const char* name;
    int dnpp;
    bool sp;
    std::vector<int> order;
    std::vector<int> removed;
};

TEST(DeliveredButtons, ProcessOrPrintByPrintModeInRowOrder) {
    const std::vector<int> tail = {Cmd::DeliveredBack, Cmd::DeliveredHold,
                                   Cmd::DeliveredOutScanPool, Cmd::DeliveredCounting};
    auto after = [&](int first) {
        std::vector<int> order{first};
        order.insert(order.end(), tail.begin(), tail.end());
        return order;
    };
    const ClosingButtonsCase cases[] = {
        {"print mode 1", 1, false, after(Cmd::DeliveredPrint), {Cmd::DeliveredProcess}},
        {"print mode 0", 0, false, after(Cmd::DeliveredPrint), {Cmd::DeliveredProcess}},
        {"print mode 3", 3, false, after(Cmd::DeliveredPrint), {Cmd::DeliveredProcess}},
        {"process mode by DNPP 2", 2, false, after(Cmd::DeliveredProcess), {Cmd::DeliveredPrint}},
        {"process mode by the note", 1, true, after(Cmd::DeliveredProcess), {Cmd::DeliveredPrint}},
        {"process mode, DNPP 4", 4, true, tail, {Cmd::DeliveredPrint, Cmd::DeliveredProcess}},
        {"DNPP 4 starts with Back", 4, false, tail, {Cmd::DeliveredPrint, Cmd::DeliveredProcess}},
    };
    for (const ClosingButtonsCase& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings;
        settings.OPI = true;
        settings.DNC = 1;
        settings.DNPP = static_cast<std::int16_t>(c.dnpp);
        const DeliveredButtons b = ArrangeDeliveredButtons(settings, c.sp);
        EXPECT_EQ(b.order(), c.order);
        EXPECT_EQ(b.removed(), c.removed);
    }
}

// One run of Print and process against scripted steps.
struct ClosingCase {
    const char* name;
    int dnpp;
    bool sp;
    QString sc;   // the note's status code
    bool allZero; // every line delivered 0
    QString save; // result of each step
    QString process;
    QString print;
    bool cancelPrint;
    QString expected;
    QString steps; // the steps that ran
    int qn, qp, qc;
};

// A step's word as the result of its send.
SendResult sent(const QString& word) {
    return word == Result::Ok ? SendResult::ok() : SendResult::failed(word);
}

TEST(PrintAndProcess, EveryBranch) {
    const QString ok = Result::Ok;
    const ClosingCase cases[] = {
        {"not printed in process mode", 3, true, "10", false, ok, ok, ok, false, Result::NotOk,
         "tell:msgDelNotesNotPrinted", 5, 5, 5},
        {"save fails", 1, false, "10", false, "down", ok, ok, false, Result::NotOk, "save", 5, 5,
         5},
        {"process and print", 1, false, "10", false, ok, ok, ok, false, ok, "save,process,print", 4,
         5, 6},
        {"all zero is told first", 1, false, "20", true, ok, ok, ok, false, ok,
         "save,tell:PASW003,process,print", 5, 4, 6},
        {"process fails", 1, false, "10", false, ok, "down", ok, false, Result::NotOk,
         "save,process", 5, 5, 5},
        {"print fails after processing", 1, false, "10", false, ok, ok, "no printer", false,
         Result::NoReportServerFound, "save,process,print", 4, 5, 6},
        {"process mode processes only", 2, false, "20", false, ok, ok, ok, false, ok,
         "save,process", 5, 4, 6},
        {"note's process flag skips the print", 1, true, "30", false, ok, ok, ok, false, ok,
         "save,process", 5, 5, 5},
        {"print only", 0, false, "10", false, ok, ok, ok, false, ok, "save,print", 5, 5, 5},
        {"print only fails", 0, false, "10", true, ok, ok, "no printer", false, Result::NotOk,
         "save,print", 5, 5, 5},
        {"cancelled colli count ends as printed", 0, false, "10", false, ok, ok, "", true, ok,
         "save,print", 5, 5, 5},
        {"DNPP 3 without process flag prints", 3, false, "10", false, ok, ok, ok, false, ok,
         "save,print", 5, 5, 5},
        // The Process button shows for such a note: it must not claim a note done
        // that the back office never heard of.
        {"process flag with print mode 0 processes", 0, true, "10", false, ok, ok, ok, false, ok,
         "save,process", 4, 5, 6},
    };
    for (const ClosingCase& c : cases) {
        SCOPED_TRACE(c.name);
        CKorvoDoc doc;
        doc.currentSettings.emplace().DNPP = static_cast<std::int16_t>(c.dnpp);
        doc.currentPackingNote.emplace().SP = c.sp;
        doc.currentPackingNote->SC = c.sc;
        doc.currentRoute = RouteControl{1, 101, "North", 5, 5, 5};
        auto& lines = doc.packingNoteLines.emplace().lines;
        lines.resize(2);
        lines[0].QD = c.allZero ? 0 : 3;

        QStringList ran;
        NoteClosingSteps steps;
        steps.saveQuantities = [&] {
            ran << "save";
            return sent(c.save);
        };
        steps.tell = [&](const char* caption, const char* text) {
            ran << QString("tell:") + text;
            EXPECT_STREQ(caption, QString(text) == "PASW003" ? "lblImportDate" : "lblZIRPA");
        };
        steps.process = [&] {
            ran << "process";
            return sent(c.process);
        };
        steps.print = [&] {
            ran << "print";
            return NoteClosingSteps::Printed{c.cancelPrint, sent(c.print)};
        };
        EXPECT_EQ(PrintAndProcess(doc, steps), c.expected);
        EXPECT_EQ(ran.join(","), c.steps);
        EXPECT_EQ(doc.currentRoute->QN, c.qn);
        EXPECT_EQ(doc.currentRoute->QP, c.qp);
        EXPECT_EQ(doc.currentRoute->QC, c.qc);
    }
}

TEST(PrintAndProcess, WithoutNoteOrSettingsNothingRuns) {
    NoteClosingSteps steps; // any call would throw std::bad_function_call
    CKorvoDoc doc;
    doc.currentSettings.emplace();
    EXPECT_EQ(PrintAndProcess(doc, steps), Result::NotOk);
    doc.currentSettings.reset();
    doc.currentPackingNote.emplace();
    EXPECT_EQ(PrintAndProcess(doc, steps), Result::NotOk);
}

TEST(RouteCounters, HoldMovesANewNoteToInProgress) {
    struct Case {
        QString sc;
        int qn, qp;
    };
    for (const Case& c : {Case{"10", 0, 3}, Case{"20", 1, 2}, Case{"", 1, 2}}) {
        CKorvoDoc doc;
        doc.currentPackingNote.emplace().SC = c.sc;
        doc.currentRoute = RouteControl{1, 1, "", 1, 2, 0};
        CountHeldNote(doc);
        EXPECT_EQ(doc.currentRoute->QN, c.qn) << c.sc.toStdString();
        EXPECT_EQ(doc.currentRoute->QP, c.qp) << c.sc.toStdString();
    }
    // A count the back office already had at 0 stays at 0.
    CKorvoDoc doc;
    doc.currentPackingNote.emplace().SC = "10";
    doc.currentRoute = RouteControl{1, 1, "", 0, 0, 0};
    CountHeldNote(doc);
    EXPECT_EQ(doc.currentPackingNote->SC, "20") << "held once, it counts as in progress";
    CountHeldNote(doc);
    EXPECT_EQ(doc.currentRoute->QP, 1) << "a second hold counts nothing";
    CountProcessedNote(doc);
    EXPECT_EQ(doc.currentRoute->QN, 0);
    EXPECT_EQ(doc.currentRoute->QP, 0);
    EXPECT_EQ(doc.currentRoute->QC, 1);

    // Counts at the ends of the range (the answer's numbers saturate there)
    // neither wrap nor overflow.
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    doc.currentRoute = RouteControl{1, 1, "", kMin, kMax, kMax};
    doc.currentPackingNote->SC = "10";
    CountHeldNote(doc);
    EXPECT_EQ(doc.currentRoute->QN, 0);
    EXPECT_EQ(doc.currentRoute->QP, kMax);
    doc.currentPackingNote->SC = "20";
    CountProcessedNote(doc);
    EXPECT_EQ(doc.currentRoute->QP, kMax - 1);
    EXPECT_EQ(doc.currentRoute->QC, kMax);
}

} // namespace

TEST(RouteCounters, LeavingCountsANoteTheBackOfficeKeepsInProgress) {
    struct Case {
        const char* name;
        QString openedAs, answered;
        int qn, qp;
    } cases[] = {{"opened new, work recorded", "10", "20", 0, 3},
                 {"opened new, left untouched", "10", "10", 1, 2},
                 {"in progress already", "20", "20", 1, 2},
                 {"no status", "", "20", 1, 2}};
    for (const Case& c : cases) {
        CKorvoDoc doc;
        doc.currentPackingNote.emplace().SC = c.answered;
        doc.currentRoute = RouteControl{1, 1, "", 1, 2, 0};
        CountLeftNote(doc, c.openedAs);
        EXPECT_EQ(doc.currentRoute->QN, c.qn) << c.name;
        EXPECT_EQ(doc.currentRoute->QP, c.qp) << c.name;
    }
}
