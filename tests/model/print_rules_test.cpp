// What a print request carries, by the plant's POF and PCS and the worker's
// answers; the questions record the order they were asked in.
#include "model/print_rules.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(PrintRules, OrderFormAndColliAsThePlantWants) {
    struct Row {
        const char* name;
        int pof;
        bool pcs;
        bool orderFormAnswer;
        std::optional<int> colliAnswer;
        QStringList asked;
        bool cancelled;
        bool orderForm;
        int colli;
    };
    const Row rows[] = {
        {"never, the note's own colli", 0, false, true, 5, {}, false, false, 3},
        {"ask, yes", 1, false, true, 5, {"order form"}, false, true, 3},
        {"ask, no: still printed without", 1, false, false, 5, {"order form"}, false, false, 3},
        {"always", 2, false, false, 5, {}, false, true, 3},
        {"an unknown POF is never", 7, false, true, 5, {}, false, false, 3},
        {"colli asked after the order form",
         1,
         true,
         true,
         5,
         {"order form", "colli"},
         false,
         true,
         5},
        {"colli cancelled prints nothing", 0, true, true, std::nullopt, {"colli"}, true, false, 0},
        {"colli kept within 0 to 999", 0, true, true, 4000, {"colli"}, false, false, 999},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Settings settings;
        settings.POF = static_cast<std::int16_t>(row.pof);
        settings.PCS = row.pcs;
        PackingNote note;
        note.PNCN = 3;
        QStringList asked;
        PrintQuestions ask;
        ask.orderForm = [&] {
            asked << "order form";
            return row.orderFormAnswer;
        };
        ask.colliCount = [&] {
            asked << "colli";
            return row.colliAnswer;
        };
        const PrintChoice choice = ChoosePrint(settings, note, ask);
        EXPECT_EQ(asked, row.asked);
        EXPECT_EQ(choice.cancelled, row.cancelled);
        if (!row.cancelled) {
            EXPECT_EQ(choice.orderForm, row.orderForm);
            EXPECT_EQ(choice.colli, row.colli);
        }
    }
    EXPECT_EQ(ChoosePrint(Settings{}, std::nullopt, {}).colli, 0) << "no note, no colli";
}

} // namespace
