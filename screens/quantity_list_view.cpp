#include "screens/quantity_list_view.h"

#include "model/korvo_doc.h"
#include "model/quantity_rules.h"
#include "screens/shared_dialogs.h"
#include "widgets/editable_list.h"
#include "widgets/list_helpers.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QResizeEvent>

namespace {

constexpr int kListTop = ScreenFrame::kTitleHeight;
constexpr int kDetailHeight = 20;
constexpr int kGap = 2;

QColor toColor(const Rgb& rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QLineEdit* detailField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setTextMargins(0, 0, 0, 0);
    return field;
}

} // namespace

QuantityDelegate::QuantityDelegate(int quantityColumn, bool colourQuantity, QObject* parent)
    : QStyledItemDelegate(parent), quantityColumn_(quantityColumn),
      colourQuantity_(colourQuantity) {}

void QuantityDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() >= 1) {
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    }
    if (index.column() != quantityColumn_) {
        return;
    }
    if (option->text.isEmpty()) {
        option->text = QStringLiteral("0");
    }
    if (!colourQuantity_) {
        return;
    }
    const auto row = static_cast<std::size_t>(index.row());
    const bool asOrdered = row < ordered_.size() && CellQuantity(option->text) == ordered_[row];
    const QColor text = toColor(asOrdered ? CKorvoDoc::colorBlack : CKorvoDoc::colorRed);
    option->palette.setColor(QPalette::Text, text);
    option->palette.setColor(QPalette::HighlightedText, text);
    option->backgroundBrush = toColor(CKorvoDoc::colorWhite);
    // The quantity stays on white in the selected row too.
    option->state &= ~QStyle::State_Selected;
}

std::pair<QColor, QColor> QuantityDelegate::cellColours(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    initStyleOption(&option, index);
    const QColor background = option.backgroundBrush.style() == Qt::NoBrush
                                  ? option.palette.color(QPalette::Base)
                                  : option.backgroundBrush.color();
    return {option.palette.color(QPalette::Text), background};
}

CQuantityListView::CQuantityListView(ScreenFrame& frame, CKorvoDoc& doc, int screenId,
                                     bool colourQuantity, QWidget* parent)
    : KorvoView(frame, doc, screenId, parent),
      quantityColumn_(CEditableList::EditableColumn(screenId)) {
    list_ = new CEditableList(doc, screenId, this);
    list_->setObjectName(QStringLiteral("lines"));
    list_->setAllColumnsShowFocus(true);
    delegate_ = new QuantityDelegate(quantityColumn_, colourQuantity, list_);
    list_->setItemDelegate(delegate_);
    description_ = detailField(this, "description");
    code_ = detailField(this, "productCode");
    size_ = detailField(this, "size");
    secondDescription_ = detailField(this, "secondDescription");

    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) {
            showDetails(list_->indexOfTopLevelItem(item));
        }
    });
    connect(list_, &CEditableList::labelEditEnded, this, &CQuantityListView::onEditEnded);
    connect(list_, &CEditableList::cellEditClosed, this, &CQuantityListView::onEditClosed);
    placeControls();
}

void CQuantityListView::setNoteTitle() {
    setTitle(T(QStringLiteral("lblTitleNote")) + QLatin1Char(' ') +
             (doc_.currentPackingNote ? doc_.currentPackingNote->NNR : QString()));
}

int CQuantityListView::lineCount() {
    const std::vector<packingnoteline>* shown = lines();
    return shown ? static_cast<int>(shown->size()) : 0;
}

void CQuantityListView::fillList(const std::vector<Column>& columns) {
    QStringList captions;
    QList<double> fractions;
    QList<Qt::Alignment> alignments;
    for (const Column& column : columns) {
        captions << T(QLatin1String(column.captionKey));
        fractions << column.fraction;
        alignments << (alignments.isEmpty() ? Qt::AlignLeft : Qt::AlignRight);
    }
    SetupListColumns(list_, captions, fractions, alignments);
    list_->clear();
    const std::vector<packingnoteline>* shown = lines();
    std::vector<int> ordered;
    if (shown != nullptr && !shown->empty()) {
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<qsizetype>(shown->size()));
        ordered.reserve(shown->size());
        QStringList texts;
        for (const packingnoteline& line : *shown) {
            texts.clear();
            for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
                texts << cellText(line, c);
            }
            items << new QTreeWidgetItem(texts);
            ordered.push_back(line.QO);
        }
        list_->addTopLevelItems(items);
    }
    delegate_->setOrdered(std::move(ordered));
    selectedRow_ = 0;
    SelectListItem(list_, 0);
    showDetails(list_->topLevelItemCount() > 0 ? 0 : -1);
}

void CQuantityListView::showDetails(int row) {
    const std::vector<packingnoteline>* shown = lines();
    if (shown == nullptr || row < 0 || row >= static_cast<int>(shown->size())) {
        for (QLineEdit* field : {description_, code_, size_, secondDescription_}) {
            field->clear();
        }
        return;
    }
    selectedRow_ = row;
    const packingnoteline& line = (*shown)[static_cast<std::size_t>(row)];
    description_->setText(line.PD);
    code_->setText(line.PC);
    size_->setText(line.SD);
    secondDescription_->setText(line.FMD);
    for (QLineEdit* field : {description_, code_, size_, secondDescription_}) {
        field->setCursorPosition(0);
    }
}

bool CQuantityListView::editing() const {
    return list_->editor() != nullptr;
}

void CQuantityListView::finishEdit() {
    if (editing()) {
        list_->endEdit(false);
    }
}

std::vector<int> CQuantityListView::cellQuantities() const {
    std::vector<int> cells;
    cells.reserve(static_cast<std::size_t>(list_->topLevelItemCount()));
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        cells.push_back(CellQuantity(list_->topLevelItem(row)->text(quantityColumn_)));
    }
    return cells;
}

SendResult CQuantityListView::sendQuantities(const std::function<SendResult()>& send) {
    finishEdit();
    std::vector<packingnoteline>* shown = lines();
    if (shown == nullptr) {
        return send();
    }
    const std::vector<packingnoteline> before = *shown;
    const std::vector<int> cells = cellQuantities();
    const std::size_t rows = std::min(cells.size(), shown->size());
    for (std::size_t row = 0; row < rows; ++row) {
        packingnoteline& line = (*shown)[row];
        line.editedQuantity = cells[row];
        line.QD = line.editedQuantity;
    }
    const SendResult result = send();
    if (!result.isOk() && lines() == shown && shown->size() == before.size()) {
        *shown = before;
    }
    return result;
}

void CQuantityListView::onEditEnded(int row, int column, const QString& text, bool cancelled) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    ending_.typed = text;
    ending_.previous = item != nullptr ? item->text(column) : QString();
    ending_.cancelled = cancelled;
}

void CQuantityListView::onEditClosed(int row, int column) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    list_->setCurrentItem(item);
    showDetails(row);
    std::vector<packingnoteline>* shown = lines();
    if (!ending_.cancelled && column == quantityColumn_ && shown != nullptr &&
        row < static_cast<int>(shown->size())) {
        packingnoteline& line = (*shown)[static_cast<std::size_t>(row)];
        const CellEditOutcome outcome =
            ApplyCellEdit(line, TypedQuantity(ending_.typed), CellQuantity(ending_.previous),
                          doc_.rangeWarningShown,
                          [this] { return AskYesNo(doc_, T(QStringLiteral("msgDelivOutRange"))); });
        // The cell shows the quantity that counts, as a plain number.
        item->setText(column, QString::number(outcome.shown));
    }
    ending_ = EndingEdit{};
    if (shown != nullptr) {
        doc_.quantitiesChanged = QuantitiesUnsaved(*shown, cellQuantities());
    }
    cellEdited();
}

void CQuantityListView::placeControls() {
    const int width = frame_.screenWidth();
    const int buttonRow = buttonRowTop();
    const int detailsTop = buttonRow - 2 * kDetailHeight - kGap - 12;
    // The list keeps its full height unless the keypad leaves less room; then
    // it shrinks so the row being edited stays in sight.
    const int available = height() > 0 ? height() - kListTop - kGap : detailsTop - kListTop;
    const int listHeight = std::max(40, std::min(detailsTop - kGap - kListTop, available));
    list_->setGeometry(0, kListTop, width, listHeight);
    description_->setGeometry(1, detailsTop, width - 2, kDetailHeight);
    const int y = detailsTop + kDetailHeight + kGap;
    const int third = (width - 2 - 2 * kGap) / 3;
    code_->setGeometry(1, y, third, kDetailHeight);
    size_->setGeometry(1 + third + kGap, y, third, kDetailHeight);
    secondDescription_->setGeometry(1 + 2 * (third + kGap), y, width - 2 - 2 * (third + kGap),
                                    kDetailHeight);
}

void CQuantityListView::resizeEvent(QResizeEvent* event) {
    KorvoView::resizeEvent(event);
    placeControls();
    // Scrolling would end an open edit; the row being edited is in sight already.
    if (QTreeWidgetItem* current = list_->currentItem(); current != nullptr && !editing()) {
        list_->scrollToItem(current);
    }
}
