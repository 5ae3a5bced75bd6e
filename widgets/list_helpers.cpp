#include "widgets/list_helpers.h"

#include <QHeaderView>
#include <QTreeWidget>

void SetupListColumns(QTreeWidget* list, const QStringList& captions,
                      const QList<double>& fractions, const QList<Qt::Alignment>& alignments) {
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
    list->setColumnCount(static_cast<int>(captions.size()));
    list->setHeaderLabels(captions);
    const int available = list->contentsRect().width() - 13;
    for (int i = 0; i < captions.size(); ++i) {
        const double fraction = i < fractions.size() ? fractions.at(i) : 0.0;
        list->setColumnWidth(i, static_cast<int>(available * fraction));
        if (i < alignments.size()) {
            list->headerItem()->setTextAlignment(i, alignments.at(i));
        }
    }
    list->setProperty("korvoColumnAlignments", QVariant::fromValue(alignments));
}

int ItemAtPoint(const QTreeWidget* list, const QPoint& point) {
    if (list == nullptr) {
        return -1;
    }
    QTreeWidgetItem* item = list->itemAt(point);
    return item ? list->indexOfTopLevelItem(item) : -1;
}

void SelectListItem(QTreeWidget* list, int index) {
    if (list == nullptr || list->topLevelItemCount() == 0 || index < 0 ||
        index >= list->topLevelItemCount()) {
        return;
    }
    QTreeWidgetItem* item = list->topLevelItem(index);
    list->setCurrentItem(item);
    item->setSelected(true);
    list->scrollToItem(item);
}

int SelectedListItem(const QTreeWidget* list) {
    if (list == nullptr) {
        return -1;
    }
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}
