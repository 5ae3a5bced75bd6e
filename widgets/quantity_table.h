#pragma once

#include "model/quantity_rules.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <vector>

// What a column of a quantity list shows.
enum class QuantityColumn { Product, Ordered, Quantity };

// The rows of a quantity list (delivered products, counting) with their
// numbers held as numbers: the ordered quantity and the quantity the worker
// edits. A cell shows a number as plain decimal digits; where the list colours
// its quantity, the quantity is black when it equals the ordered quantity and
// red otherwise, always on white.
class QuantityTable : public QAbstractTableModel {
public:
    struct Row {
        QString product;
        int ordered = 0;
        int quantity = 0;
    };

    explicit QuantityTable(bool colourQuantity, QObject* parent = nullptr);

    // Replaces the columns, their captions and every row at once.
    void reset(std::vector<QuantityColumn> columns, QStringList captions, std::vector<Row> rows);

    // The column of the edited quantity, or -1.
    int quantityColumn() const { return quantityColumn_; }
    int quantity(int row) const;
    const std::vector<int>& quantities() const { return quantities_; }
    void setQuantity(int row, int value);

    // Ends one edit of `row`'s quantity: `typed` is what the worker typed,
    // `previous` what the cell showed before the edit. The line takes the
    // quantity as ApplyCellEdit decides and the cell shows what counts.
    CellEditOutcome endEdit(int row, const QString& typed, int previous, packingnoteline& line,
                            bool& rangeWarningShown, const std::function<bool()>& keepOutOfRange);
    // Whether a cell holds a quantity the back office does not have.
    bool unsaved(const std::vector<packingnoteline>& lines) const {
        return QuantitiesUnsaved(lines, quantities_);
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Writing text into the quantity cell keeps its leading digits as the number.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    bool validRow(int row) const { return row >= 0 && row < rowCount(); }

    bool colourQuantity_;
    std::vector<QuantityColumn> columns_;
    QStringList captions_;
    int quantityColumn_ = -1;
    std::vector<QString> products_;
    std::vector<int> ordered_;
    std::vector<int> quantities_;
};
