#include "model/navigation_ids.h"
#include "model/quantity_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(TypedQuantity, OnlyLeadingDigitsCount) {
    const std::pair<QString, int> cases[] = {
        {"", 0},   {"0", 0},   {"12", 12},  {"0042", 42}, {"9999", 9999}, {" 7", 7},
        {"-5", 0}, {"abc", 0}, {"12a", 12}, {"+3", 0},    {"1 2", 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(TypedQuantity(text), value) << text.toStdString();
    }
}

struct EditCase {
    const char* name;
    int minq, maxq, qd, edited;
    int typed;
    bool alreadyAsked;
    int answer; // 1 Yes, 2 No, 0 not expected to be asked
    bool asked;
    int shown;
    int editedAfter;
};

TEST(CellEdit, RangeRule) {
    // The cell showed 6 before each edit.
    const EditCase cases[] = {
        {"no range, changed", 0, 0, 5, -1, 40, false, 0, false, 40, 40},
        {"no range, as delivered", 0, 0, 5, -1, 5, false, 0, false, 5, -1},
        {"negative limits mean no range", -1, -7, 5, -1, 0, false, 0, false, 0, 0},
        {"inside", 2, 8, 5, -1, 8, false, 0, false, 8, 8},
        {"inside at the lower limit", 2, 8, 5, -1, 2, false, 0, false, 2, 2},
        {"outside, kept", 2, 8, 5, -1, 9, false, 1, true, 9, 9},
        {"outside, refused", 2, 8, 5, 6, 9, false, 2, true, 6, 6},
        {"outside, asked already in this edit", 2, 8, 5, 6, 0, true, 0, false, 6, 6},
        {"only a lower limit", 3, 0, 5, -1, 2, false, 2, true, 6, -1},
        {"MINQ above MAXQ always asks", 9, 4, 5, -1, 6, false, 1, true, 6, 6},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        packingnoteline line;
        line.MINQ = c.minq;
        line.MAXQ = c.maxq;
        line.QD = c.qd;
        line.parsedQuantity = c.qd;
        line.editedQuantity = c.edited;
        bool asked = c.alreadyAsked;
        int questions = 0;
        const CellEditOutcome outcome = ApplyCellEdit(line, c.typed, 6, asked, [&] {
            ++questions;
            return c.answer == 1;
        });
        EXPECT_EQ(outcome.asked, c.asked);
        EXPECT_EQ(questions, c.asked ? 1 : 0);
        EXPECT_EQ(outcome.shown, c.shown);
        EXPECT_EQ(line.editedQuantity, c.editedAfter);
        EXPECT_EQ(line.QD, c.qd) << "an edit changes only the edited quantity";
        if (c.asked) {
            EXPECT_TRUE(asked) << "the question counts for the rest of the edit";
        }
    }
}

TEST(CountRules, SaveAndBack) {
    EXPECT_FALSE(CountSaveEnabled(false));
    EXPECT_TRUE(CountSaveEnabled(true));

    int questions = 0;
    auto answer = [&](bool leave) {
        return [&questions, leave] {
            ++questions;
            return leave;
        };
    };
    EXPECT_TRUE(LeaveCounting(false, answer(false)));
    EXPECT_EQ(questions, 0) << "nothing unsaved: no question";
    EXPECT_TRUE(LeaveCounting(true, answer(true)));
    EXPECT_FALSE(LeaveCounting(true, answer(false)));
    EXPECT_EQ(questions, 2);

    bool changed = true;
    EXPECT_FALSE(FinishCountSave(changed, SendResult::refused("E100", "Server down")));
    EXPECT_TRUE(changed) << "a failed save keeps Save offered";
    EXPECT_FALSE(FinishCountSave(changed, SendResult()));
    EXPECT_TRUE(FinishCountSave(changed, SendResult::ok()));
    EXPECT_FALSE(changed);
}

} // namespace
