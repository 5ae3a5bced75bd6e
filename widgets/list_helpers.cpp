#include "widgets/list_helpers.h"

#include <QHeaderView>
#include <QTreeWidget>

void SetupListColumns(QTreeView* list, const QStringList& captions, const QList<double>& fractions,
                      const QList<Qt::Alignment>& alignments) {
    if (list == nullptr) {
        return;
    }
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    // A list with its own items takes the captions here; a list on a model
    // shows the captions its model gives.
    auto* items = qobject_cast<QTreeWidget*>(list);
    if (items != nullptr) {
        items->setColumnCount(static_cast<int>(captions.size()));
        items->setHeaderLabels(captions);
    }
    const int available = list->contentsRect().width() - 13;
    for (int i = 0; i < captions.size(); ++i) {
        const double fraction = i < fractions.size() ? fractions.at(i) : 0.0;
        list->setColumnWidth(i, static_cast<int>(available * fraction));
        if (items != nullptr && i < alignments.size()) {
            items->headerItem()->setTextAlignment(i, alignments.at(i));
        }
    }
    list->setProperty("korvoColumnAlignments", QVariant::fromValue(alignments));
}

int ItemAtPoint(const QTreeView* list, const QPoint& point) {
    if (list == nullptr) {
        return -1;
    }
    const QModelIndex index = list->indexAt(point);
    return index.isValid() ? index.row() : -1;
}

void SelectListItem(QTreeView* list, int index) {
    if (list == nullptr || list->model() == nullptr || index < 0 ||
        index >= list->model()->rowCount()) {
        return;
    }
    const QModelIndex row = list->model()->index(index, 0);
    list->setCurrentIndex(row);
    list->selectionModel()->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->scrollTo(row);
}

int SelectedListItem(const QTreeView* list) {
    if (list == nullptr || list->selectionModel() == nullptr) {
        return -1;
    }
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}
