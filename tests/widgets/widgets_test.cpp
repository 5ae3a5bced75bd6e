#include "model/korvo_doc.h"
#include "scripted_prompter.h"
#include "widgets/colour_widgets.h"
#include "widgets/editable_list.h"
#include "widgets/image_button.h"
#include "widgets/list_helpers.h"
#include "widgets/product_icons.h"
#include "widgets/quantity_table.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

TEST(ColourWidgets, ResolvesDefaultsSystemColoursAndRgb) {
    const QPalette palette = QApplication::palette();
    EXPECT_EQ(ResolveColour(kDefaultColour, true, ColourContext::Static),
              palette.color(QPalette::Button));
    EXPECT_EQ(ResolveColour(kDefaultColour, true, ColourContext::Edit),
              palette.color(QPalette::Base));
    EXPECT_EQ(ResolveColour(kDefaultColour, false, ColourContext::Button),
              palette.color(QPalette::ButtonText));
    EXPECT_EQ(ResolveColour(kDefaultColour, false, ColourContext::Static),
              palette.color(QPalette::Text));
    EXPECT_EQ(ResolveColour(SystemColour(SysColour::ButtonFace), true, ColourContext::Static),
              palette.color(QPalette::Button));
    EXPECT_EQ(ResolveColour(RgbColour(255, 51, 51), false, ColourContext::Static),
              QColor(255, 51, 51));
}

TEST(ColourWidgets, DefaultFollowsTheColourScheme) {
    CColourLabel label("x");
    const QPalette old = QApplication::palette();
    QPalette dark = old;
    dark.setColor(QPalette::Button, QColor(10, 20, 30));
    QApplication::setPalette(dark);
    EXPECT_EQ(label.paintedBackground(), QColor(10, 20, 30));
    label.SetBackgroundColour(RgbColour(1, 2, 3));
    EXPECT_EQ(label.palette().color(QPalette::Window), QColor(1, 2, 3));
    QApplication::setPalette(old);
}

TEST(ColourWidgets, BlinkingAlternatesAndStops) {
    CColourEdit edit;
    edit.StartBlinkText(RgbColour(255, 0, 0), RgbColour(0, 0, 255), 10);
    EXPECT_EQ(edit.paintedText(), QColor(255, 0, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit.paintedText() == QColor(0, 0, 255); }, 2000));
    edit.StopBlinking();
    edit.SetTextColour(RgbColour(0, 128, 0));
    EXPECT_EQ(edit.paintedText(), QColor(0, 128, 0));
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(0, 128, 0));
}

TEST(ColourWidgets, LabelStyles) {
    CColourLabel title;
    TitleStyle(&title);
    EXPECT_EQ(title.paintedBackground(), QColor(132, 132, 132));
    EXPECT_EQ(title.paintedText(), QColor(255, 255, 255));
    EXPECT_EQ(title.font().pixelSize(), 16);
    EXPECT_TRUE(title.font().bold());
    CColourLabel plain;
    LabelStyle(&plain, 14, false);
    EXPECT_EQ(plain.paintedBackground(), QColor(255, 255, 255));
    EXPECT_EQ(plain.paintedText(), QColor(0, 0, 0));
    EXPECT_FALSE(plain.font().bold());
    FontOverrides overrides;
    overrides.italic = true;
    overrides.underline = true;
    plain.SetFontWithOverrides(plain.font(), overrides);
    EXPECT_TRUE(plain.font().italic());
    EXPECT_TRUE(plain.font().underline());
    EXPECT_EQ(plain.font().pixelSize(), 14);
}

TEST(ImageButton, ThreeIconsAndTheStylus) {
    CImageButton button;
    button.resize(38, 38);
    button.SetButtonImages(194, 195, 196);
    button.show();
    const QImage normal = ProductIcon(194).toImage();
    const QImage pressed = ProductIcon(195).toImage();
    const QImage disabled = ProductIcon(196).toImage();
    EXPECT_NE(normal, pressed);
    EXPECT_EQ(button.shownIcon().toImage(), normal);
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });

    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(button.drawState(), CImageButton::Pressed);
    EXPECT_EQ(button.shownIcon().toImage(), pressed);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(button.drawState(), CImageButton::Normal);
    EXPECT_EQ(clicks, 1);

    button.EnableButton(false);
    EXPECT_EQ(button.shownIcon().toImage(), disabled);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1) << "a disabled button ignores taps";

    button.EnableButton(true);
    button.setHighlighted(true);
    EXPECT_EQ(button.shownIcon().toImage(), pressed);
    QMouseEvent move(QEvent::MouseMove, QPointF(6, 6), QPointF(6, 6), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
    EXPECT_EQ(button.drawState(), CImageButton::Normal);
    button.setHighlighted(true);
    button.ResetButton();
    EXPECT_EQ(button.drawState(), CImageButton::Normal);
}

TEST(ImageButton, TabGivesTheFocusAndAFrameShowsIt) {
    QWidget form;
    auto* field = new QLineEdit(&form);
    CImageButton* button = MakeScreenButton(&form, "save", 1201, IconGlyph::Save);
    button->setGeometry(0, 30, 38, 38);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    field->setFocus();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(form.focusWidget(), field) << "a tap leaves the field being scanned into";
    const QImage plain = button->grab().toImage();
    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_EQ(form.focusWidget(), button);
    const QImage framed = button->grab().toImage();
    EXPECT_NE(plain, framed);
    // The frame runs along the edge, in amber.
    const QColor edge = framed.pixelColor(2, 19);
    EXPECT_GT(edge.red(), 200);
    EXPECT_LT(edge.blue(), 120);
    EXPECT_EQ(button->objectName(), "save");
    EXPECT_EQ(button->shownIcon().toImage(),
              ProductIcon(IconIds(IconGlyph::Save).normal).toImage());
}

TEST(ProductIcons, EveryButtonHasThreeDistinctIcons) {
    for (int g = 0; g <= static_cast<int>(IconGlyph::WeekAhead); ++g) {
        const IconTriple ids = IconIds(static_cast<IconGlyph>(g));
        SCOPED_TRACE(ids.normal);
        const QPixmap normal = ProductIcon(ids.normal);
        ASSERT_EQ(normal.size(), QSize(42, 42));
        EXPECT_NE(normal.toImage(), ProductIcon(ids.pressed).toImage());
        EXPECT_NE(normal.toImage(), ProductIcon(ids.disabled).toImage());
    }
    EXPECT_TRUE(ProductIcon(9999).isNull());
    EXPECT_EQ(IconIds(IconGlyph::Cancel).normal, 246);
    EXPECT_EQ(BannerPicture(238, 46).size(), QSize(238, 46));
}

namespace {

// A list whose client area is exactly `width` pixels wide.
void sizeClient(QTreeWidget& list, int width) {
    list.resize(width + 2 * list.frameWidth(), 200);
}

} // namespace

TEST(ListHelpers, ColumnsSelectionAndHits) {
    QTreeWidget list;
    sizeClient(list, 240);
    SetupListColumns(&list, {"Product", "To del.", "Deliv."}, {0.5, 0.25, 0.25},
                     {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight});
    EXPECT_EQ(list.columnWidth(0), 113);
    EXPECT_EQ(list.columnWidth(1), 56);
    EXPECT_EQ(list.columnWidth(2), 56);
    EXPECT_EQ(list.headerItem()->text(1), "To del.");
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);

    SelectListItem(&list, 0); // empty: nothing happens
    EXPECT_EQ(SelectedListItem(&list), -1);
    for (int i = 0; i < 30; ++i) {
        new QTreeWidgetItem(&list, {QString::number(i), "1", "1"});
    }
    list.show();
    SelectListItem(&list, 25);
    EXPECT_EQ(SelectedListItem(&list), 25);
    const QRect row25 = list.visualItemRect(list.topLevelItem(25));
    EXPECT_TRUE(list.viewport()->rect().intersects(row25)) << "scrolled into view";
    EXPECT_EQ(ItemAtPoint(&list, row25.center()), 25);
    EXPECT_EQ(ItemAtPoint(&list, QPoint(5, list.viewport()->height() + 50)), -1);
    SelectListItem(&list, 99);
    EXPECT_EQ(SelectedListItem(&list), 25);
}

namespace {

class EditableListTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.rangeWarningShown = true;
        doc.showScreenKeyboard = "N";
        list.resize(242, 200);
        fill(3);
        list.setModel(&table);
        SetupListColumns(&list, {"Product", "To del.", "Deliv."}, {0.48, 0.28, 0.22});
        list.show();
        QObject::connect(&list, &CEditableList::labelEditEnded,
                         [this](int r, int c, const QString& t, bool x) {
                             ended << Ended{r, c, t, x};
                         });
    }

    void fill(int rows) {
        std::vector<QuantityTable::Row> lines;
        for (int i = 0; i < rows; ++i) {
            lines.push_back({"P" + QString::number(i), 5, 5});
        }
        table.reset({QuantityColumn::Product, QuantityColumn::Ordered, QuantityColumn::Quantity},
                    {"Product", "To del.", "Deliv."}, std::move(lines));
    }

    void tapCell(int row, int column) {
        const QRect rowRect = list.visualRect(table.index(row, 0));
        const int x = list.header()->sectionViewportPosition(column) + 5;
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(x, rowRect.center().y()));
    }

    struct Ended {
        int row;
        int column;
        QString text;
        bool cancelled;
    };

    ScriptedPrompter prompter;
    ScopedPrompter scope{prompter};
    CKorvoDoc doc;
    QuantityTable table{true};
    CEditableList list{doc, kDeliveredProdScreen};
    QList<Ended> ended;
};

} // namespace

TEST_F(EditableListTest, FirstTapSelectsSecondTapEdits) {
    tapCell(1, 2);
    EXPECT_EQ(SelectedListItem(&list), 1);
    EXPECT_EQ(list.editor(), nullptr);
    tapCell(1, 1);
    EXPECT_EQ(list.editor(), nullptr) << "column 1 is not editable on this screen";
    tapCell(1, 0);
    EXPECT_EQ(list.editor(), nullptr) << "column 0 is never editable";
    tapCell(1, 2);
    ASSERT_NE(list.editor(), nullptr);
    EXPECT_EQ(list.editor()->selectedText(), "5");
    EXPECT_FALSE(doc.rangeWarningShown) << "a new edit clears the range warning";
}

TEST_F(EditableListTest, TypingEnterKeepsTheText) {
    list.startEdit(0, 2);
    ASSERT_NE(list.editor(), nullptr);
    QTest::keyClicks(list.editor(), "12345");
    EXPECT_EQ(list.editor()->text(), "1234") << "a fifth character is refused";
    QTest::keyClick(list.editor(), Qt::Key_Return);
    EXPECT_EQ(list.editor(), nullptr);
    EXPECT_EQ(list.cellText(0, 2), "1234");
    EXPECT_TRUE(doc.quantitiesChanged);
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0].text, "1234");
    EXPECT_FALSE(ended[0].cancelled);
}

TEST_F(EditableListTest, EscapeLeavesTheCell) {
    list.startEdit(0, 2);
    QTest::keyClicks(list.editor(), "9");
    QTest::keyClick(list.editor(), Qt::Key_Escape);
    EXPECT_EQ(list.cellText(0, 2), "5");
    ASSERT_EQ(ended.size(), 1);
    EXPECT_TRUE(ended[0].cancelled);
    EXPECT_TRUE(ended[0].text.isEmpty());
}

TEST_F(EditableListTest, EmptyCellBecomesZeroOnFocusLoss) {
    QLineEdit elsewhere(&list);
    elsewhere.show();
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    list.startEdit(2, 2);
    ASSERT_TRUE(list.editor()->hasFocus());
    list.editor()->clear();
    elsewhere.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.editor() == nullptr; }, 1000));
    EXPECT_EQ(list.cellText(2, 2), "0");
    EXPECT_TRUE(doc.quantitiesChanged);
}

TEST_F(EditableListTest, UnchangedTextLeavesTheFlag) {
    list.startEdit(0, 2);
    QTest::keyClick(list.editor(), Qt::Key_Enter);
    EXPECT_FALSE(doc.quantitiesChanged);
}

TEST_F(EditableListTest, ALongerQuantityLeftUntouchedStaysWhole) {
    table.setQuantity(0, 12345);
    list.startEdit(0, 2);
    QTest::keyClick(list.editor(), Qt::Key_Return);
    EXPECT_EQ(list.cellText(0, 2), "12345");
    EXPECT_FALSE(doc.quantitiesChanged);
    list.startEdit(0, 2);
    QTest::keyClicks(list.editor(), "77");
    QTest::keyClick(list.editor(), Qt::Key_Return);
    EXPECT_EQ(list.cellText(0, 2), "77");
}

TEST_F(EditableListTest, KeysOnTheList) {
    SelectListItem(&list, 1);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Right);
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(SelectedListItem(&list), 1);
    QTest::keyClick(&list, Qt::Key_Return);
    ASSERT_NE(list.editor(), nullptr) << "Enter taps the last column of the current row";
    EXPECT_EQ(list.editor()->row(), 1);
    EXPECT_EQ(list.editor()->column(), 2);
}

TEST_F(EditableListTest, ScrollingEndsTheEdit) {
    fill(43);
    SetupListColumns(&list, {"Product", "To del.", "Deliv."}, {0.48, 0.28, 0.22});
    list.startEdit(0, 2);
    QTest::keyClicks(list.editor(), "7");
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    EXPECT_EQ(list.editor(), nullptr);
    EXPECT_EQ(list.cellText(0, 2), "7");
}

TEST_F(EditableListTest, KeyboardFollowsTheSetting) {
    doc.showScreenKeyboard = "Y";
    list.startEdit(0, 2);
    EXPECT_TRUE(prompter.inputPanelUp);
    QTest::keyClick(list.editor(), Qt::Key_Return);
    EXPECT_FALSE(prompter.inputPanelUp);
}

TEST(EditableList, CountingScreenEditsColumnOne) {
    EXPECT_EQ(CEditableList::EditableColumn(kAddCountScreen), 1);
    EXPECT_EQ(CEditableList::EditableColumn(kDeliveredProdScreen), 2);
    EXPECT_EQ(CEditableList::EditableColumn(kPackingNotesScreen), -1);
    CKorvoDoc doc;
    QuantityTable table(false);
    table.reset({QuantityColumn::Product, QuantityColumn::Quantity}, {"Product", "Counted"},
                {{"P", 0, 3}});
    CEditableList list(doc, kAddCountScreen);
    list.setModel(&table);
    EXPECT_FALSE(list.startEdit(0, 0));
    EXPECT_TRUE(list.startEdit(0, 1));
}
