// The route list: its rows, OK by the list and the route stored.
#include "screen_fixture.h"
#include "screens/route_selection_view.h"
#include "widgets/image_button.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace {

class RouteView : public ScreenFixture {
protected:
    RouteView() {
        doc.routes = {{501, 12, "Harbour run", 14, 3, 27},
                      {502, 14, "North", 0, 2, 1},
                      {503, 7, "<b>Coast</b>", 1, 0, 0}};
    }
    QTreeWidget* list() { return child<QTreeWidget>("routes"); }
};

TEST_F(RouteView, RowsColumnsAndOk) {
    CRouteSelectionView* view = open<CRouteSelectionView>();
    EXPECT_EQ(view->titleLabel()->text(), "Select route");
    ASSERT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(list()->headerItem()->text(0), "Route");
    EXPECT_EQ(list()->headerItem()->text(2), "Busy");
    const QTreeWidgetItem* first = list()->topLevelItem(0);
    EXPECT_EQ(first->text(0), "12 Harbour run");
    EXPECT_EQ(first->text(1), "14");
    EXPECT_EQ(first->text(2), "3");
    EXPECT_EQ(list()->topLevelItem(2)->text(0), "7 <b>Coast</b>");
    // 0.46, 0.23 and 0.30 of the list's width less room for the scroll bar.
    const int available = list()->contentsRect().width() - 13;
    EXPECT_EQ(list()->columnWidth(0), static_cast<int>(available * 0.46));
    EXPECT_EQ(list()->columnWidth(2), static_cast<int>(available * 0.30));
    EXPECT_EQ(focused(), list());
    EXPECT_EQ(list()->currentItem(), first);
    EXPECT_TRUE(frame.actionEnabled(kRouteScreen, 0));

    press(Qt::Key_Down);
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::RouteOk});
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreRoute), Result::Ok);
    ASSERT_TRUE(doc.currentRoute);
    EXPECT_EQ(doc.currentRoute->RCID, 502);
    press(Qt::Key_Right);
    EXPECT_EQ(frame.commands.size(), 2u);
}

TEST_F(RouteView, ATapBesideTheRowsKeepsTheRoute) {
    CRouteSelectionView* view = open<CRouteSelectionView>();
    press(Qt::Key_Down);
    list()->clearSelection();
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreRoute), Result::Ok);
    EXPECT_EQ(doc.currentRoute->RCID, 502);
    EXPECT_EQ(list()->selectedItems().size(), 1);
}

TEST_F(RouteView, OneRouteIsTakenAtOnce) {
    doc.routes.resize(1);
    CRouteSelectionView* view = open<CRouteSelectionView>();
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::RouteOk});
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreRoute), Result::Ok);
    EXPECT_EQ(doc.currentRoute->RNR, 12);
}

TEST_F(RouteView, NoRoutesOnlyBack) {
    doc.routes.clear();
    doc.currentRoute = RouteControl{77, 1, "yesterday's route", 0, 0, 0};
    CRouteSelectionView* view = open<CRouteSelectionView>();
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_FALSE(child<CImageButton>("ok")->isEnabled());
    EXPECT_FALSE(frame.actionEnabled(kRouteScreen, 0));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(view->runOperation(ScreenOperation::StoreRoute), Result::NotOk);
    EXPECT_FALSE(doc.currentRoute) << "an old route must not carry the next requests";
    child<CImageButton>("back")->click();
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::RouteBack});
}

TEST_F(RouteView, OkComesBackOnTheNextVisitWithRoutes) {
    doc.routes.clear();
    open<CRouteSelectionView>();
    doc.routes = {{1, 2, "B", 0, 0, 0}};
    open<CRouteSelectionView>();
    EXPECT_TRUE(frame.actionEnabled(kRouteScreen, 0));
}

} // namespace
