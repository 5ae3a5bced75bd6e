#include "widgets/quantity_table.h"

#include "model/korvo_doc.h"

#include <QBrush>

namespace {

QBrush toBrush(const Rgb& rgb) {
    return QBrush(QColor(rgb.red, rgb.green, rgb.blue));
}

} // namespace

QuantityTable::QuantityTable(bool colourQuantity, QObject* parent)
    : QAbstractTableModel(parent), colourQuantity_(colourQuantity) {}

void QuantityTable::reset(std::vector<QuantityColumn> columns, QStringList captions,
                          std::vector<Row> rows) {
    beginResetModel();
    columns_ = std::move(columns);
    captions_ = std::move(captions);
    quantityColumn_ = -1;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c] == QuantityColumn::Quantity) {
            quantityColumn_ = static_cast<int>(c);
        }
    }
    products_.clear();
    ordered_.clear();
    quantities_.clear();
    products_.reserve(rows.size());
    ordered_.reserve(rows.size());
    quantities_.reserve(rows.size());
    for (Row& row : rows) {
        products_.push_back(std::move(row.product));
        ordered_.push_back(row.ordered);
        quantities_.push_back(row.quantity);
    }
    endResetModel();
}

int QuantityTable::quantity(int row) const {
    return validRow(row) ? quantities_[static_cast<std::size_t>(row)] : 0;
}

void QuantityTable::setQuantity(int row, int value) {
    if (!validRow(row)) {
        return;
    }
    quantities_[static_cast<std::size_t>(row)] = value;
    if (quantityColumn_ >= 0) {
        const QModelIndex cell = index(row, quantityColumn_);
        emit dataChanged(cell, cell);
    }
}

CellEditOutcome QuantityTable::endEdit(int row, const QString& typed, int previous,
                                       packingnoteline& line, bool& rangeWarningShown,
                                       const std::function<bool()>& keepOutOfRange) {
    const CellEditOutcome outcome =
        ApplyCellEdit(line, TypedQuantity(typed), previous, rangeWarningShown, keepOutOfRange);
    setQuantity(row, outcome.shown);
    return outcome;
}

int QuantityTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(quantities_.size());
}

int QuantityTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant QuantityTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !validRow(index.row()) || index.column() < 0 ||
        index.column() >= columnCount()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    const QuantityColumn column = columns_[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        // Numbers are shown as plain digits, never with the locale's separators.
        switch (column) {
        case QuantityColumn::Product:
            return products_[row];
        case QuantityColumn::Ordered:
            return QString::number(ordered_[row]);
        case QuantityColumn::Quantity:
            return QString::number(quantities_[row]);
        }
        return {};
    case Qt::TextAlignmentRole:
        return index.column() >= 1 ? static_cast<int>(Qt::AlignRight | Qt::AlignVCenter)
                                   : QVariant();
    case Qt::ForegroundRole:
        if (colourQuantity_ && column == QuantityColumn::Quantity) {
            return toBrush(quantities_[row] == ordered_[row] ? CKorvoDoc::colorBlack
                                                             : CKorvoDoc::colorRed);
        }
        return {};
    case Qt::BackgroundRole:
        if (colourQuantity_ && column == QuantityColumn::Quantity) {
            return toBrush(CKorvoDoc::colorWhite);
        }
        return {};
    default:
        return {};
    }
}

QVariant QuantityTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= captions_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return captions_.at(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>(section == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }
    return {};
}

bool QuantityTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != quantityColumn_ ||
        !validRow(index.row())) {
        return false;
    }
    setQuantity(index.row(), TypedQuantity(value.toString()));
    return true;
}
