#include "screens/route_selection_view.h"

#include "model/entry_rules.h"
#include "model/korvo_doc.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"
#include "widgets/list_helpers.h"

#include <QKeyEvent>
#include <QTreeWidget>

CRouteSelectionView::CRouteSelectionView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kRouteScreen, parent) {
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("routes"));
    list_->setTextElideMode(Qt::ElideRight);
    ok_ = MakeScreenButton(this, "ok", kOkButtonId, IconGlyph::Ok);
    back_ = MakeScreenButton(this, "back", kBackButtonId, IconGlyph::Back);
    connect(ok_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::RouteOk); });
    connect(back_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::RouteBack); });
    // A tap beside the rows leaves the chosen route as it is.
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current != nullptr) {
            selected_ = list_->indexOfTopLevelItem(current);
        }
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (list_->selectedItems().isEmpty()) {
            SelectListItem(list_, selected_);
        }
    });
}

void CRouteSelectionView::activate() {
    setTitle(T(QStringLiteral("lblRouteTitle")));
    layoutButtons({kOkButtonId, kBackButtonId, 0, 0, 0, 0});
    list_->setGeometry(contentArea());
    SetupListColumns(list_,
                     {T(QStringLiteral("lblRoute")), T(QStringLiteral("lblNew")),
                      T(QStringLiteral("lblInProgress"))},
                     {0.46, 0.23, 0.30});
    list_->clear();

    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(doc_.routes.size()));
    for (const RouteControl& route : doc_.routes) {
        items << new QTreeWidgetItem(
            QStringList{RouteCaption(route), QString::number(route.QN), QString::number(route.QP)});
    }
    list_->addTopLevelItems(items);
    rows_ = doc_.routes.size();
    frame_.SetActionEnabled(rows_ != 0, ok_, kRouteScreen, 0);
    selected_ = 0;
    SelectListItem(list_, 0);
    list_->setFocus(Qt::OtherFocusReason);
}

QString CRouteSelectionView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::StoreRoute) {
        return KorvoView::runOperation(operation);
    }
    // Only a route on the list may become the current one; an older one must
    // not carry the next requests.
    if (rows_ == 0 || rows_ != doc_.routes.size() || selected_ < 0 ||
        static_cast<std::size_t>(selected_) >= rows_) {
        doc_.currentRoute.reset();
        return Result::NotOk;
    }
    doc_.currentRoute = doc_.routes[static_cast<std::size_t>(selected_)];
    return Result::Ok;
}

bool CRouteSelectionView::handleKey(QKeyEvent* event) {
    return DispatchKey(event->key(),
                       {{kEnterKey | kRightKey, keyCommandWhileEnabled(ok_, Cmd::RouteOk)}});
}
