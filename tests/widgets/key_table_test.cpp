// A screen's key table: which row a key reaches, in the rows' order, and what
// happens to a key no row takes.
#include "widgets/key_table.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

TEST(KeyTable, RowsTakeTheirKeys) {
    const struct {
        const char* name;
        int key;
        bool othersUsedUp;
        QString ran;
        bool usedUp;
    } rows[] = {
        {"Return", Qt::Key_Return, false, "enter", true},
        {"the keypad's Enter", Qt::Key_Enter, false, "enter", true},
        {"Right goes with Enter here", Qt::Key_Right, false, "enter", true},
        {"Escape", Qt::Key_Escape, false, "back", true},
        {"Left", Qt::Key_Left, false, "back", true},
        {"the first row that takes a key wins", Qt::Key_Up, false, "up", false},
        {"Down", Qt::Key_Down, false, "", false},
        {"a digit no row takes goes to the control", Qt::Key_5, false, "", false},
        {"unless nothing else has a meaning", Qt::Key_5, true, "", true},
        {"Tab", Qt::Key_Tab, true, "pass", false},
        {"Backtab", Qt::Key_Backtab, true, "pass", false},
        {"a soft key", Qt::Key_F2, true, "pass", false},
        {"F4 is no soft key", Qt::Key_F4, true, "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QString ran;
        auto note = [&ran](const char* what, bool usedUp) {
            return [&ran, what, usedUp](int) {
                ran += QLatin1String(what);
                return usedUp;
            };
        };
        const bool usedUp = DispatchKey(row.key,
                                        {
                                            {kEnterKey | kRightKey, note("enter", true)},
                                            {kBackKeys, note("back", true)},
                                            {kUpKey, note("up", false)},
                                            {kUpKey, note("up again", true)},
                                            {kTabKey | kSoftKey, note("pass", false)},
                                        },
                                        row.othersUsedUp);
        EXPECT_EQ(ran, row.ran);
        EXPECT_EQ(usedUp, row.usedUp);
    }
}

} // namespace
