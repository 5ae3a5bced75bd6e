// The quantity lists' rows without a view: what each cell shows and how an
// edit of the quantity lands in the cell and the line.
#include "model/records.h"
#include "widgets/quantity_table.h"

#include <QBrush>
#include <gtest/gtest.h>

namespace {

const std::vector<QuantityColumn> kDelivered{QuantityColumn::Product, QuantityColumn::Ordered,
                                             QuantityColumn::Quantity};

void fillDelivered(QuantityTable& table, int ordered, int quantity) {
    table.reset(kDelivered, {"Product", "To del.", "Deliv."}, {{"Bolts", ordered, quantity}});
}

// The colour a cell gives for `role`, or an invalid colour when it gives none.
QColor colour(const QModelIndex& cell, int role) {
    const QVariant value = cell.data(role);
    return value.isValid() ? value.value<QBrush>().color() : QColor();
}

} // namespace

TEST(QuantityTable, WhatACellShows) {
    const QColor none;
    const QColor black(0, 0, 0);
    const QColor red(255, 51, 51);
    const QColor white(255, 255, 255);
    const struct {
        const char* name;
        bool colour;
        int ordered;
        int quantity;
        int column;
        QString text;
        QColor foreground;
        QColor background;
    } cases[] = {
        {"product as given", true, 10, 10, 0, "Bolts", none, none},
        {"ordered as plain digits", true, 1234, 10, 1, "1234", none, none},
        {"quantity as ordered is black on white", true, 10, 10, 2, "10", black, white},
        {"quantity short is red on white", true, 10, 3, 2, "3", red, white},
        {"quantity over is red", true, 10, 12345, 2, "12345", red, white},
        {"a negative quantity from the back office as is", true, 10, -3, 2, "-3", red, white},
        {"no colours where the list has none", false, 10, 3, 2, "3", none, none},
    };
    for (const auto& c : cases) {
        QuantityTable table(c.colour);
        fillDelivered(table, c.ordered, c.quantity);
        const QModelIndex cell = table.index(0, c.column);
        EXPECT_EQ(cell.data().toString(), c.text) << c.name;
        EXPECT_EQ(colour(cell, Qt::ForegroundRole), c.foreground) << c.name;
        EXPECT_EQ(colour(cell, Qt::BackgroundRole), c.background) << c.name;
        const int alignment = cell.data(Qt::TextAlignmentRole).toInt();
        EXPECT_EQ((alignment & Qt::AlignRight) != 0, c.column >= 1) << c.name;
    }
}

TEST(QuantityTable, EditsLandInTheCellAndTheLine) {
    QuantityTable table(true);
    table.reset(kDelivered, {"Product", "To del.", "Deliv."}, {{"Bolts", 10, 10}, {"Nuts", 5, 3}});
    std::vector<packingnoteline> lines(2);
    lines[0].QD = 10;
    lines[1].QD = 3;
    lines[1].MINQ = 2;
    lines[1].MAXQ = 8;
    EXPECT_FALSE(table.unsaved(lines));

    // Typed text keeps its leading digits; only the quantity column takes text.
    EXPECT_TRUE(table.setData(table.index(0, 2), "12a"));
    EXPECT_EQ(table.quantity(0), 12);
    EXPECT_FALSE(table.setData(table.index(0, 1), "7"));
    EXPECT_FALSE(table.setData(table.index(0, 0), "7"));
    EXPECT_EQ(table.index(0, 1).data().toString(), "10");
    EXPECT_TRUE(table.unsaved(lines));
    table.setQuantity(0, 10);
    EXPECT_FALSE(table.unsaved(lines)) << "typed back: nothing to save";

    const struct {
        const char* name;
        QString typed;
        bool keep;
        int shown;
        bool asked;
    } edits[] = {
        {"inside the range", "4", false, 4, false},
        {"outside, kept", "9", true, 9, true},
        {"outside, refused: the cell shows what it had", "1", false, 3, true},
        {"empty counts as 0, outside", "", false, 3, true},
    };
    for (const auto& e : edits) {
        table.setQuantity(1, 3);
        lines[1].editedQuantity = 3;
        bool warned = false;
        const CellEditOutcome outcome =
            table.endEdit(1, e.typed, 3, lines[1], warned, [&] { return e.keep; });
        EXPECT_EQ(outcome.asked, e.asked) << e.name;
        EXPECT_EQ(table.quantity(1), e.shown) << e.name;
        EXPECT_EQ(lines[1].editedQuantity, e.shown) << e.name;
    }

    // Rows that do not exist change nothing.
    table.setQuantity(7, 1);
    table.setQuantity(-1, 1);
    EXPECT_EQ(table.quantity(7), 0);
    EXPECT_FALSE(table.index(7, 2).data().isValid());
    EXPECT_EQ(table.quantities(), (std::vector<int>{10, 3}));
}
