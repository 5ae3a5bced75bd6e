#include "model/korvo_doc.h"
#include "model/pool_scan_rules.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

Flag message(int kind, const QString& colour = "FF0000") {
    Flag f;
    f.A = kind;
    f.D = QString("D%1").arg(kind);
    f.FT = "FT";
    f.C = colour;
    return f;
}

// The first button of each dialog the walk shows, following the first button
// every time, until the walk ends.
QStringList walkButtons(const std::vector<Flag>& flags) {
    QStringList buttons;
    for (int position = 0; position < 1000; ++position) {
        const auto dialog = ReturnMessageAt(flags, position);
        if (!dialog) {
            break;
        }
        buttons << QString(dialog->firstButton) +
                       (dialog->secondButton ? QString("/") + dialog->secondButton : QString());
        if (AnswerReturnMessage(dialog->kind, DialogAnswer::First) != WalkStep::Continue) {
            break;
        }
    }
    return buttons;
}

TEST(ReturnMessageWalk, ButtonSequences) {
    const struct {
        const char* name;
        std::vector<int> kinds;
        QStringList buttons;
    } cases[] = {
        {"three information messages, then a confirm",
         {0, 0, 0, 2},
         {"lblNext", "lblNext", "lblClose", "lblYes/lblNo"}},
        {"one information message", {0}, {"lblClose"}},
        {"acknowledge between information messages", {0, 1, 0}, {"lblNext", "lblOK", "lblClose"}},
        {"information the walk never reaches", {0, 3, 0}, {"lblClose", "lblReject"}},
        {"an unknown kind ends the walk", {0, 7, 0}, {"lblClose"}},
        {"a negative kind too", {-1, 0}, {}},
        {"nothing after a confirm", {2, 0}, {"lblYes/lblNo"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Flag> flags;
        for (const int kind : c.kinds) {
            flags.push_back(message(kind));
        }
        EXPECT_EQ(walkButtons(flags), c.buttons);
    }
}

TEST(ReturnMessageWalk, FiveHundredMessagesEndAfterTheLast) {
    std::vector<Flag> flags(500, message(0));
    const QStringList buttons = walkButtons(flags);
    ASSERT_EQ(buttons.size(), 500);
    EXPECT_EQ(buttons.last(), "lblClose");
    EXPECT_FALSE(ReturnMessageAt(flags, 500));
    EXPECT_FALSE(ReturnMessageAt(flags, -1));
}

TEST(ReturnMessageWalk, TextAndColour) {
    const auto dialog = ReturnMessageAt({message(0, "00ff7F")}, 0);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->text, "D0\r\n\r\nFT");
    EXPECT_EQ(dialog->colour, "00ff7F");
    for (const QString bad : {"", "FF00", "FF00001", "GG0000", "#FF000", " FF000", "０００００F"}) {
        EXPECT_EQ(MessageColour(bad), "FFFFFF") << bad.toStdString();
    }
}

TEST(ReturnMessageWalk, Answers) {
    EXPECT_EQ(AnswerReturnMessage(kInformation, DialogAnswer::First), WalkStep::Continue);
    EXPECT_EQ(AnswerReturnMessage(kInformation, DialogAnswer::Second), WalkStep::End)
        << "closed without a button";
    EXPECT_EQ(AnswerReturnMessage(kAcknowledge, DialogAnswer::First), WalkStep::Continue);
    EXPECT_EQ(AnswerReturnMessage(kConfirm, DialogAnswer::First), WalkStep::Confirm);
    EXPECT_EQ(AnswerReturnMessage(kConfirm, DialogAnswer::Second), WalkStep::Refuse);
    EXPECT_EQ(AnswerReturnMessage(kReject, DialogAnswer::First), WalkStep::End);

    PoolScanResult result;
    EXPECT_FALSE(ConfirmationFor(result).send);
    result.UniqueBundle_ID = 8;
    const Confirmation bundle = ConfirmationFor(result);
    EXPECT_TRUE(bundle.send);
    EXPECT_EQ(bundle.item, 0);
    EXPECT_EQ(bundle.bundle, 8);
    result.UniqueItem_ID = 5;
    const Confirmation item = ConfirmationFor(result);
    EXPECT_EQ(item.item, 5);
    EXPECT_EQ(item.bundle, 0) << "an item goes first";
}

const char* shownName(ScanShown shown) {
    switch (shown) {
    case ScanShown::Neutral:
        return "neutral";
    case ScanShown::Accepted:
        return "accepted";
    case ScanShown::Failed:
        return "failed";
    case ScanShown::Unchanged:
        break;
    }
    return "unchanged";
}

// A whole scan as the screen follows the walk: the colours shown, the dialogs'
// first buttons and the confirmation sent, with the worker's answers in order
// (Yes, Next or Close once they run out).
TEST(PoolScanWalk, ScanToTheEndOfItsWalk) {
    using A = DialogAnswer;
    const struct Row {
        const char* name;
        bool sent;
        std::vector<int> kinds;
        QString status;
        int item, bundle;
        std::vector<A> answers;
        QString confirmStatus;
        QStringList shown;
        QStringList dialogs;
        QString confirmation;
    } rows[] = {
        {"accepted without messages", true, {}, "10", 0, 0, {}, "", {"accepted"}, {}, ""},
        {"refused: no walk", false, {0}, "30", 0, 0, {}, "", {"failed"}, {}, ""},
        {"accepted with messages, walked",
         true,
         {0, 1},
         "30",
         0,
         0,
         {},
         "",
         {"accepted"},
         {"lblClose", "lblOK"},
         ""},
        {"three informations, then Yes confirms the item",
         true,
         {0, 0, 0, 2},
         "10",
         5,
         8,
         {},
         "30",
         {"neutral", "accepted"},
         {"lblNext", "lblNext", "lblClose", "lblYes"},
         "item 5 bundle 0"},
        {"a confirmation without a verdict leaves the field",
         true,
         {2},
         "10",
         0,
         8,
         {},
         "10",
         {"neutral"},
         {"lblYes"},
         "item 0 bundle 8"},
        {"No fails the scan",
         true,
         {2, 0},
         "10",
         5,
         0,
         {A::Second},
         "",
         {"neutral", "failed"},
         {"lblYes"},
         ""},
        {"Yes without ids sends nothing",
         true,
         {2},
         "10",
         0,
         0,
         {},
         "",
         {"neutral"},
         {"lblYes"},
         ""},
        {"an information closed without its button ends the walk",
         true,
         {0, 0},
         "10",
         0,
         0,
         {A::Second},
         "",
         {"neutral"},
         {"lblNext"},
         ""},
        {"reject ends the walk", true, {3, 0}, "10", 0, 0, {}, "", {"neutral"}, {"lblReject"}, ""},
        {"an unknown kind shows nothing", true, {7}, "10", 0, 0, {}, "", {"neutral"}, {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<PoolScanResult> answer;
        answer.emplace().StatusCode = row.status;
        answer->UniqueItem_ID = row.item;
        answer->UniqueBundle_ID = row.bundle;
        for (const int kind : row.kinds) {
            answer->flags.push_back(message(kind));
        }
        QStringList shown;
        QStringList dialogs;
        QString confirmation;
        auto show = [&](ScanShown s) {
            if (s != ScanShown::Unchanged) {
                shown << shownName(s);
            }
        };
        PoolScanWalk walk;
        PoolScanStep step =
            walk.scanned(row.sent ? SendResult::ok() : SendResult::failed("down"), answer);
        show(step.shown);
        std::size_t next = 0;
        for (int guard = 0; step.nextMessage && guard < 100; ++guard) {
            const std::optional<ReturnMessageDialog> dialog = walk.message(answer);
            if (!dialog) {
                break;
            }
            dialogs << dialog->firstButton;
            step =
                walk.answered(next < row.answers.size() ? row.answers[next++] : A::First, answer);
            show(step.shown);
            if (step.confirmation) {
                confirmation = QString("item %1 bundle %2")
                                   .arg(step.confirmation->item)
                                   .arg(step.confirmation->bundle);
                answer->StatusCode = row.confirmStatus;
                show(PoolScanWalk::confirmed(SendResult::ok(), answer));
            }
        }
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(dialogs, row.dialogs);
        EXPECT_EQ(confirmation, row.confirmation);
        EXPECT_FALSE(walk.walking());
    }
}

TEST(PoolScanWalk, ANewScanEndsTheLastWalk) {
    std::optional<PoolScanResult> answer;
    answer.emplace().flags = {message(0), message(2)};
    answer->UniqueItem_ID = 5;
    PoolScanWalk walk;
    walk.scanned(SendResult::ok(), answer);
    const int first = walk.generation();
    ASSERT_TRUE(walk.message(answer));
    walk.scanned(SendResult::failed("down"), answer);
    EXPECT_NE(walk.generation(), first);
    EXPECT_FALSE(walk.walking());
    // An answer that arrives for the ended walk does nothing.
    const PoolScanStep late = walk.answered(DialogAnswer::First, answer);
    EXPECT_FALSE(late.nextMessage);
    EXPECT_FALSE(late.confirmation);
    EXPECT_EQ(late.shown, ScanShown::Unchanged);
    // A refused confirmation shows nothing either.
    answer->StatusCode = "30";
    EXPECT_EQ(PoolScanWalk::confirmed(SendResult::refused("E1", "no"), answer),
              ScanShown::Unchanged);
}

TEST(PoolScan, Accepted) {
    std::optional<PoolScanResult> result;
    EXPECT_FALSE(PoolScanAccepted(result));
    result.emplace().StatusCode = "10";
    EXPECT_TRUE(PoolScanAccepted(result)) << "no return messages";
    result->flags.push_back(message(0));
    EXPECT_FALSE(PoolScanAccepted(result));
    result->StatusCode = "30";
    EXPECT_TRUE(PoolScanAccepted(result));
}

TEST(PoolScan, AcceptedLineUpdatesOnlyTheLineItNames) {
    CKorvoDoc doc;
    auto& lines = doc.packingNoteLines.emplace().lines;
    lines.resize(2);
    lines[0].PNLID = 11;
    lines[1].PNLID = 12;
    lines[1].QO = 1;
    doc.currentLine = lines[1];
    packingnoteline& answer = doc.poolScanResult.emplace().line.emplace();
    answer.PNLID = 12;
    answer.QO = 10;
    answer.QD = 4;
    answer.lineFlag = 2;
    TakeAcceptedLine(doc);
    EXPECT_EQ(lines[1].QD, 4);
    EXPECT_EQ(lines[1].parsedQuantity, 4);
    EXPECT_EQ(lines[1].lineFlag, 2);
    EXPECT_EQ(doc.currentLine->QO, 10);
    EXPECT_EQ(lines[0].QD, 0);

    answer.PNLID = 99; // matches no line
    answer.QD = 7;
    TakeAcceptedLine(doc);
    EXPECT_EQ(lines[1].QD, 4);
    EXPECT_EQ(doc.currentLine->QD, 4);
}

TEST(PoolScan, BackAsksWhileSomethingIsLeft) {
    std::optional<packingnoteline> line;
    EXPECT_FALSE(OutScanLeaveNeedsQuestion(line));
    line.emplace().QO = 3;
    line->QD = 3;
    EXPECT_FALSE(OutScanLeaveNeedsQuestion(line));
    line->QD = 2;
    EXPECT_TRUE(OutScanLeaveNeedsQuestion(line));
    line->QO = INT32_MAX;
    line->QD = -5;
    EXPECT_TRUE(OutScanLeaveNeedsQuestion(line)) << "no overflow";
}

} // namespace
