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

QLineEdit* detailField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setTextMargins(0, 0, 0, 0);
    return field;
}

} // namespace

void QuantityDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(Qt::BackgroundRole).isValid()) {
        return;
    }
    option->palette.setColor(QPalette::HighlightedText, option->palette.color(QPalette::Text));
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
    table_ = new QuantityTable(colourQuantity, list_);
    list_->setModel(table_);
    delegate_ = new QuantityDelegate(list_);
    list_->setItemDelegate(delegate_);
    description_ = detailField(this, "description");
    code_ = detailField(this, "productCode");
    size_ = detailField(this, "size");
    secondDescription_ = detailField(this, "secondDescription");

    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    showDetails(current.row());
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
    std::vector<QuantityColumn> shows;
    for (const Column& column : columns) {
        captions << T(QLatin1String(column.captionKey));
        fractions << column.fraction;
        shows.push_back(column.shows);
    }
    std::vector<QuantityTable::Row> rows;
    if (const std::vector<packingnoteline>* shown = lines(); shown != nullptr) {
        rows.reserve(shown->size());
        for (const packingnoteline& line : *shown) {
            rows.push_back({line.PD, line.QO, line.QD});
        }
    }
    // The header sizes its sections anew on a reset: the widths come after.
    table_->reset(std::move(shows), captions, std::move(rows));
    SetupListColumns(list_, captions, fractions);
    selectedRow_ = 0;
    SelectListItem(list_, 0);
    showDetails(list_->rowCount() > 0 ? 0 : -1);
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

SendResult CQuantityListView::sendQuantities(const std::function<SendResult()>& send) {
    finishEdit();
    std::vector<packingnoteline>* shown = lines();
    if (shown == nullptr) {
        return send();
    }
    const std::vector<packingnoteline> before = *shown;
    const std::vector<int>& cells = table_->quantities();
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
    ending_.typed = text;
    ending_.previous = column == quantityColumn_ ? table_->quantity(row) : 0;
    ending_.cancelled = cancelled;
}

void CQuantityListView::onEditClosed(int row, int column) {
    if (row < 0 || row >= list_->rowCount()) {
        return;
    }
    list_->setCurrentIndex(table_->index(row, 0));
    showDetails(row);
    std::vector<packingnoteline>* shown = lines();
    if (!ending_.cancelled && column == quantityColumn_ && shown != nullptr &&
        row < static_cast<int>(shown->size())) {
        table_->endEdit(row, ending_.typed, ending_.previous,
                        (*shown)[static_cast<std::size_t>(row)], doc_.rangeWarningShown,
                        [this] { return AskYesNo(doc_, T(QStringLiteral("msgDelivOutRange"))); });
    }
    ending_ = EndingEdit{};
    if (shown != nullptr) {
        doc_.quantitiesChanged = table_->unsaved(*shown);
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
    if (const QModelIndex current = list_->currentIndex(); current.isValid() && !editing()) {
        list_->scrollTo(current);
    }
}
